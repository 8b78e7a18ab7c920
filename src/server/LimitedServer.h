#pragma once

#include <httplib.h>

#include <chrono>

// The HTTP server with the limits a port open to anyone needs: each request, from its
// first byte to the last byte of its answer, must be done within a deadline, so a client
// that sends half a request and waits, or sends a byte now and then, holds a worker no
// longer than that; a larger accept queue so that a burst of connects is not stalled.
class LimitedServer : public httplib::Server {
public:
    struct Limits {
        std::chrono::milliseconds requestDeadline{std::chrono::seconds(30)};
        // Each read or write waits no longer than this for the client.
        std::chrono::milliseconds ioTimeout{std::chrono::seconds(5)};
        std::chrono::milliseconds keepAlive{std::chrono::seconds(5)};
        int workers = 64;
        int backlog = 128;
    };

    explicit LimitedServer(const Limits& limits);

    // Binds to the address (port 0 picks a free one); returns the port, or -1.
    int bind(const std::string& host, int port);

private:
    bool process_and_close_socket(socket_t sock) override;

    Limits m_limits;
};
