#include "core/session/LaunchLink.h"

#include "core/rules/SafeNames.h"
#include "core/session/Exchanges.h"

#include <QSet>
#include <QUrlQuery>

namespace LaunchLink {
namespace {

// Longer than any buyer's name, location number or folder of a platform.
constexpr qsizetype MaxNameLength = 100;
constexpr qsizetype MaxIlnLength = 35;
constexpr qsizetype MaxSettingLength = 16;

QString named(const QString& name, const QString& refusal)
{
    return refusal.isEmpty() ? QString() : QStringLiteral("значение %1 %2").arg(name, refusal);
}

} // namespace

bool isLink(const QString& argument)
{
    return argument.startsWith(Scheme + QLatin1Char(':'), Qt::CaseInsensitive);
}

const QStringList& propertyNames()
{
    static const QStringList names = {QStringLiteral("OnLine"), QStringLiteral("DebugLevel"),
                                      QStringLiteral("PartnerName"), QStringLiteral("PartnerILN"),
                                      QStringLiteral("PartnerURL")};
    return names;
}

QString propertyRefusal(const QString& name, const QString& value)
{
    if (name == QLatin1String("PartnerName") || name == QLatin1String("PartnerURL"))
        return named(name, SafeNames::namePartRefusal(value, MaxNameLength));
    if (name == QLatin1String("PartnerILN")) {
        if (const QString refusal = SafeNames::namePartRefusal(value, MaxIlnLength);
            !refusal.isEmpty())
            return named(name, refusal);
        for (const QChar markup : QStringView(u"<>&\"'")) {
            if (value.contains(markup))
                return named(name, QStringLiteral("содержит знак разметки «%1»").arg(markup));
        }
        return {};
    }
    return named(name, SafeNames::lineRefusal(value, MaxSettingLength));
}

QString pageRefusal(const QUrl& page)
{
    const QString text = page.toString(QUrl::FullyEncoded);
    QString refusal;
    if (!page.isValid() ||
        (page.scheme() != QLatin1String("http") && page.scheme() != QLatin1String("https")))
        refusal = QStringLiteral("не является адресом страницы в сети (http или https)");
    else if (page.host().isEmpty())
        refusal = QStringLiteral("не называет сайт");
    else if (!page.userInfo().isEmpty())
        refusal = QStringLiteral("содержит имя пользователя или пароль");
    else if (page.hasFragment() || page.query().contains(QLatin1Char('/')))
        refusal = QStringLiteral("содержит лишнее после адреса страницы");
    else if (text.size() > MaxPageLength)
        refusal = QStringLiteral("длиннее %1 знаков").arg(MaxPageLength);
    else if (!Exchanges::siteBase(text).startsWith(
                 page.adjusted(QUrl::RemovePath | QUrl::RemoveQuery).toString(QUrl::FullyEncoded) +
                 QLatin1Char('/')))
        refusal = QStringLiteral("не лежит в папке сайта");
    return named(QStringLiteral("page"), refusal);
}

QString cookieRefusal(const QString& cookie)
{
    if (cookie.isEmpty())
        return QStringLiteral("пусто");
    if (cookie.size() > MaxCookieLength)
        return QStringLiteral("длиннее %1 знаков").arg(MaxCookieLength);
    for (const QChar c : cookie) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return QStringLiteral("содержит недопустимый символ с кодом %1").arg(c.unicode());
    }
    return {};
}

std::optional<Values> parse(const QString& link, QString& refusal)
{
    if (link.size() > MaxLinkLength) {
        refusal = QStringLiteral("ссылка длиннее %1 знаков").arg(MaxLinkLength);
        return std::nullopt;
    }
    const QUrl url(link, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().compare(Scheme, Qt::CaseInsensitive) != 0) {
        refusal = QStringLiteral("ссылка не читается");
        return std::nullopt;
    }
    Values values;
    QSet<QString> seen;
    const QList<std::pair<QString, QString>> items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
    for (const auto& [name, value] : items) {
        if (seen.contains(name)) {
            refusal = QStringLiteral("значение %1 дано дважды").arg(SafeNames::oneLine(name));
            return std::nullopt;
        }
        seen.insert(name);
        if (name == QLatin1String("page")) {
            const QUrl page(value, QUrl::StrictMode);
            refusal = pageRefusal(page);
            values.page = page.toString(QUrl::FullyEncoded);
        } else if (name == QLatin1String("ticket")) {
            refusal = named(name, SafeNames::lineRefusal(value, MaxTicketLength));
            values.ticket = value;
        } else if (propertyNames().contains(name)) {
            refusal = propertyRefusal(name, value);
            values.properties.insert(name, value);
        }
        if (!refusal.isEmpty())
            return std::nullopt;
    }
    if (values.page.isEmpty() || values.ticket.isEmpty()) {
        refusal = QStringLiteral("ссылка не называет страницу площадки и билет");
        return std::nullopt;
    }
    return values;
}

} // namespace LaunchLink
