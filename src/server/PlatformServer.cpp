#include "server/PlatformServer.h"

#include "server/Answers.h"
#include "server/LimitedServer.h"
#include "server/OrderPage.h"

#include "core/rules/XmlDocument.h"

#include <QSettings>

#include <regex>

using Answers::errorAnswer;
using Answers::uploadStatus;

namespace {

const char* const XmlType = "text/xml; charset=utf-8";
const char* const HtmlType = "text/html; charset=utf-8";

const char* const PagePath = R"(/edi/(?:(.*)/)?Order\.aspx)";
const char* const TicketPath = R"(/edi/Ticket\.aspx)";
const char* const PartnersPath = R"(/edi/Partners\.aspx)";
const char* const MailboxPath = R"(/edi/(.*)/(OrderData|Upload)\.aspx)";

// What a request asks for, judged from its method and path.
struct Route {
    enum class Kind { Page, Ticket, Partners, Mailbox, None } kind = Kind::None;
    QString mailbox;
};

Route routeOf(const httplib::Request& req)
{
    static const std::regex page(PagePath), ticket(TicketPath), partners(PartnersPath),
        mailbox(MailboxPath);
    std::smatch match;
    if (req.method == "GET" && std::regex_match(req.path, page))
        return {Route::Kind::Page, {}};
    if (req.method != "POST")
        return {};
    if (std::regex_match(req.path, ticket))
        return {Route::Kind::Ticket, {}};
    if (std::regex_match(req.path, partners))
        return {Route::Kind::Partners, {}};
    if (std::regex_match(req.path, match, mailbox))
        return {Route::Kind::Mailbox, QString::fromStdString(match[1].str())};
    return {};
}

// A document in the body: text/xml or application/xml, whatever its parameters.
bool carriesXml(const httplib::Request& req)
{
    std::string type = req.get_header_value("Content-Type");
    type = type.substr(0, type.find(';'));
    type.erase(type.find_last_not_of(" \t") + 1);
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return req.get_header_value_count("Content-Type") == 1 &&
           (type == "text/xml" || type == "application/xml");
}

// The session cookie's value, from the first Cookie header that names it.
std::string sessionCookie(const httplib::Request& req)
{
    const std::string name = std::string(PlatformServer::CookieName) + "=";
    for (std::size_t n = 0; n < req.get_header_value_count("Cookie"); ++n) {
        const std::string header = req.get_header_value("Cookie", n);
        for (std::size_t at = 0; at < header.size();) {
            at = header.find_first_not_of(" \t", at);
            if (at == std::string::npos)
                break;
            const std::size_t end = std::min(header.find(';', at), header.size());
            if (header.compare(at, name.size(), name) == 0)
                return header.substr(at + name.size(), end - at - name.size());
            at = end + 1;
        }
    }
    return {};
}

void refuse(httplib::Response& res, int status, const QString& message)
{
    res.status = status;
    res.set_content(errorAnswer(message), XmlType);
}

QString errorMessage(int status, std::size_t bodyLimit)
{
    switch (status) {
    case 400:
        return QStringLiteral("Запрос не разобран");
    case 403:
        return QStringLiteral("Доступ запрещён");
    case 404:
        return QStringLiteral("Нет такой страницы или службы");
    case 408:
        return QStringLiteral("Запрос не получен целиком вовремя");
    case 413:
        return QStringLiteral("Документ слишком велик: больше %1 МБ")
            .arg(bodyLimit / (1024 * 1024));
    case 415:
        return QStringLiteral("Запрос в неподдерживаемом виде: ожидался документ XML без сжатия");
    case 503:
        return QStringLiteral("Сервер занят, повторите запрос позже");
    default:
        return QStringLiteral("Ошибка сервера (HTTP %1)").arg(status);
    }
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
    : m_mailbox(root), m_options(options), m_public(options.publicAddress),
      m_checks(options.concurrentChecks),
      m_sessions({options.sessionIdle, options.ticketLifetime, options.sessionLimit}),
      m_server(std::make_unique<LimitedServer>(options.limits, options.tls))
{
    m_server->setAdmission(
        [this](const httplib::Request& req, httplib::Response& res) { return admit(req, res); });
    m_server->setErrorAnswer([limit = options.limits.bodyLimit](httplib::Response& res) {
        res.set_content(errorAnswer(errorMessage(res.status, limit)), XmlType);
    });
    routes();
}

PlatformServer::~PlatformServer() = default;

int PlatformServer::bind(const QString& host, int port)
{
    const int bound = m_server->bind(host.toStdString(), port);
    if (bound >= 0 && !m_public.isValid())
        m_public = PublicAddress::of(m_options.tls != nullptr, host, bound);
    return bound;
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

std::optional<PlatformServer::Caller> PlatformServer::caller(const httplib::Request& req)
{
    std::string token = sessionCookie(req);
    if (token.empty())
        return std::nullopt;
    std::optional<Sessions::Grant> grant = m_sessions.use(token);
    if (!grant)
        return std::nullopt;
    return Caller{std::move(token), std::move(*grant)};
}

bool PlatformServer::admit(const httplib::Request& req, httplib::Response& res)
{
    const Route route = routeOf(req);
    if (route.kind == Route::Kind::None) {
        res.status = 404;
        return true;
    }
    if (route.kind == Route::Kind::Page)
        return false;
    // A page of another site may post here from the browser, with the browser's cookie.
    if (req.has_header("Origin") && (req.get_header_value_count("Origin") != 1 ||
                                     !m_public.isOrigin(req.get_header_value("Origin")))) {
        refuse(res, 403, QStringLiteral("Запрос со страницы другого сайта отклонён"));
        return true;
    }
    if (!carriesXml(req)) {
        refuse(res, 415, QStringLiteral("Ожидался документ XML (text/xml или application/xml)"));
        return true;
    }
    if (route.kind == Route::Kind::Ticket)
        return false;
    const std::optional<Caller> known = caller(req);
    if (!known) {
        refuse(res, 403, QStringLiteral("Сеанс не открыт или закрыт за давностью"));
        return true;
    }
    if (route.kind == Route::Kind::Mailbox && route.mailbox != known->grant.mailbox) {
        refuse(res, 403, QStringLiteral("Сеанс не даёт доступа к этому почтовому ящику"));
        return true;
    }
    return false;
}

void PlatformServer::page(const httplib::Request& req, httplib::Response& res)
{
    const QString partnerUrl = QString::fromStdString(req.matches[1].str());
    if (!Mailbox::isValidPartnerUrl(partnerUrl) || !m_mailbox.exists(partnerUrl)) {
        res.status = 404;
        res.set_content(OrderPage::notFound().toStdString(), HtmlType);
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
    // A browser that comes back to the same buyer's page keeps its session.
    const Sessions::Grant grant{partnerUrl, partner.iln};
    const std::optional<Caller> known = caller(req);
    const std::string session =
        known && known->grant == grant ? known->session : m_sessions.open(grant);
    // HttpOnly: the page's scripts never see the cookie either; SameSite: no other site's
    // page makes the browser send it.
    res.set_header("Set-Cookie", std::string(CookieName) + "=" + session +
                                     "; Path=/edi/; HttpOnly; SameSite=Strict" +
                                     (m_public.isSecure() ? "; Secure" : ""));
    const QString pageUrl =
        m_public.address(QStringLiteral("/edi/") +
                         (partnerUrl.isEmpty() ? QString() : partnerUrl + QLatin1Char('/')) +
                         QStringLiteral("Order.aspx"));
    res.set_header("Cache-Control", "no-store");
    res.set_content(OrderPage::html(pageUrl, partner, m_mailbox.waitingCount(partnerUrl),
                                    QString::fromStdString(m_sessions.issueTicket(session)))
                        .toStdString(),
                    HtmlType);
}

void PlatformServer::ticket(const httplib::Request& req, httplib::Response& res)
{
    const XmlDocument request =
        XmlDocument::fromText(QString::fromUtf8(req.body.data(), qsizetype(req.body.size())));
    const QString ticket =
        request.selectSingleNode("/launch-ticket-request/ticket").text().trimmed();
    Sessions::Refusal refusal = Sessions::Refusal::Unknown;
    const std::optional<std::string> session = m_sessions.redeem(ticket.toStdString(), refusal);
    if (!session) {
        refuse(res, 403,
               refusal == Sessions::Refusal::Expired ? QStringLiteral("Ссылка на редактор устарела")
               : refusal == Sessions::Refusal::SessionGone
                   ? QStringLiteral("Сеанс страницы закрыт за давностью")
                   : QStringLiteral("Ссылка на редактор уже использована или неизвестна"));
        return;
    }
    res.set_header("Cache-Control", "no-store");
    res.set_content("<?xml version=\"1.0\" encoding=\"UTF-8\"?><launch-ticket-response><cookie>" +
                        std::string(CookieName) + "=" + *session +
                        "</cookie></launch-ticket-response>",
                    XmlType);
}

void PlatformServer::partners(const httplib::Request& req, httplib::Response& res)
{
    // A session whose page names no buyer grants no partner information at all.
    const std::optional<Caller> known = caller(req);
    if (!known || known->grant.buyerIln.isEmpty() ||
        Answers::requestedPartner(req.body) != known->grant.buyerIln) {
        refuse(res, 403, QStringLiteral("Сеанс не даёт доступа к сведениям об этом партнёре"));
        return;
    }
    const std::optional<QByteArray> info = m_mailbox.partnerInfo(known->grant.buyerIln);
    if (!info) {
        res.set_content("<?xml version=\"1.0\" encoding=\"UTF-8\"?><partner-info-response/>",
                        XmlType);
        return;
    }
    res.set_content(info->constData(), size_t(info->size()), XmlType);
}

void PlatformServer::orderData(const QString& partnerUrl, const httplib::Request& req,
                               httplib::Response& res)
{
    const bool deliver = Answers::deliveryRequested(req.body);
    std::string answer;
    const std::optional<Mailbox::Order> order =
        m_mailbox.takeOrder(partnerUrl, deliver, [&](const QByteArray& content) {
            QString refusal;
            if (std::optional<std::string> made = Answers::orderDocument(content, refusal))
                answer = std::move(*made);
            return refusal;
        });
    if (!order) {
        res.set_content("<?xml version=\"1.0\" encoding=\"UTF-8\"?><receive-document-response/>",
                        XmlType);
        return;
    }
    answer = Answers::orderAnswer(answer, order->waitingBehind);
    if (!deliver) {
        res.set_content(answer, XmlType);
        return;
    }
    // The order is delivered only once its answer has been written out in full.
    const auto shared = std::make_shared<const std::string>(std::move(answer));
    res.set_content_provider(
        shared->size(), XmlType,
        [shared](size_t offset, size_t length, httplib::DataSink& sink) {
            return sink.write(shared->data() + offset, std::min(length, shared->size() - offset));
        },
        [this, partnerUrl, name = order->name](bool sent) {
            if (sent)
                m_mailbox.delivered(partnerUrl, name);
            else
                m_mailbox.released(partnerUrl, name);
        });
}

void PlatformServer::upload(const QString& partnerUrl, const std::string& session,
                            const httplib::Request& req, httplib::Response& res)
{
    std::optional<QString> refusal;
    {
        // The check takes only processors; the store that follows waits for the disk.
        const FairGate::Pass turn(m_checks, session);
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
}

void PlatformServer::routes()
{
    m_server->Get(PagePath,
                  [this](const httplib::Request& req, httplib::Response& res) { page(req, res); });
    m_server->Post(TicketPath, [this](const httplib::Request& req, httplib::Response& res) {
        ticket(req, res);
    });
    m_server->Post(PartnersPath, [this](const httplib::Request& req, httplib::Response& res) {
        partners(req, res);
    });
    m_server->Post(MailboxPath, [this](const httplib::Request& req, httplib::Response& res) {
        // The admission let the request through for its session's mailbox; the session is
        // looked up again, as it may have closed since.
        const QString partnerUrl = QString::fromStdString(req.matches[1].str());
        const std::optional<Caller> known = caller(req);
        if (!known || known->grant.mailbox != partnerUrl || !m_mailbox.exists(partnerUrl)) {
            refuse(res, 403, QStringLiteral("Сеанс не даёт доступа к этому почтовому ящику"));
            return;
        }
        if (req.matches[2].str() == "OrderData")
            orderData(partnerUrl, req, res);
        else
            upload(partnerUrl, known->session, req, res);
    });
}
