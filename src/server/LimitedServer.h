#pragma once

#include "server/RequestLog.h"

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>

class ConnectionStream;
class TlsContext;

// The HTTP server with the limits a port open to anyone needs. A connection has a thread
// of its own, so that clients that send slowly hold only their own; there are at most
// `connections` at once and `connectionsPerAddress` from one address, and one beyond is
// answered 503 at once. A request's head must arrive within `headDeadline` of its first
// byte and be no larger than `headLimit`; the whole request, body and answer included,
// must be done within `requestDeadline`. Before a byte of its body is read, a request is
// put to the admission, which may answer it instead; then its body is read by this server,
// chunked or not, and never past `bodyLimit`, so that the routes get it whole. A request
// answered without its body read in full ends its connection. Each answer, a refused
// connection's included, is logged as one line.
class LimitedServer : public httplib::Server {
public:
    struct Limits {
        std::chrono::milliseconds headDeadline{std::chrono::seconds(10)};
        std::chrono::milliseconds requestDeadline{std::chrono::seconds(30)};
        // Each read or write waits no longer than this for the client.
        std::chrono::milliseconds ioTimeout{std::chrono::seconds(5)};
        std::chrono::milliseconds keepAlive{std::chrono::seconds(5)};
        std::size_t headLimit = 64 * 1024;
        std::size_t bodyLimit = 16 * 1024 * 1024;
        std::size_t connections = 512;
        std::size_t connectionsPerAddress = 64;
        int backlog = 512;
    };
    // Looks at a request's head; true when it has filled in the answer itself, and the body
    // is then not read.
    using Admission = std::function<bool(const httplib::Request&, httplib::Response&)>;
    // Fills in the body of an error answer that has none.
    using ErrorAnswer = std::function<void(httplib::Response&)>;

    LimitedServer(const Limits& limits, std::shared_ptr<const TlsContext> tls = nullptr);
    ~LimitedServer() override;

    // Binds to the address (port 0 picks a free one); returns the port, or -1.
    int bind(const std::string& host, int port);
    void setAdmission(Admission admission) { m_admission = std::move(admission); }
    void setErrorAnswer(ErrorAnswer answer);

private:
    // One request on its way: what the admission or the body's reading decided.
    struct Exchange {
        std::optional<httplib::Response> refusal;
        // Whether the connection can carry another request after this one.
        bool reusable = false;
    };

    bool process_and_close_socket(socket_t sock) override;
    void serve(ConnectionStream& stream);
    void prepare(ConnectionStream& stream, Exchange& exchange, httplib::Request& req);
    // Takes a connection from the address if the limits allow.
    bool admitConnection(const std::string& address);
    void releaseConnection(const std::string& address);
    void refuseConnection(ConnectionStream& stream, const std::string& address);
    void logAnswer(const httplib::Request& req, const httplib::Response& res);

    const Limits m_limits;
    const std::shared_ptr<const TlsContext> m_tls;
    Admission m_admission;
    ErrorAnswer m_errorAnswer;
    std::mutex m_lock;
    std::size_t m_open = 0;
    std::unordered_map<std::string, std::size_t> m_openFrom;
    // The requests being prepared or answered, so that the routing finds what was decided.
    std::unordered_map<const httplib::Request*, Exchange*> m_exchanges;
    // When the request each connection's thread is serving began to arrive.
    std::unordered_map<std::thread::id, std::chrono::steady_clock::time_point> m_started;
    RequestLog m_log{stderr};
};
