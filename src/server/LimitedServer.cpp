#include "server/LimitedServer.h"

#include "server/BodyReader.h"
#include "server/ConnectionStream.h"
#include "server/TlsContext.h"
#include "server/WorkerPool.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <strings.h>
#include <sys/socket.h>

using Steady = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

// Threads beyond the connections' limit, so that connections over it are answered at once.
constexpr std::size_t SpareThreads = 32;
// How long what a client still sends is dropped, at most, after an answer that ended its
// request early: a client that sends its whole document before it reads the answer (the
// editor does) hears the answer if it is done sending by then.
constexpr milliseconds Linger{5000};

bool sameText(const std::string& a, const char* b)
{
    return strcasecmp(a.c_str(), b) == 0;
}

bool writeAll(ConnectionStream& stream, const std::string& bytes)
{
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = stream.write(bytes.data() + sent, bytes.size() - sent);
        if (n <= 0)
            return false;
        sent += std::size_t(n);
    }
    return true;
}

} // namespace

LimitedServer::LimitedServer(const Limits& limits, std::shared_ptr<const TlsContext> tls)
    : m_limits(limits), m_tls(std::move(tls))
{
    const std::size_t threads = limits.connections + SpareThreads;
    new_task_queue = [threads] { return new WorkerPool(threads); };
    set_keep_alive_max_count(100);
    set_logger(
        [this](const httplib::Request& req, const httplib::Response& res) { logAnswer(req, res); });
    set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        std::optional<httplib::Response> refusal;
        {
            const std::lock_guard lock(m_lock);
            const auto found = m_exchanges.find(&req);
            if (found != m_exchanges.end())
                refusal = found->second->refusal;
        }
        if (!refusal)
            return HandlerResponse::Unhandled;
        res.status = refusal->status;
        res.headers.insert(refusal->headers.begin(), refusal->headers.end());
        res.body = std::move(refusal->body);
        return HandlerResponse::Handled;
    });
}

LimitedServer::~LimitedServer() = default;

int LimitedServer::bind(const std::string& host, int port)
{
    const int bound = port == 0 ? bind_to_any_port(host) : bind_to_port(host, port) ? port : -1;
    // The library listens with a short queue; a listening socket takes a new length.
    if (bound >= 0)
        ::listen(svr_sock_, m_limits.backlog);
    return bound;
}

void LimitedServer::setErrorAnswer(ErrorAnswer answer)
{
    m_errorAnswer = std::move(answer);
    const HandlerWithResponse fill = [this](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty() || !m_errorAnswer)
            return HandlerResponse::Unhandled;
        m_errorAnswer(res);
        return HandlerResponse::Handled;
    };
    set_error_handler(fill);
}

bool LimitedServer::process_and_close_socket(socket_t sock)
{
    // An answer goes out as soon as it is written: waiting to fill a segment would cost a
    // kept-alive connection the client's delayed acknowledgement on every request.
    const int on = 1;
    ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ConnectionStream stream(sock, m_tls ? m_tls->session() : nullptr, m_limits.ioTimeout);
    std::string address;
    int port = 0;
    stream.get_remote_ip_and_port(address, port);
    if (!admitConnection(address)) {
        refuseConnection(stream, address);
        return false;
    }
    serve(stream);
    releaseConnection(address);
    return true;
}

void LimitedServer::serve(ConnectionStream& stream)
{
    stream.setDeadline(Steady::now() + m_limits.headDeadline);
    if (!stream.handshake())
        return;
    for (auto left = keep_alive_max_count_; left > 0 && svr_sock_ != INVALID_SOCKET; --left) {
        // Between requests the client may keep the connection open for a while.
        bool readable = false;
        const auto idleEnd = Steady::now() + m_limits.keepAlive;
        while (!readable && svr_sock_ != INVALID_SOCKET && Steady::now() < idleEnd) {
            stream.setDeadline(std::min(Steady::now() + milliseconds(100), idleEnd));
            readable = stream.is_readable();
        }
        if (!readable)
            return;
        const auto start = Steady::now();
        {
            const std::lock_guard lock(m_lock);
            m_started[std::this_thread::get_id()] = start;
        }
        stream.setDeadline(start + std::min(m_limits.headDeadline, m_limits.requestDeadline));
        stream.limitReads(m_limits.headLimit);
        Exchange exchange;
        const httplib::Request* current = nullptr;
        bool closed = false;
        const bool served = process_request(stream, left == 1, closed, [&](httplib::Request& req) {
            current = &req;
            {
                const std::lock_guard lock(m_lock);
                m_exchanges.emplace(current, &exchange);
            }
            stream.liftReadLimit();
            stream.setDeadline(start + m_limits.requestDeadline);
            prepare(stream, exchange, req);
        });
        {
            const std::lock_guard lock(m_lock);
            m_started.erase(std::this_thread::get_id());
            if (current)
                m_exchanges.erase(current);
        }
        if (served && !exchange.reusable)
            stream.linger(Linger);
        if (!served || closed || !exchange.reusable || stream.expired())
            return;
    }
}

