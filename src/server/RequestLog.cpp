#include "server/RequestLog.h"

#include <ctime>

namespace {

// Long enough for every path the services have; a longer one is cut, and says so.
constexpr std::size_t MaxField = 512;

std::string encoded(const std::string& text)
{
    static const char Hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (out.size() >= MaxField) {
            out += "...";
            break;
        }
        if (byte > 0x20 && byte < 0x7f && byte != '%') {
            out += c;
        } else {
            out += '%';
            out += Hex[byte >> 4];
            out += Hex[byte & 0xf];
        }
    }
    return out.empty() ? std::string("-") : out;
}

} // namespace

std::string RequestLog::line(const Entry& entry)
{
    using namespace std::chrono;
    const std::time_t seconds = system_clock::to_time_t(entry.time);
    const auto millis = duration_cast<milliseconds>(entry.time.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char time[32];
    std::strftime(time, sizeof time, "%Y-%m-%dT%H:%M:%S", &utc);
    char tail[64];
    std::snprintf(tail, sizeof tail, " %d %zu %lldms", entry.status, entry.bytes,
                  static_cast<long long>(entry.taken.count()));
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03dZ ", static_cast<int>(millis));
    return std::string(time) + fraction + encoded(entry.address) + ' ' + encoded(entry.method) +
           ' ' + encoded(entry.path) + tail + '\n';
}

void RequestLog::write(const Entry& entry)
{
    const std::string text = line(entry);
    const std::lock_guard guard(m_lock);
    // Nothing is left to tell a log that cannot be written to.
    if (std::fwrite(text.data(), 1, text.size(), m_stream) == text.size())
        std::fflush(m_stream);
}
