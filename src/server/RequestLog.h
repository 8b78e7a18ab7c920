#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>

// One line on standard error (the journal, under systemd) for each request answered, for
// the administrator: when, from where, what was asked, the status, the bytes of the answer's
// body and how long it took. Never a header or a body: a cookie or a document stays out of
// the log. The method and the path are percent-encoded, so that what a client sends can
// neither break the line nor pass for another field.
class RequestLog {
public:
    struct Entry {
        std::chrono::system_clock::time_point time;
        std::string address;
        std::string method;
        std::string path;
        int status = 0;
        std::size_t bytes = 0;
        std::chrono::milliseconds taken{0};
    };

    explicit RequestLog(std::FILE* stream) : m_stream(stream) {}
    // "2026-12-07T05:12:03.120Z 127.0.0.1 GET /edi/a/Order.aspx 200 1234 3ms"
    static std::string line(const Entry& entry);
    // Writes the line, whole, among the other threads' lines.
    void write(const Entry& entry);

private:
    std::FILE* m_stream;
    std::mutex m_lock;
};
