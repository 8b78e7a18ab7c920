#pragma once

#include "Mailbox.h"

#include <QSet>
#include <QString>

#include <memory>
#include <mutex>

namespace httplib {
class Server;
}

// The reference platform server: the three services the control uses under the site
// base /edi/, and a page of that site that opens a session.
//   GET  /edi/<anything>/Order.aspx          the page; sets the session cookie
//   POST /edi/Partners.aspx?format=xml       partner information for partner-iln
//   POST /edi/<PartnerURL>/OrderData.aspx    the next waiting order
//   POST /edi/<PartnerURL>/Upload.aspx       an order response
// A service request without a valid session cookie gets an XML error answer.
class PlatformServer {
public:
    explicit PlatformServer(const QString& root);
    ~PlatformServer();

    // Binds to the address (port 0 picks a free one); returns the port, or -1.
    int bind(const QString& host, int port);
    // Serves until stop() is called.
    void listen();
    void stop();

    static inline const char* CookieName = "WEXASESSION";

private:
    void routes();
    bool hasSession(const std::string& cookieHeader);
    std::string openSession();

    Mailbox m_mailbox;
    std::unique_ptr<httplib::Server> m_server;
    std::mutex m_sessionsLock;
    QSet<QString> m_sessions;
};
