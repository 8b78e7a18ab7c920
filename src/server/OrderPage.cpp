#include "server/OrderPage.h"

#include <QStringList>
#include <QUrl>

namespace OrderPage {
namespace {

// Every value fully percent-encoded, so that none can add or split a parameter.
QString parameter(const char* name, const QString& value)
{
    return QLatin1String(name) + QLatin1Char('=') +
           QString::fromLatin1(QUrl::toPercentEncoding(value));
}

QString page(const QString& title, const QString& body)
{
    return QStringLiteral(
               "<!DOCTYPE html>\n<html lang=\"ru\"><head><meta charset=\"utf-8\">"
               "<meta name=\"viewport\" content=\"width=device-width\"><title>%1 — WEXA</title>"
               "<style>body{font-family:sans-serif;margin:2em;color:#2d3741;background:#fafaf6}"
               "h1{font-size:1.4em}dl{display:grid;grid-template-columns:max-content auto;"
               "gap:.4em 1.2em}dt{color:#667}dd{margin:0}"
               "a.open{display:inline-block;margin-top:1.2em;padding:.8em 1.6em;border-radius:6px;"
               "background:#1e869f;color:#fff;text-decoration:none;font-weight:bold}"
               "p.hint{color:#667;font-size:.9em;max-width:40em}</style></head>\n"
               "<body>%2</body></html>\n")
        .arg(title.toHtmlEscaped(), body);
}

} // namespace

QString launchLink(const QString& pageUrl, const Partner& partner, const QString& ticket)
{
    return QStringLiteral("wexa-confirm:open?") +
           QStringList{
               parameter("page", pageUrl),           parameter("PartnerName", partner.name),
               parameter("PartnerILN", partner.iln), parameter("PartnerURL", partner.url),
               parameter("OnLine", partner.online),  parameter("DebugLevel", partner.debugLevel),
               parameter("ticket", ticket)}
               .join(QLatin1Char('&'));
}

QString html(const QString& pageUrl, const Partner& partner, int waiting, const QString& ticket)
{
    const QString body =
        QStringLiteral(
            "<h1>Подтверждение заказов</h1>\n<dl><dt>Покупатель</dt><dd id=\"buyer\">%1</dd>"
            "<dt>GLN покупателя</dt><dd>%2</dd>"
            "<dt>Ожидающих заказов</dt><dd id=\"waiting\">%3</dd></dl>\n"
            "<a class=\"open\" id=\"open\" href=\"%4\">Открыть подтверждение заказа</a>\n"
            "<p class=\"hint\">Кнопка открывает редактор подтверждений, установленный на этом "
            "компьютере. Ссылка действует недолго и только один раз; если редактор сообщит, "
            "что она устарела, обновите страницу.</p>\n")
            .arg(partner.buyer.toHtmlEscaped(), partner.iln.toHtmlEscaped())
            .arg(waiting)
            .arg(launchLink(pageUrl, partner, ticket).toHtmlEscaped());
    return page(QStringLiteral("Подтверждение заказов"), body);
}

QString notFound()
{
    return page(QStringLiteral("Нет такого почтового ящика"),
                QStringLiteral("<h1>Нет такого почтового ящика</h1>\n"));
}

} // namespace OrderPage
