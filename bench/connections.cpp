// The platform server's connections under load: the latency of a normal request, each on
// a fresh connection, while 256 slow clients hang on (half send a head a byte a second,
// half an upload's body), and page and service requests over one kept-alive connection
// against fresh connections. The slow clients come from eight loopback addresses, so
// that the per-address cap leaves them all in.
//
//   wexa-connection-bench PORT [REQUESTS]   (500 by default)
//
// Prints one line for the slow clients and one for each kind of request kept alive:
//   slow: 256 held, 256 still open; 500 requests: median M ms, p99 P ms, worst W ms
//   page: kept-alive K ms, fresh F ms, ratio R

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double at(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(share * double(values.size())))];
}

// A connection from a loopback address that has sent the start of a request.
int slowConnection(int port, int address, const std::string& start)
{
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK + 1 + std::uint32_t(address));
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(std::uint16_t(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(sock, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(sock, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0 ||
        ::send(sock, start.data(), start.size(), MSG_NOSIGNAL) != ssize_t(start.size())) {
        ::close(sock);
        return -1;
    }
    return sock;
}

bool stillOpen(int sock)
{
    char byte;
    const ssize_t got = ::recv(sock, &byte, 1, MSG_DONTWAIT);
    return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}

std::string sessionCookie(httplib::Client& http)
{
    std::string cookie;
    if (const httplib::Result page = http.Get("/edi/bench/Order.aspx"))
        cookie = page->get_header_value("Set-Cookie");
    return cookie.substr(0, cookie.find(';'));
}

const char* const Peek = "<order-request><deleteafter>false</deleteafter></order-request>";

// The median milliseconds of `count` requests kept alive on one connection and of as many
// each on a fresh connection, taken in turn.
template <typename Request>
std::pair<double, double> keptAndFresh(int port, int count, Request request)
{
    std::vector<double> kept, fresh;
    httplib::Client alive("127.0.0.1", port);
    alive.set_keep_alive(true);
    alive.set_tcp_nodelay(true);
    request(alive); // the connection is open before the first measure
    for (int n = 0; n < count; ++n) {
        auto start = Clock::now();
        if (!request(alive))
            return {-1, -1};
        kept.push_back(since(start));
        httplib::Client once("127.0.0.1", port);
        once.set_tcp_nodelay(true);
        start = Clock::now();
        if (!request(once))
            return {-1, -1};
        fresh.push_back(since(start));
    }
    return {at(kept, 0.5), at(fresh, 0.5)};
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: wexa-connection-bench PORT [REQUESTS]\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int requests = argc > 2 ? std::atoi(argv[2]) : 500;
    httplib::Client http("127.0.0.1", port);
    const std::string cookie = sessionCookie(http);
    if (cookie.empty()) {
        std::fprintf(stderr, "wexa-connection-bench: the page opened no session\n");
        return 1;
    }

    constexpr int Slow = 256, Addresses = 8;
    std::vector<int> slow;
    for (int n = 0; n < Slow; ++n) {
        const std::string start =
            n % 2 ? "POST /edi/Ticket.aspx HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: "
                  : "POST /edi/bench/Upload.aspx HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
                    "text/xml\r\nCookie: " +
                        cookie + "\r\nContent-Length: 100000\r\n\r\n<Document-OrderResponse>";
        if (const int sock = slowConnection(port, n % Addresses, start); sock >= 0)
            slow.push_back(sock);
    }
    // A byte a second on each, so that none is ever idle long enough to be dropped as such.
    std::atomic<bool> done{false};
    std::thread trickle([&] {
        while (!done) {
            for (const int sock : slow)
                (void)::send(sock, "x", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            for (int tick = 0; tick < 10 && !done; ++tick)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::vector<double> latencies;
    int failed = 0;
    for (int n = 0; n < requests; ++n) {
        httplib::Client fresh("127.0.0.1", port);
        const auto start = Clock::now();
        const httplib::Result answer =
            fresh.Post("/edi/bench/OrderData.aspx", {{"Cookie", cookie}}, Peek, "text/xml");
        latencies.push_back(since(start));
        failed += !answer || answer->status != 200;
    }
    const auto held = std::count_if(slow.begin(), slow.end(), stillOpen);
    done = true;
    trickle.join();
    for (const int sock : slow)
        ::close(sock);
    std::printf("slow: %zu held, %td still open; %d requests: median %.2f ms, p99 %.2f ms, "
                "worst %.2f ms, %d failed\n",
                slow.size(), held, requests, at(latencies, 0.5), at(latencies, 0.99),
                at(latencies, 1.0), failed);

    const auto page = [](httplib::Client& client) {
        const httplib::Result answer = client.Get("/edi/bench/Order.aspx");
        return answer && answer->status == 200;
    };
    const auto service = [&](httplib::Client& client) {
        const httplib::Result answer =
            client.Post("/edi/bench/OrderData.aspx", {{"Cookie", cookie}}, Peek, "text/xml");
        return answer && answer->status == 200;
    };
    for (const auto& [name, request] :
         {std::pair<const char*, std::function<bool(httplib::Client&)>>{"page", page},
          {"service", service}}) {
        const auto [kept, fresh] = keptAndFresh(port, requests, request);
        std::printf("%s: kept-alive %.3f ms, fresh %.3f ms, ratio %.2f\n", name, kept, fresh,
                    kept / fresh);
    }
    return failed == 0 && held == std::ptrdiff_t(slow.size()) ? 0 : 1;
}
