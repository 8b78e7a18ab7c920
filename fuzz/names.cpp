// Every place where a value from outside becomes a file's name or a part of an address:
// whatever it holds, the file stays in its folder and the value in its one segment.
#include "FuzzSupport.h"

#include "core/rules/Chooser.h"
#include "core/rules/SafeNames.h"
#include "core/session/InfoFiles.h"
#include "core/session/WorkingFolder.h"

#include <QDir>
#include <QUrl>

#include <cstdlib>

namespace {

const QString Folder = QStringLiteral("/work/folder");

// A path of the folder itself, or none; never one a NUL would cut short.
void inFolder(const QString& path)
{
    if (path.isEmpty())
        return;
    if (path.contains(QChar(0)) || QDir::cleanPath(path).section(QLatin1Char('/'), 0, -2) != Folder)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Up to three values, one a line, as a server or a link might hand them.
    const QStringList values = QString::fromUtf8(bytesOf(data, size)).split(QLatin1Char('\n'));
    const QString first = values.value(0), second = values.value(1), third = values.value(2);

    inFolder(WorkingFolder::file(Folder, first + QStringLiteral("Potwierdzenie.log")));
    inFolder(InfoFiles::partnerInfoPath(Folder, first, second));
    // The save proposes a name from the confirmation's number: no folder in it.
    const QString proposed = Chooser::proposedFileName(third);
    if (proposed.contains(QLatin1Char('/')) || proposed.contains(QLatin1Char('\\')))
        std::abort();
    // PartnerURL is one segment of the services' addresses.
    if (const std::optional<QString> segment = SafeNames::pathSegment(first)) {
        const QUrl service(QStringLiteral("http://h/edi/") + *segment +
                           QStringLiteral("/Upload.aspx"));
        if (service.host() != QLatin1String("h") || service.hasQuery() || service.hasFragment() ||
            service.path(QUrl::FullyEncoded).count(QLatin1Char('/')) != 3)
            std::abort();
    }
    // Any name the check lets through names a file of the folder, joined as the folder's
    // files are joined (QDir would take a name that starts with ":" for a resource).
    if (SafeNames::fileNameRefusal(second).isEmpty())
        inFolder(WorkingFolder::file(Folder, second));
    const QString line = SafeNames::oneLine(third);
    if (line.contains(QLatin1Char('\n')) || line.contains(QLatin1Char('\r')))
        std::abort();
    return 0;
}
