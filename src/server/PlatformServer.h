#pragma once

#include "server/FairGate.h"
#include "server/Mailbox.h"

#include <QHash>
#include <QString>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class LimitedServer;
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
// A service request without a valid session cookie gets an XML error answer; a session
// unused for `sessionIdle` is gone. Only mailboxes whose folder exists are served.
// A launch ticket stands for the session of the page that issued it: it is good once,
// within `ticketLifetime`, so that the link which carries it is worthless once used.
class PlatformServer {
public:
    struct Options {
        std::chrono::seconds sessionIdle = std::chrono::hours(8);
        size_t bodyLimit = 16 * 1024 * 1024;
        // From a request's first byte to its answer's last.
        std::chrono::seconds requestDeadline = std::chrono::seconds(30);
        std::chrono::seconds ticketLifetime = std::chrono::minutes(2);
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

    static inline const char* CookieName = "WEXASESSION";

private:
    void routes();
    // The open session the cookie names, which it keeps open.
    std::optional<std::string> session(const std::string& cookieHeader);
    std::string openSession();
    QString issueTicket(const std::string& session);
    // The session a ticket stands for, or the reason it is refused; the ticket is gone.
    std::optional<std::string> redeemTicket(const QString& ticket, QString& refusal);
    void page(const httplib::Request& req, httplib::Response& res);

    Mailbox m_mailbox;
    Options m_options;
    FairGate m_checks;
    std::unique_ptr<LimitedServer> m_server;
    std::mutex m_sessionsLock;
    // Each session's last use.
    QHash<QString, std::chrono::steady_clock::time_point> m_sessions;
    struct Ticket {
        std::string session;
        std::chrono::steady_clock::time_point issued;
    };
    QHash<QString, Ticket> m_tickets;
};
