#include "PlatformServer.h"

#include "Answers.h"

#include <QRandomGenerator>
#include <QRegularExpression>

#include <httplib.h>

using Answers::errorAnswer;
using Answers::uploadStatus;

namespace {

const char* const XmlType = "text/xml; charset=utf-8";

} // namespace

PlatformServer::PlatformServer(const QString& root)
    : m_mailbox(root), m_server(std::make_unique<httplib::Server>())
{
    routes();
}

PlatformServer::~PlatformServer() = default;

int PlatformServer::bind(const QString& host, int port)
{
    const std::string address = host.toStdString();
    if (port == 0)
        return m_server->bind_to_any_port(address);
    return m_server->bind_to_port(address, port) ? port : -1;
}

void PlatformServer::listen()
{
    m_server->listen_after_bind();
}

void PlatformServer::stop()
{
    m_server->stop();
}

bool PlatformServer::hasSession(const std::string& cookieHeader)
{
    static const QRegularExpression cookie(
        QStringLiteral("(?:^|;\\s*)%1=([^;]+)").arg(QLatin1String(CookieName)));
    const QRegularExpressionMatch match = cookie.match(QString::fromStdString(cookieHeader));
    if (!match.hasMatch())
        return false;
    std::lock_guard lock(m_sessionsLock);
    return m_sessions.contains(match.captured(1).trimmed());
}

std::string PlatformServer::openSession()
{
    const QString token = QString::number(QRandomGenerator::system()->generate64(), 16) +
                          QString::number(QRandomGenerator::system()->generate64(), 16);
    std::lock_guard lock(m_sessionsLock);
    m_sessions.insert(token);
    return token.toStdString();
}

void PlatformServer::routes()
{
    m_server->Get(R"(/edi/.*Order\.aspx)", [this](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie",
                       std::string(CookieName) + "=" + openSession() + "; Path=/edi/");
        res.set_content("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>WEXA</title>"
                        "</head><body><p>Подтверждение заказа</p></body></html>",
                        "text/html; charset=utf-8");
    });

    m_server->Post("/edi/Partners.aspx", [this](const httplib::Request& req,
                                                httplib::Response& res) {
        if (!hasSession(req.get_header_value("Cookie"))) {
            res.set_content(errorAnswer(QStringLiteral("Сеанс не открыт")), XmlType);
            return;
        }
        const std::optional<QString> iln = Answers::requestedPartner(req.body);
        const std::optional<QByteArray> info = iln ? m_mailbox.partnerInfo(*iln) : std::nullopt;
        if (!info) {
            res.set_content("<?xml version=\"1.0\" encoding=\"UTF-8\"?><partner-info-response/>",
                            XmlType);
            return;
        }
        res.set_content(info->constData(), size_t(info->size()), XmlType);
    });

    m_server->Post(R"(/edi/(.*)/(OrderData|Upload)\.aspx)", [this](const httplib::Request& req,
                                                                   httplib::Response& res) {
        if (!hasSession(req.get_header_value("Cookie"))) {
            res.set_content(errorAnswer(QStringLiteral("Сеанс не открыт")), XmlType);
            return;
        }
        const QString partnerUrl = QString::fromStdString(req.matches[1].str());
        if (!Mailbox::isValidPartnerUrl(partnerUrl)) {
            res.status = 404;
            res.set_content(errorAnswer(QStringLiteral("Нет такого почтового ящика")), XmlType);
            return;
        }
        if (req.matches[2].str() == "OrderData") {
            const bool deliver = Answers::deliveryRequested(req.body);
            const std::optional<Mailbox::Order> order = m_mailbox.takeOrder(partnerUrl, deliver);
            if (!order) {
                res.set_content(
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><receive-document-response/>",
                    XmlType);
                return;
            }
            res.set_content(Answers::orderAnswer(order->content), XmlType);
            return;
        }
        if (const std::optional<QString> refusal = Answers::uploadRefusal(req.body)) {
            res.set_content(uploadStatus(*refusal), XmlType);
            return;
        }
        const QString stored = m_mailbox.receive(partnerUrl, QByteArray::fromStdString(req.body));
        res.set_content(uploadStatus(stored.isEmpty() ? QStringLiteral("Документ не сохранён")
                                                      : QStringLiteral("OK")),
                        XmlType);
    });
}
