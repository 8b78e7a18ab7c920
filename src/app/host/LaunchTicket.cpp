#include "app/host/LaunchTicket.h"

#include "core/actions/RequestChannel.h"
#include "core/rules/SafeNames.h"
#include "core/rules/XmlDocument.h"
#include "core/session/Exchanges.h"
#include "core/session/LaunchLink.h"

namespace LaunchTicket {
namespace {
constexpr qsizetype MaxMessage = 300;
}

QString address(const QString& pageUrl)
{
    const QString base = Exchanges::siteBase(pageUrl);
    return base.isEmpty() ? QString() : base + QStringLiteral("Ticket.aspx");
}

Redeemed redeem(const QString& pageUrl, const QString& ticket, const RequestDeadlines& deadlines)
{
    const QUrl page(pageUrl);
    const QUrl target(address(pageUrl));
    if (target.isEmpty() || target.adjusted(QUrl::RemovePath | QUrl::RemoveQuery) !=
                                page.adjusted(QUrl::RemovePath | QUrl::RemoveQuery))
        return {std::nullopt, QStringLiteral("Неверный адрес страницы: «%1»").arg(pageUrl)};
    XmlDocument request = XmlDocument::fromText(
        QStringLiteral("<launch-ticket-request><ticket/></launch-ticket-request>"));
    request.selectSingleNode("/launch-ticket-request/ticket").setText(ticket);
    const RequestChannel::Transfer transfer =
        RequestChannel::post(target, {}, false, request.xml().toUtf8(), deadlines);
    if (!transfer.ok)
        return {std::nullopt, transfer.error};
    const XmlDocument answer = XmlDocument::fromBytes(transfer.body);
    const QString cookie =
        answer.selectSingleNode("/launch-ticket-response/cookie").text().trimmed();
    if (!cookie.isEmpty()) {
        // A line break would end the request's header and start one of the site's choosing.
        const QString refusal = LaunchLink::cookieRefusal(cookie);
        if (refusal.isEmpty())
            return {cookie, {}};
        return {std::nullopt, QStringLiteral("сайт выдал недопустимый сеанс: он ") + refusal};
    }
    // The site's own words, on one line and of a length a message can hold.
    const QString message = SafeNames::oneLine(
        answer.selectSingleNode("/error-response/message").text().trimmed().left(MaxMessage));
    return {std::nullopt, message.isEmpty() ? QStringLiteral("Сайт не выдал сеанс") : message};
}

} // namespace LaunchTicket
