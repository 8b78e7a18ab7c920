#include "PlatformServer.h"

#include "documents/XmlDocument.h"

#include <QRandomGenerator>
#include <QRegularExpression>

#include <httplib.h>

namespace {

const char* const XmlType = "text/xml; charset=utf-8";

std::string xmlText(const QString& text)
{
    XmlDocument document = XmlDocument::fromText(QStringLiteral("<t/>"));
    document.root().setText(text);
    const QString escaped = document.root().xml();
    return escaped.mid(3, escaped.size() - 7).toStdString();
}

std::string errorAnswer(const QString& text)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><error-response><message>" + xmlText(text) +
           "</message></error-response>";
}

std::string uploadStatus(const QString& status)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><send-document-response><submission-status>" +
           xmlText(status) + "</submission-status></send-document-response>";
}

// The document text of an element whose root is the named one; what it was sent as is
// kept as it is.
QString bodyText(const httplib::Request& request)
{
    return QString::fromUtf8(request.body.data(), qsizetype(request.body.size()));
}

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
        const XmlDocument request = XmlDocument::fromText(bodyText(req));
        const XmlNode iln = request.selectSingleNode("/partners-request/partner-iln");
        const std::optional<QByteArray> info =
            iln.isNull() ? std::nullopt : m_mailbox.partnerInfo(iln.text());
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
            const XmlDocument request = XmlDocument::fromText(bodyText(req));
            const bool deliver =
                request.selectSingleNode("/order-request/deleteafter").text().trimmed() ==
                QLatin1String("true");
            const std::optional<Mailbox::Order> order = m_mailbox.takeOrder(partnerUrl, deliver);
            if (!order) {
                res.set_content(
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><receive-document-response/>",
                    XmlType);
                return;
            }
            const XmlDocument document = XmlDocument::fromBytes(order->content);
            const std::string content =
                document.isEmpty() ? std::string() : document.xml().toStdString();
            res.set_content("<?xml version=\"1.0\" encoding=\"UTF-8\"?><receive-document-response>"
                            "<document-content>" +
                                content + "</document-content></receive-document-response>",
                            XmlType);
            return;
        }
        const XmlDocument response = XmlDocument::fromBytes(QByteArray::fromStdString(req.body));
        if (response.isEmpty()) {
            res.set_content(uploadStatus(QStringLiteral("Документ не является правильным XML: ") +
                                         response.errorString()),
                            XmlType);
            return;
        }
        if (response.root().name() != QLatin1String("Document-OrderResponse")) {
            res.set_content(
                uploadStatus(QStringLiteral("Ожидался Document-OrderResponse, получен ") +
                             response.root().name()),
                XmlType);
            return;
        }
        const QString stored = m_mailbox.receive(partnerUrl, QByteArray::fromStdString(req.body));
        res.set_content(uploadStatus(stored.isEmpty() ? QStringLiteral("Документ не сохранён")
                                                      : QStringLiteral("OK")),
                        XmlType);
    });
}
