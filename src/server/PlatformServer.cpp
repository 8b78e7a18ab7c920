#include "server/PlatformServer.h"

#include "server/Answers.h"
#include "server/LimitedServer.h"
#include "server/OrderPage.h"

#include "core/rules/XmlDocument.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>

using Answers::errorAnswer;
using Answers::uploadStatus;

namespace {

const char* const XmlType = "text/xml; charset=utf-8";
const char* const HtmlType = "text/html; charset=utf-8";

QString randomToken()
{
    return QString::number(QRandomGenerator::system()->generate64(), 16) +
           QString::number(QRandomGenerator::system()->generate64(), 16);
}

// The buyer's name as its partner information gives it.
QString buyerName(const std::optional<QByteArray>& info)
{
    if (!info)
        return {};
    return XmlDocument::fromBytes(*info)
        .selectSingleNode("/partner-info-response/partner-info/info/name")
        .text();
}

} // namespace

PlatformServer::PlatformServer(const QString& root) : PlatformServer(root, Options{}) {}

PlatformServer::PlatformServer(const QString& root, const Options& options)
    : m_mailbox(root), m_options(options), m_checks(options.concurrentChecks),
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

std::optional<std::string> PlatformServer::session(const std::string& cookieHeader)
{
    static const QRegularExpression cookie(
        QStringLiteral("(?:^|;\\s*)%1=([^;]+)").arg(QLatin1String(CookieName)));
    const QRegularExpressionMatch match = cookie.match(QString::fromStdString(cookieHeader));
    if (!match.hasMatch())
        return std::nullopt;
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_sessionsLock);
    const auto open = m_sessions.find(match.captured(1).trimmed());
    if (open == m_sessions.end())
        return std::nullopt;
    if (now - *open > m_options.sessionIdle) {
        m_sessions.erase(open);
        return std::nullopt;
    }
    *open = now;
    return open.key().toStdString();
}

std::string PlatformServer::openSession()
{
    const QString token = randomToken();
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_sessionsLock);
    m_sessions.removeIf(
        [&](const auto& session) { return now - session.value() > m_options.sessionIdle; });
    m_sessions.insert(token, now);
    return token.toStdString();
}

QString PlatformServer::issueTicket(const std::string& session)
{
    const QString ticket = randomToken();
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_sessionsLock);
    m_tickets.removeIf([&](const auto& issued) {
        return now - issued.value().issued >= m_options.ticketLifetime;
    });
    m_tickets.insert(ticket, Ticket{session, now});
    return ticket;
}

std::optional<std::string> PlatformServer::redeemTicket(const QString& ticket, QString& refusal)
{
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_sessionsLock);
    const auto found = m_tickets.constFind(ticket);
    if (found == m_tickets.cend()) {
        refusal = QStringLiteral("Ссылка на редактор уже использована или неизвестна");
        return std::nullopt;
    }
    const Ticket issued = *found;
    m_tickets.erase(found);
    if (now - issued.issued >= m_options.ticketLifetime) {
        refusal = QStringLiteral("Ссылка на редактор устарела");
        return std::nullopt;
    }
    m_sessions.insert(QString::fromStdString(issued.session), now);
    return issued.session;
}

void PlatformServer::page(const httplib::Request& req, httplib::Response& res)
{
    const std::string session = openSession();
    // HttpOnly: the page's scripts never see the cookie either.
    res.set_header("Set-Cookie",
                   std::string(CookieName) + "=" + session + "; Path=/edi/; HttpOnly");
    const QString partnerUrl = QString::fromStdString(req.matches[1].str());
    if (!Mailbox::isValidPartnerUrl(partnerUrl) || !m_mailbox.exists(partnerUrl)) {
        res.status = 404;
        res.set_content(OrderPage::notFound().toStdString(), HtmlType);
        return;
    }
    static const QRegularExpression hostName(QStringLiteral("^[A-Za-z0-9.:\\[\\]-]+$"));
    const QString host = QString::fromStdString(req.get_header_value("Host"));
    if (!hostName.match(host).hasMatch()) {
        res.status = 400;
        return;
    }
    const QSettings settings(m_mailbox.folder(partnerUrl) + QStringLiteral("/page.ini"),
                             QSettings::IniFormat);
    OrderPage::Partner partner;
    partner.url = partnerUrl;
    partner.iln = settings.value(QStringLiteral("PartnerILN")).toString();
    partner.name = settings.value(QStringLiteral("PartnerName"), partnerUrl).toString();
    partner.debugLevel =
        settings.value(QStringLiteral("DebugLevel"), QStringLiteral("0")).toString();
    partner.buyer = buyerName(m_mailbox.partnerInfo(partner.iln));
    if (partner.buyer.isEmpty())
        partner.buyer = partner.name;
    const QString pageUrl = QStringLiteral("http://") + host + QString::fromStdString(req.path);
    res.set_header("Cache-Control", "no-store");
    res.set_content(
        OrderPage::html(pageUrl, partner, m_mailbox.waitingCount(partnerUrl), issueTicket(session))
            .toStdString(),
        HtmlType);
}

void PlatformServer::routes()
{
    m_server->Get(R"(/edi/(?:(.*)/)?Order\.aspx)",
                  [this](const httplib::Request& req, httplib::Response& res) { page(req, res); });

    m_server->Post("/edi/Ticket.aspx", [this](const httplib::Request& req, httplib::Response& res) {
        const XmlDocument request =
            XmlDocument::fromText(QString::fromUtf8(req.body.data(), qsizetype(req.body.size())));
        const QString ticket =
            request.selectSingleNode("/launch-ticket-request/ticket").text().trimmed();
        QString refusal;
        const std::optional<std::string> session = redeemTicket(ticket, refusal);
        if (!session) {
            res.set_content(errorAnswer(refusal), XmlType);
            return;
        }
        res.set_header("Cache-Control", "no-store");
        res.set_content(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><launch-ticket-response><cookie>" +
                std::string(CookieName) + "=" + *session + "</cookie></launch-ticket-response>",
            XmlType);
    });

    m_server->Post("/edi/Partners.aspx", [this](const httplib::Request& req,
                                                httplib::Response& res) {
        if (!session(req.get_header_value("Cookie"))) {
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
        const std::optional<std::string> party = session(req.get_header_value("Cookie"));
        if (!party) {
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
            std::string made;
            const std::optional<Mailbox::Order> order =
                m_mailbox.takeOrder(partnerUrl, deliver, [&](const QByteArray& content) {
                    QString refusal;
                    if (std::optional<std::string> answer = Answers::orderAnswer(content, refusal))
                        made = std::move(*answer);
                    return refusal;
                });
            if (!order) {
                res.set_content(
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><receive-document-response/>",
                    XmlType);
                return;
            }
            const auto answer = std::make_shared<const std::string>(std::move(made));
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
        std::optional<QString> refusal;
        {
            // The check takes only processors; the store that follows waits for the disk.
            const FairGate::Pass turn(m_checks, *party);
            refusal = Answers::uploadRefusal(req.body);
        }
        if (refusal) {
            res.set_content(uploadStatus(*refusal), XmlType);
            return;
        }
        // Stored from the request's own buffer, without a copy.
        const QString stored = m_mailbox.receive(
            partnerUrl, QByteArray::fromRawData(req.body.data(), qsizetype(req.body.size())));
        res.set_content(uploadStatus(stored.isEmpty() ? QStringLiteral("Документ не сохранён")
                                                      : QStringLiteral("OK")),
                        XmlType);
    });
}
