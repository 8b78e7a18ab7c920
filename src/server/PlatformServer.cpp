#include "server/PlatformServer.h"

#include "server/Answers.h"
#include "server/LimitedServer.h"

#include <QRandomGenerator>
#include <QRegularExpression>

using Answers::errorAnswer;
using Answers::uploadStatus;

namespace {

const char* const XmlType = "text/xml; charset=utf-8";

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
        if (!Mailbox::isValidPartnerUrl(partnerUrl) || !m_mailbox.exists(partnerUrl)) {
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
            const auto answer =
                std::make_shared<const std::string>(Answers::orderAnswer(order->content));
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
