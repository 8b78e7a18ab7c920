// Many clients at once uploading large order responses to the platform server: each
// opens its session on the page, then posts its uploads one after another; prints the
// latency of one upload at the median, the 99th percentile and the worst.
//
//   wexa-upload-bench PORT [CLIENTS [UPLOADS [BYTES]]]   (32, 10, 1 MB by default)

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string response(size_t bytes)
{
    std::string body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Document-OrderResponse>"
                       "<OrderResponse-Lines>";
    for (int n = 1; body.size() < bytes; ++n)
        body += "<Line><Line-Item><LineNumber>" + std::to_string(n) +
                "</LineNumber><EAN>4607000000109</EAN><LineItemStatus>5</LineItemStatus>"
                "<ItemDescription><![CDATA[Молоко пастеризованное 3,2% 1 л]]></ItemDescription>"
                "<OrderedQuantity>120.000</OrderedQuantity><QuantityToBeDelivered>120.000"
                "</QuantityToBeDelivered></Line-Item></Line>";
    return body + "</OrderResponse-Lines></Document-OrderResponse>\n";
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: wexa-upload-bench PORT [CLIENTS [UPLOADS [BYTES]]]\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int clients = argc > 2 ? std::atoi(argv[2]) : 32;
    const int uploads = argc > 3 ? std::atoi(argv[3]) : 10;
    const std::string body = response(argc > 4 ? size_t(std::atol(argv[4])) : 1 << 20);

    std::vector<std::vector<double>> latencies(static_cast<size_t>(clients));
    std::atomic<int> failures{0};
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            httplib::Client http("127.0.0.1", port);
            http.set_read_timeout(60);
            std::string cookie;
            if (const httplib::Result page = http.Get("/edi/bench/Order.aspx"))
                cookie = page->get_header_value("Set-Cookie");
            cookie = cookie.substr(0, cookie.find(';'));
            const httplib::Headers headers{{"Cookie", cookie}};
            // Every client starts uploading at the same moment.
            ++ready;
            while (ready < clients)
                std::this_thread::yield();
            for (int u = 0; u < uploads; ++u) {
                const auto start = std::chrono::steady_clock::now();
                // Sent from the one body all clients share: a copy for each client would
                // cost this machine's processors as much as the server's check does.
                const httplib::Result answer = http.Post(
                    "/edi/bench/Upload.aspx", headers, body.size(),
                    [&](size_t offset, size_t length, httplib::DataSink& sink) {
                        return sink.write(body.data() + offset,
                                          std::min(length, body.size() - offset));
                    },
                    "text/xml");
                const std::chrono::duration<double, std::milli> took =
                    std::chrono::steady_clock::now() - start;
                if (!answer || answer->status != 200 ||
                    answer->body.find("<submission-status>OK<") == std::string::npos)
                    ++failures;
                latencies[size_t(c)].push_back(took.count());
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    std::vector<double> all;
    for (const std::vector<double>& each : latencies)
        all.insert(all.end(), each.begin(), each.end());
    std::sort(all.begin(), all.end());
    const auto at = [&](double share) {
        return all[std::min(all.size() - 1, size_t(share * double(all.size())))];
    };
    std::printf("%zu uploads of %zu bytes by %d clients: median %.1f ms, p99 %.1f ms, worst "
                "%.1f ms, %d failed\n",
                all.size(), body.size(), clients, at(0.5), at(0.99), all.back(), int(failures));
    return failures == 0 ? 0 : 1;
}
