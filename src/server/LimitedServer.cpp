#include "server/LimitedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A connection's socket whose every wait ends at the request's deadline at the latest.
class DeadlineStream : public httplib::Stream {
public:
    DeadlineStream(int sock, milliseconds ioTimeout) : m_sock(sock), m_ioTimeout(ioTimeout) {}

    using httplib::Stream::write;

    void startRequest(milliseconds deadline) { m_deadline = Clock::now() + deadline; }
    bool expired() const { return Clock::now() >= m_deadline; }

    bool is_readable() const override { return m_begin < m_end || wait(POLLIN); }
    bool is_writable() const override { return wait(POLLOUT); }

    ssize_t read(char* ptr, size_t size) override
    {
        if (m_begin == m_end) {
            // A read as large as the buffer goes straight to the caller; a smaller one fills
            // the buffer with what the socket holds, so that neither a request's head is
            // read a byte at a time nor its body a few kilobytes a call.
            const bool direct = size >= m_buffer.size();
            const ssize_t got =
                receive(direct ? ptr : m_buffer.data(), direct ? size : m_buffer.size());
            if (got <= 0 || direct)
                return got;
            m_begin = 0;
            m_end = size_t(got);
        }
        const size_t n = std::min(size, m_end - m_begin);
        std::copy_n(m_buffer.data() + m_begin, n, ptr);
        m_begin += n;
        return ssize_t(n);
    }

    ssize_t write(const char* ptr, size_t size) override
    {
        if (!wait(POLLOUT))
            return -1;
        ssize_t sent;
        do
            sent = ::send(m_sock, ptr, size, MSG_NOSIGNAL);
        while (sent < 0 && errno == EINTR);
        return sent;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override
    {
        address(::getpeername, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override
    {
        address(::getsockname, ip, port);
    }
    socket_t socket() const override { return m_sock; }

private:
    // What the socket holds, waiting for it only when it holds nothing yet.
    ssize_t receive(char* into, size_t size) const
    {
        for (;;) {
            if (expired())
                return -1;
            const ssize_t got = ::recv(m_sock, into, size, MSG_DONTWAIT);
            if (got >= 0)
                return got;
            if (errno == EINTR)
                continue;
            if ((errno != EAGAIN && errno != EWOULDBLOCK) || !wait(POLLIN))
                return -1;
        }
    }

    // Whether the socket became ready before the wait timed out or the deadline passed.
    bool wait(short events) const
    {
        const auto left = std::chrono::duration_cast<milliseconds>(m_deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd fd{m_sock, events, 0};
        int ready;
        do
            ready = ::poll(&fd, 1, int(std::min(left, m_ioTimeout).count()));
        while (ready < 0 && errno == EINTR);
        return ready > 0 && (fd.revents & (events | POLLHUP | POLLERR)) != 0;
    }

    void address(int (*get)(int, sockaddr*, socklen_t*), std::string& ip, int& port) const
    {
        sockaddr_storage storage{};
        socklen_t length = sizeof storage;
        if (get(m_sock, reinterpret_cast<sockaddr*>(&storage), &length) != 0)
            return;
        char text[INET6_ADDRSTRLEN] = {};
        if (storage.ss_family == AF_INET) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(&storage);
            ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
            port = ntohs(in->sin_port);
        } else if (storage.ss_family == AF_INET6) {
            const auto* in = reinterpret_cast<const sockaddr_in6*>(&storage);
            ::inet_ntop(AF_INET6, &in->sin6_addr, text, sizeof text);
            port = ntohs(in->sin6_port);
        }
        ip = text;
    }

    int m_sock;
    milliseconds m_ioTimeout;
    Clock::time_point m_deadline = Clock::now();
    std::vector<char> m_buffer = std::vector<char>(size_t(64) << 10);
    size_t m_begin = 0;
    size_t m_end = 0;
};

} // namespace

LimitedServer::LimitedServer(const Limits& limits) : m_limits(limits)
{
    const int workers = limits.workers;
    new_task_queue = [workers] { return new httplib::ThreadPool(size_t(workers)); };
    set_read_timeout(std::chrono::duration_cast<std::chrono::seconds>(limits.ioTimeout));
    set_write_timeout(std::chrono::duration_cast<std::chrono::seconds>(limits.ioTimeout));
}

int LimitedServer::bind(const std::string& host, int port)
{
    const int bound = port == 0 ? bind_to_any_port(host) : bind_to_port(host, port) ? port : -1;
    // The library listens with a short queue; a listening socket takes a new length.
    if (bound >= 0)
        ::listen(svr_sock_, m_limits.backlog);
    return bound;
}

bool LimitedServer::process_and_close_socket(socket_t sock)
{
    DeadlineStream stream(sock, m_limits.ioTimeout);
    bool served = false;
    for (auto left = keep_alive_max_count_; left > 0 && svr_sock_ != INVALID_SOCKET; --left) {
        // Between requests the client may keep the connection open for a while.
        bool readable = false;
        const auto idleEnd = Clock::now() + m_limits.keepAlive;
        while (!readable && svr_sock_ != INVALID_SOCKET && Clock::now() < idleEnd) {
            stream.startRequest(std::min(milliseconds(100), m_limits.keepAlive));
            readable = stream.is_readable();
        }
        if (!readable)
            break;
        stream.startRequest(m_limits.requestDeadline);
        bool closed = false;
        served = process_request(stream, left == 1, closed, nullptr);
        // A request cut off at its deadline may still count as answered (with an error);
        // its connection goes all the same.
        if (!served || closed || stream.expired())
            break;
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return served;
}
