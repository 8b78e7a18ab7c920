#pragma once

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <memory>

// One connection's socket, plain or TLS, for the HTTP layer to read and write. Every wait
// ends at the deadline set for the request's current phase at the latest, and no single
// wait lasts longer than the I/O timeout; reads are buffered, so a request's head is not
// read from the socket a byte at a time; writes never block, so a client that stops
// reading holds a worker no longer than the deadline. Until lifted, a read limit caps what
// a request's head may take: a head that does not end within it fails to read.
class ConnectionStream : public httplib::Stream {
public:
    using Clock = std::chrono::steady_clock;

    // Takes the socket, and the TLS session over it when there is one, and closes both.
    ConnectionStream(int sock, SSL* tls, std::chrono::milliseconds ioTimeout);
    ~ConnectionStream() override;
    ConnectionStream(const ConnectionStream&) = delete;
    ConnectionStream& operator=(const ConnectionStream&) = delete;

    // The TLS handshake, within the deadline; true at once for a plain connection.
    bool handshake();
    void setDeadline(Clock::time_point deadline) { m_deadline = deadline; }
    bool expired() const { return Clock::now() >= m_deadline; }
    void limitReads(std::size_t bytes) { m_readBudget = bytes; }
    void liftReadLimit() { m_readBudget = NoLimit; }
    // After an answer that left part of the request unread: sends nothing more and drops
    // what the client still sends, for a moment at most, so that the client reads the
    // answer instead of losing it to the reset that closing on unread bytes would send.
    void linger(std::chrono::milliseconds most);

    using httplib::Stream::write;
    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, std::size_t size) override;
    ssize_t write(const char* ptr, std::size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return m_sock; }

private:
    static constexpr std::size_t NoLimit = ~std::size_t(0);
    static constexpr std::size_t BufferSize = std::size_t(64) << 10;

    ssize_t receive(char* into, std::size_t size) const;
    bool tlsWait(int result) const;
    bool wait(short events) const;

    int m_sock;
    SSL* m_tls;
    mutable bool m_tlsFailed = false;
    std::chrono::milliseconds m_ioTimeout;
    Clock::time_point m_deadline = Clock::now();
    std::size_t m_readBudget = NoLimit;
    // Allocated, not zeroed: a connection that sends a few bytes touches a page of it.
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
};