void LimitedServer::prepare(ConnectionStream& stream, Exchange& exchange, httplib::Request& req)
{
    httplib::Response refusal;
    const std::optional<BodyReader::Framing> framing = BodyReader::framing(req.headers);
    const std::string coding = req.get_header_value("Content-Encoding");
    if (m_admission && m_admission(req, refusal)) {
        // Answered from the head alone.
    } else if (!framing) {
        refusal.status = 400;
    } else if (!coding.empty() && !sameText(coding, "identity")) {
        refusal.status = 415;
    } else if (framing->kind == BodyReader::Framing::Kind::Length &&
               framing->length > m_limits.bodyLimit) {
        refusal.status = 413;
    } else {
        const bool waits = framing->kind != BodyReader::Framing::Kind::None &&
                           sameText(req.get_header_value("Expect"), "100-continue");
        const BodyReader::Outcome read =
            waits && !writeAll(stream, "HTTP/1.1 100 Continue\r\n\r\n")
                ? BodyReader::Outcome::Broken
                : BodyReader::read(stream, *framing, m_limits.bodyLimit, req.body);
        switch (read) {
        case BodyReader::Outcome::Complete:
            exchange.reusable = true;
            break;
        case BodyReader::Outcome::TooLarge:
            refusal.status = 413;
            break;
        case BodyReader::Outcome::Malformed:
            refusal.status = 400;
            break;
        case BodyReader::Outcome::Broken:
            refusal.status = 408;
            break;
        }
    }
    if (refusal.status != -1)
        exchange.refusal = std::move(refusal);
    // The body has been read here: the library is to read nothing more of this request.
    for (const char* header : {"Content-Length", "Transfer-Encoding", "Content-Encoding", "Expect"})
        req.headers.erase(header);
    req.headers.emplace("Content-Length", "0");
    if (!exchange.reusable) {
        req.headers.erase("Connection");
        req.headers.emplace("Connection", "close");
    }
}

bool LimitedServer::admitConnection(const std::string& address)
{
    const std::lock_guard lock(m_lock);
    std::size_t& from = m_openFrom[address];
    if (m_open >= m_limits.connections || from >= m_limits.connectionsPerAddress) {
        if (from == 0)
            m_openFrom.erase(address);
        return false;
    }
    ++m_open;
    ++from;
    return true;
}

void LimitedServer::releaseConnection(const std::string& address)
{
    const std::lock_guard lock(m_lock);
    --m_open;
    if (--m_openFrom[address] == 0)
        m_openFrom.erase(address);
}

void LimitedServer::logAnswer(const httplib::Request& req, const httplib::Response& res)
{
    const auto now = Steady::now();
    auto started = now;
    {
        const std::lock_guard lock(m_lock);
        const auto found = m_started.find(std::this_thread::get_id());
        if (found != m_started.end())
            started = found->second;
    }
    m_log.write({std::chrono::system_clock::now(), req.remote_addr, req.method, req.path,
                 res.status, res.body.size(),
                 std::chrono::duration_cast<milliseconds>(now - started)});
}

void LimitedServer::refuseConnection(ConnectionStream& stream, const std::string& address)
{
    stream.setDeadline(Steady::now() + m_limits.ioTimeout);
    if (!stream.handshake())
        return;
    httplib::Response res;
    res.status = 503;
    if (m_errorAnswer)
        m_errorAnswer(res);
    std::string answer = "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\n"
                         "Retry-After: 5\r\nContent-Length: " +
                         std::to_string(res.body.size()) + "\r\n";
    for (const auto& [name, value] : res.headers)
        answer += name + ": " + value + "\r\n";
    const bool written = writeAll(stream, answer + "\r\n" + res.body);
    m_log.write({std::chrono::system_clock::now(),
                 address,
                 {},
                 {},
                 res.status,
                 res.body.size(),
                 milliseconds(0)});
    if (written)
        stream.linger(Linger);
}
