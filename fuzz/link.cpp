// A wexa-confirm: link, as any web page can make one. Whatever the parser takes must be
// safe where its values go: a file of the working folder and no other, one segment of an
// address, one line of the trace.
#include "FuzzSupport.h"

#include "core/rules/SafeNames.h"
#include "core/session/LaunchLink.h"
#include "core/session/WorkingFolder.h"

#include <QDir>
#include <QUrl>

#include <cstdlib>

namespace {

const QString Folder = QStringLiteral("/work/folder");

// The name goes into the folder itself, or nowhere.
void staysInFolder(const QString& name)
{
    const QString path = WorkingFolder::file(Folder, name);
    if (path.isEmpty())
        return;
    const QString clean = QDir::cleanPath(path);
    if (clean.section(QLatin1Char('/'), 0, -2) != Folder || path.contains(QChar(0)))
        std::abort();
}

void oneLine(const QString& value)
{
    const QString line = SafeNames::oneLine(value);
    if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QString link = QString::fromUtf8(bytesOf(data, size));
    if (!LaunchLink::isLink(link))
        link.prepend(QStringLiteral("wexa-confirm:open?"));
    QString refusal;
    const std::optional<LaunchLink::Values> values = LaunchLink::parse(link, refusal);
    if (!values) {
        if (refusal.isEmpty())
            std::abort();
        return 0;
    }
    const QUrl page(values->page);
    if (!page.isValid() || page.host().isEmpty() || !page.userInfo().isEmpty() ||
        (page.scheme() != QLatin1String("http") && page.scheme() != QLatin1String("https")))
        std::abort();
    oneLine(values->ticket);
    if (values->ticket != SafeNames::oneLine(values->ticket))
        std::abort();
    for (auto it = values->properties.begin(); it != values->properties.end(); ++it) {
        const QString& value = it.value();
        if (value != SafeNames::oneLine(value))
            std::abort();
        staysInFolder(value + QStringLiteral("Potwierdzenie.log"));
        staysInFolder(QStringLiteral("4607000000024_") + value +
                      QStringLiteral("_partner_INFO.xml"));
        // One segment of the services' addresses: the service stays the last step of the
        // path, right below the segment, on the page's own site.
        if (const std::optional<QString> segment = SafeNames::pathSegment(value)) {
            const QUrl service(QStringLiteral("http://h/edi/") + *segment +
                               QStringLiteral("/Upload.aspx"));
            if (service.host() != QLatin1String("h") || service.hasQuery() ||
                service.hasFragment() ||
                !service.path(QUrl::FullyEncoded).startsWith(QStringLiteral("/edi/")) ||
                service.path(QUrl::FullyEncoded).count(QLatin1Char('/')) != 3)
                std::abort();
        }
    }
    return 0;
}
