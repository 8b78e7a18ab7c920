#include "PlatformServer.h"

#include "LimitedServer.h"
#include "documents/XmlDocument.h"

#include <QRandomGenerator>
#include <QRegularExpression>

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

PlatformServer::PlatformServer(const QString& root) : PlatformServer(root, Options{}) {}

PlatformServer::PlatformServer(const QString& root, const Options& options)
    : m_mailbox(root), m_options(options),
      m_server(std::make_unique<LimitedServer>(LimitedServer::Limits{options.requestDeadline}))
{
    m_server->set_payload_max_length(options.bodyLimit);
    // The library answers a body over the limit with 413 before any route sees it.
    const httplib::Server::HandlerWithResponse tooLarge =
        [limit = options.bodyLimit](const httplib::Request&, httplib::Response& res) {
            if (res.status != 413)
                return httplib::Server::HandlerResponse::Unhandled;
            res.set_content(errorAnswer(QStringLiteral("Документ слишком велик: больше %1 МБ")
                                            .arg(limit / (1024 * 1024))),
                            XmlType);
            return httplib::Server::HandlerResponse::Handled;
        };
    m_server->set_error_handler(tooLarge);
    routes();
}

PlatformServer::~PlatformServer() = default;

int PlatformServer::bind(const QString& host, int port)
{
    return m_server->bind(host.toStdString(), port);
}

void PlatformServer::listen()
{
    m_server->listen_after_bind();
}

void PlatformServer::stop()
{
    m_server->stop();
}

bool PlatformServer::isRunning() const
{
    return m_server->is_running();
}

bool PlatformServer::hasSession(const std::string& cookieHeader)
{
    static const QRegularExpression cookie(
        QStringLiteral("(?:^|;\\s*)%1=([^;]+)").arg(QLatin1String(CookieName)));
    const QRegularExpressionMatch match = cookie.match(QString::fromStdString(cookieHeader));
    if (!match.hasMatch())
        return false;
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_sessionsLock);
    const auto session = m_sessions.find(match.captured(1).trimmed());
    if (session == m_sessions.end())
        return false;
    if (now - *session > m_options.sessionIdle) {
        m_sessions.erase(session);
        return false;
    }
    *session = now;
    return true;
}

std::string PlatformServer::openSession()
{
    const QString token = QString::number(QRandomGenerator::system()->generate64(), 16) +
                          QString::number(QRandomGenerator::system()->generate64(), 16);
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_sessionsLock);
    m_sessions.removeIf(
        [&](const auto& session) { return now - session.value() > m_options.sessionIdle; });
    m_sessions.insert(token, now);
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
        if (!Mailbox::isValidPartnerUrl(partnerUrl) || !m_mailbox.exists(partnerUrl)) {
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
            const auto answer = std::make_shared<const std::string>(
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?><receive-document-response>"
                "<document-content>" +
                (document.isEmpty() ? std::string() : document.xml().toStdString()) +
                "</document-content></receive-document-response>");
            if (!deliver) {
                res.set_content(*answer, XmlType);
                return;
            }
            // The order is delivered only once its answer has been written out in full.
            res.set_content_provider(
                answer->size(), XmlType,
                [answer](size_t offset, size_t length, httplib::DataSink& sink) {
                    return sink.write(answer->data() + offset,
                                      std::min(length, answer->size() - offset));
                },
                [this, partnerUrl, name = order->name](bool sent) {
                    if (sent)
                        m_mailbox.delivered(partnerUrl, name);
                    else
                        m_mailbox.released(partnerUrl, name);
                });
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
