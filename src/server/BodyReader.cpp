#include "server/BodyReader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <strings.h>

namespace BodyReader {
namespace {

// A chunk's size line, extensions included, and the trailer after the last chunk.
constexpr std::size_t MaxLine = 1024;
constexpr std::size_t MaxTrailer = 8 * 1024;
constexpr std::size_t Piece = std::size_t(64) << 10;

// A length as the head gives it: decimal digits only, and no larger than the type holds.
std::optional<std::uint64_t> decimal(const std::string& text)
{
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

// Room for `needed` bytes. Room grown step by step would hold each old copy beside the
// new one, up to twice the limit at once: a body that outgrows its first piece is given
// room up to the limit in one step instead. Room not yet written to takes no memory.
void makeRoom(std::string& body, std::size_t needed, std::size_t limit)
{
    if (needed > body.capacity())
        body.reserve(needed <= Piece ? Piece : limit);
}

// Appends `length` bytes from the stream.
Outcome append(httplib::Stream& stream, std::size_t length, std::size_t limit, std::string& body)
{
    while (length > 0) {
        const std::size_t at = body.size();
        const std::size_t want = std::min(length, Piece);
        makeRoom(body, at + want, limit);
        body.resize(at + want);
        const ssize_t got = stream.read(body.data() + at, want);
        body.resize(at + std::size_t(std::max<ssize_t>(got, 0)));
        if (got <= 0)
            return Outcome::Broken;
        length -= std::size_t(got);
    }
    return Outcome::Complete;
}

// One line ended by CR LF, without them.
Outcome line(httplib::Stream& stream, std::string& text, std::size_t most)
{
    text.clear();
    for (;;) {
        char c;
        if (stream.read(&c, 1) != 1)
            return Outcome::Broken;
        if (c == '\r') {
            if (stream.read(&c, 1) != 1)
                return Outcome::Broken;
            return c == '\n' ? Outcome::Complete : Outcome::Malformed;
        }
        if (c == '\n' || text.size() >= most)
            return Outcome::Malformed;
        text.push_back(c);
    }
}

// A chunk's size, in hexadecimal digits before any extension; nothing when the line is not
// one. A size larger than `most` comes back as most + 1.
std::optional<std::uint64_t> chunkSize(const std::string& text, std::uint64_t most)
{
    std::uint64_t size = 0;
    std::size_t at = 0;
    for (; at < text.size() && std::isxdigit(static_cast<unsigned char>(text[at])); ++at) {
        const char c = char(std::tolower(static_cast<unsigned char>(text[at])));
        size = std::min(most + 1, size * 16 + std::uint64_t(c <= '9' ? c - '0' : c - 'a' + 10));
    }
    if (at == 0)
        return std::nullopt;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    if (at < text.size() && text[at] != ';')
        return std::nullopt;
    return size;
}

Outcome readChunked(httplib::Stream& stream, std::size_t limit, std::string& body)
{
    std::string text;
    for (;;) {
        if (const Outcome read = line(stream, text, MaxLine); read != Outcome::Complete)
            return read;
        const std::optional<std::uint64_t> size = chunkSize(text, limit - body.size());
        if (!size)
            return Outcome::Malformed;
        if (*size == 0)
            break;
        if (*size > limit - body.size())
            return Outcome::TooLarge;
        if (const Outcome read = append(stream, std::size_t(*size), limit, body);
            read != Outcome::Complete)
            return read;
        if (const Outcome read = line(stream, text, 0); read != Outcome::Complete)
            return read;
    }
    // The trailer's fields, up to the empty line; nothing here takes them.
    for (std::size_t trailer = 0;;) {
        if (const Outcome read = line(stream, text, MaxLine); read != Outcome::Complete)
            return read;
        if (text.empty())
            return Outcome::Complete;
        trailer += text.size() + 2;
        if (trailer > MaxTrailer)
            return Outcome::Malformed;
    }
}

} // namespace

std::optional<Framing> framing(const httplib::Headers& headers)
{
    const auto lengths = headers.equal_range("Content-Length");
    const auto codings = headers.equal_range("Transfer-Encoding");
    const bool hasLength = lengths.first != lengths.second;
    const bool hasCoding = codings.first != codings.second;
    if (hasLength && hasCoding)
        return std::nullopt;
    if (hasCoding) {
        if (std::next(codings.first) != codings.second ||
            strcasecmp(codings.first->second.c_str(), "chunked") != 0)
            return std::nullopt;
        return Framing{Framing::Kind::Chunked, 0};
    }
    if (!hasLength)
        return Framing{};
    std::optional<std::uint64_t> length;
    for (auto at = lengths.first; at != lengths.second; ++at) {
        const std::optional<std::uint64_t> each = decimal(at->second);
        if (!each || (length && *length != *each))
            return std::nullopt;
        length = each;
    }
    return Framing{Framing::Kind::Length, *length};
}

Outcome read(httplib::Stream& stream, const Framing& framing, std::size_t limit, std::string& body)
{
    body.clear();
    switch (framing.kind) {
    case Framing::Kind::None:
        return Outcome::Complete;
    case Framing::Kind::Length:
        if (framing.length > limit)
            return Outcome::TooLarge;
        return append(stream, std::size_t(framing.length), std::size_t(framing.length), body);
    case Framing::Kind::Chunked:
        return readChunked(stream, limit, body);
    }
    return Outcome::Malformed;
}

} // namespace BodyReader
