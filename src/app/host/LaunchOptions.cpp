#include "app/host/LaunchOptions.h"

#include "core/session/LaunchLink.h"

#include <QSettings>
#include <QUrl>

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

} // namespace

std::optional<LaunchOptions> LaunchOptions::parse(const QStringList& arguments, QString& error)
{
    LaunchOptions options;
    bool link = false;
    bool page = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (LaunchLink::isLink(argument)) {
            std::optional<LaunchLink::Values> values = LaunchLink::parse(argument, error);
            if (!values)
                return std::nullopt;
            link = true;
            options.pageUrl = values->page;
            options.ticket = values->ticket;
            options.properties.insert(values->properties);
            continue;
        }
        options.request = CommandLine::requestOf(argument);
        if (options.request != CommandLine::Request::None)
            return options;
        static const QStringList others = {QStringLiteral("--page-url"), QStringLiteral("--cookie"),
                                           QStringLiteral("--properties"),
                                           QStringLiteral("--screenshot")};
        if (!argument.startsWith(QLatin1String("--")))
            error = (i == 0 ? QStringLiteral("unknown verb '%1'")
                            : QStringLiteral("unexpected argument '%1'"))
                        .arg(argument);
        else if (!propertyOptions().contains(argument) && !others.contains(argument))
            error = QStringLiteral("unknown option '%1'").arg(argument);
        else if (i + 1 >= arguments.size())
            error = QStringLiteral("%1 needs a value").arg(argument);
        if (!error.isEmpty())
            return std::nullopt;
        const QString value = arguments[++i];
        if (propertyOptions().contains(argument)) {
            const QString name = propertyOptions().value(argument);
            error = LaunchLink::propertyRefusal(name, value);
            options.properties.insert(name, value);
        } else if (argument == QLatin1String("--page-url")) {
            // The clerk's own address is trusted as typed; it must still be a page.
            const QUrl url(value, QUrl::StrictMode);
            error = LaunchLink::pageRefusal(url);
            options.pageUrl = url.toString(QUrl::FullyEncoded);
            options.pageTrusted = true;
            page = true;
        } else if (argument == QLatin1String("--cookie")) {
            const QString refusal = LaunchLink::cookieRefusal(value);
            if (!refusal.isEmpty() && !value.isEmpty())
                error = QStringLiteral("значение --cookie ") + refusal;
            options.cookie = value;
        } else if (argument == QLatin1String("--properties")) {
            options.propertyFile = value;
        } else {
            options.screenshot = value;
        }
        if (!error.isEmpty())
            return std::nullopt;
    }
    if (link && (page || !options.cookie.isEmpty())) {
        error = QStringLiteral("a link names its page and brings no cookie: --page-url and "
                               "--cookie go without one");
        return std::nullopt;
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
