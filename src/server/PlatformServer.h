#pragma once

#include "server/FairGate.h"
#include "server/LimitedServer.h"
#include "server/Mailbox.h"
#include "server/PublicAddress.h"
#include "server/Sessions.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

class TlsContext;
namespace httplib {
struct Request;
struct Response;
} // namespace httplib

// The reference platform server: the three services the control uses under the site
// base /edi/, and a page of that site that opens a session.
//   GET  /edi/<PartnerURL>/Order.aspx        the page; sets the session cookie and
//                                            offers a link with a launch ticket
//   POST /edi/Ticket.aspx                    a launch ticket for the session's cookie
//   POST /edi/Partners.aspx?format=xml       partner information for partner-iln
//   POST /edi/<PartnerURL>/OrderData.aspx    the next waiting order
//   POST /edi/<PartnerURL>/Upload.aspx       an order response
// Only the page of an existing mailbox opens a session, and the session grants that
// mailbox alone: its orders, its uploads and its buyer's partner information; anything
// else is answered 403. A service request must carry an XML document and come from no
// page but this site's own. A launch ticket stands for the session of the page that
// issued it: it is good once, within `ticketLifetime`, so that the link which carries it
// is worthless once used.
class PlatformServer {
public:
    struct Options {
        std::chrono::seconds sessionIdle = std::chrono::hours(8);
        std::size_t sessionLimit = 10000;
        std::chrono::seconds ticketLifetime = std::chrono::minutes(2);
        LimitedServer::Limits limits;
        // Where the pages are reached; the address the server listens on when not valid.
        PublicAddress publicAddress;
        std::shared_ptr<const TlsContext> tls;
        // Uploads checked at once: one a processor.
        unsigned concurrentChecks = std::max(1u, std::thread::hardware_concurrency());
    };

    explicit PlatformServer(const QString& root);
    PlatformServer(const QString& root, const Options& options);
    ~PlatformServer();

    // Binds to the address (port 0 picks a free one); returns the port, or -1.
    int bind(const QString& host, int port);
    // Serves until stop() is called.
    void listen();
    void stop();
    bool isRunning() const;
    const PublicAddress& publicAddress() const { return m_public; }

    static inline const char* CookieName = "WEXASESSION";

private:
    void routes();
    // Refuses a request from its head alone: a route that is not one, a foreign page, a
    // document that is not XML, a service without a session that grants it.
    bool admit(const httplib::Request& req, httplib::Response& res);
    struct Caller {
        std::string session;
        Sessions::Grant grant;
    };
    // The open session the request's cookie names, with what it grants.
    std::optional<Caller> caller(const httplib::Request& req);
    void page(const httplib::Request& req, httplib::Response& res);
    void ticket(const httplib::Request& req, httplib::Response& res);
    void partners(const httplib::Request& req, httplib::Response& res);
    void orderData(const QString& partnerUrl, const httplib::Request& req, httplib::Response& res);
    void upload(const QString& partnerUrl, const std::string& session, const httplib::Request& req,
                httplib::Response& res);

    Mailbox m_mailbox;
    Options m_options;
    PublicAddress m_public;
    FairGate m_checks;
    Sessions m_sessions;
    std::unique_ptr<LimitedServer> m_server;
};
