#include "app/host/LaunchOptions.h"

#include <QSettings>
#include <QUrl>
#include <QUrlQuery>

namespace {

const QMap<QString, QString>& propertyOptions()
{
    static const QMap<QString, QString> options = {
        {QStringLiteral("--online"), QStringLiteral("OnLine")},
        {QStringLiteral("--debug-level"), QStringLiteral("DebugLevel")},
        {QStringLiteral("--partner-name"), QStringLiteral("PartnerName")},
        {QStringLiteral("--partner-iln"), QStringLiteral("PartnerILN")},
        {QStringLiteral("--partner-url"), QStringLiteral("PartnerURL")},
    };
    return options;
}

bool isLink(const QString& argument)
{
    return argument.startsWith(LaunchOptions::LinkScheme + QLatin1Char(':'), Qt::CaseInsensitive);
}

// wexa-confirm:open?page=URL&PartnerName=...&PartnerILN=...&PartnerURL=...&OnLine=...
//                   &DebugLevel=...&ticket=TICKET
bool readLink(const QString& link, LaunchOptions& options, QString& error)
{
    const QUrl url(link, QUrl::StrictMode);
    const QUrlQuery query(url);
    const QUrl page(query.queryItemValue(QStringLiteral("page"), QUrl::FullyDecoded),
                    QUrl::StrictMode);
    const QString ticket = query.queryItemValue(QStringLiteral("ticket"), QUrl::FullyDecoded);
    if (!url.isValid() || !page.isValid() || page.host().isEmpty() ||
        (page.scheme() != QLatin1String("http") && page.scheme() != QLatin1String("https")) ||
        ticket.isEmpty()) {
        error = QStringLiteral("the link does not name a page of the platform and a ticket");
        return false;
    }
    options.pageUrl = page.toString(QUrl::FullyEncoded);
    options.ticket = ticket;
    for (const QString& name : propertyOptions()) {
        if (query.hasQueryItem(name))
            options.properties.insert(name, query.queryItemValue(name, QUrl::FullyDecoded));
    }
    return true;
}

} // namespace

std::optional<LaunchOptions> LaunchOptions::parse(const QStringList& arguments, QString& error)
{
    LaunchOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (isLink(argument)) {
            if (!readLink(argument, options, error))
                return std::nullopt;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            error = QStringLiteral("%1 needs a value").arg(argument);
            return std::nullopt;
        }
        const QString value = arguments[++i];
        if (propertyOptions().contains(argument))
            options.properties.insert(propertyOptions().value(argument), value);
        else if (argument == QLatin1String("--page-url"))
            options.pageUrl = value;
        else if (argument == QLatin1String("--cookie"))
            options.cookie = value;
        else if (argument == QLatin1String("--properties"))
            options.propertyFile = value;
        else if (argument == QLatin1String("--screenshot"))
            options.screenshot = value;
        else {
            error = QStringLiteral("unknown option '%1'").arg(argument);
            return std::nullopt;
        }
    }
    return options;
}

QString LaunchOptions::usage()
{
    return QStringLiteral(
        "  wexa-confirm [--online VALUE] [--debug-level N] [--partner-name NAME]\n"
        "               [--partner-iln ILN] [--partner-url PATH] [--properties FILE]\n"
        "               [--page-url URL --cookie COOKIE]\n"
        "  wexa-confirm 'wexa-confirm:open?page=URL&...&ticket=TICKET' [options]\n"
        "      opens the window with the control. The control is off-line when --online is\n"
        "      exactly Off. With --page-url it is hosted for that page of the platform and\n"
        "      fetches the partner information and the order at start-up. The platform's\n"
        "      order page opens it with a wexa-confirm: link instead, whose one-time ticket\n"
        "      the window exchanges on the page's site for the session.\n"
        "      --properties FILE (INI) supplies the properties not given here and keeps\n"
        "      OnLine and DebugLevel when the window closes. --screenshot PNG renders the\n"
        "      window once it has started (without a display if there is none) and closes it.\n");
}

std::optional<QVariant> LaunchPropertyBag::read(const QString& name) const
{
    if (m_options.properties.contains(name))
        return m_options.properties.value(name);
    if (m_options.propertyFile.isEmpty())
        return std::nullopt;
    const QSettings file(m_options.propertyFile, QSettings::IniFormat);
    if (!file.contains(name))
        return std::nullopt;
    return file.value(name);
}

bool LaunchPropertyBag::write(const QString& name, const QVariant& value)
{
    if (m_options.propertyFile.isEmpty())
        return false;
    QSettings file(m_options.propertyFile, QSettings::IniFormat);
    file.setValue(name, value);
    file.sync();
    return file.status() == QSettings::NoError;
}
