#include "server/ConnectionStream.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

using std::chrono::milliseconds;

namespace {

void address(int sock, int (*get)(int, sockaddr*, socklen_t*), std::string& ip, int& port)
{
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (get(sock, reinterpret_cast<sockaddr*>(&storage), &length) != 0)
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

} // namespace

ConnectionStream::ConnectionStream(int sock, SSL* tls, milliseconds ioTimeout)
    : m_sock(sock), m_tls(tls), m_ioTimeout(ioTimeout), m_buffer(new char[BufferSize])
{
    ::fcntl(sock, F_SETFL, ::fcntl(sock, F_GETFL) | O_NONBLOCK);
    if (m_tls) {
        SSL_set_fd(m_tls, sock);
        // Writes return what went out, and go on from wherever the rest is.
        SSL_set_mode(m_tls, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    }
}

ConnectionStream::~ConnectionStream()
{
    if (m_tls) {
        if (!m_tlsFailed)
            SSL_shutdown(m_tls);
        SSL_free(m_tls);
    }
    ::shutdown(m_sock, SHUT_RDWR);
    ::close(m_sock);
}

bool ConnectionStream::handshake()
{
    if (!m_tls)
        return true;
    for (;;) {
        const int done = SSL_accept(m_tls);
        if (done == 1)
            return true;
        if (!tlsWait(done))
            return false;
    }
}

bool ConnectionStream::is_readable() const
{
    return m_begin < m_end || (m_tls && SSL_pending(m_tls) > 0) || wait(POLLIN);
}

bool ConnectionStream::is_writable() const
{
    return wait(POLLOUT);
}

ssize_t ConnectionStream::read(char* ptr, std::size_t size)
{
    if (m_readBudget == 0)
        return -1;
    size = std::min(size, m_readBudget);
    if (m_begin == m_end) {
        // A read as large as the buffer goes straight to the caller; a smaller one fills
        // the buffer with what the socket holds.
        const bool direct = size >= BufferSize;
        const ssize_t got = receive(direct ? ptr : m_buffer.get(), direct ? size : BufferSize);
        if (got <= 0)
            return got;
        if (direct) {
            m_readBudget -= m_readBudget == NoLimit ? 0 : std::size_t(got);
            return got;
        }
        m_begin = 0;
        m_end = std::size_t(got);
    }
    const std::size_t n = std::min(size, m_end - m_begin);
    std::copy_n(m_buffer.get() + m_begin, n, ptr);
    m_begin += n;
    m_readBudget -= m_readBudget == NoLimit ? 0 : n;
    return ssize_t(n);
}

ssize_t ConnectionStream::write(const char* ptr, std::size_t size)
{
    for (;;) {
        if (expired())
            return -1;
        if (m_tls) {
            std::size_t sent = 0;
            const int done = SSL_write_ex(m_tls, ptr, size, &sent);
            if (done == 1)
                return ssize_t(sent);
            if (!tlsWait(done))
                return -1;
            continue;
        }
        const ssize_t sent = ::send(m_sock, ptr, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0)
            return sent;
        if (errno != EINTR && ((errno != EAGAIN && errno != EWOULDBLOCK) || !wait(POLLOUT)))
            return -1;
    }
}

void ConnectionStream::linger(milliseconds most)
{
    if (m_tls && !m_tlsFailed)
        SSL_shutdown(m_tls);
    ::shutdown(m_sock, SHUT_WR);
    m_deadline = std::min(m_deadline, Clock::now() + most);
    while (receive(m_buffer.get(), BufferSize) > 0) {
    }
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const
{
    address(m_sock, ::getpeername, ip, port);
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const
{
    address(m_sock, ::getsockname, ip, port);
}

// What the socket holds, waiting for it only when it holds nothing yet; 0 once the client
// has closed its side.
ssize_t ConnectionStream::receive(char* into, std::size_t size) const
{
    for (;;) {
        if (expired())
            return -1;
        if (m_tls) {
            std::size_t got = 0;
            const int done = SSL_read_ex(m_tls, into, size, &got);
            if (done == 1)
                return ssize_t(got);
            if (SSL_get_error(m_tls, done) == SSL_ERROR_ZERO_RETURN)
                return 0;
            if (!tlsWait(done))
                return -1;
            continue;
        }
        const ssize_t got = ::recv(m_sock, into, size, MSG_DONTWAIT);
        if (got >= 0)
            return got;
        if (errno != EINTR && ((errno != EAGAIN && errno != EWOULDBLOCK) || !wait(POLLIN)))
            return -1;
    }
}

// After a TLS call that did not complete: waits for what it wants, or tells that it failed
// for good.
bool ConnectionStream::tlsWait(int result) const
{
    const int error = SSL_get_error(m_tls, result);
    if (error == SSL_ERROR_WANT_READ)
        return wait(POLLIN);
    if (error == SSL_ERROR_WANT_WRITE)
        return wait(POLLOUT);
    m_tlsFailed = error == SSL_ERROR_SYSCALL || error == SSL_ERROR_SSL;
    return false;
}

// Whether the socket became ready before the wait timed out or the deadline passed.
bool ConnectionStream::wait(short events) const
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
