#pragma once

#include <httplib.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// A request's body, read from its connection as its head frames it and never past a
// limit: a body of declared length is judged by that length before a byte of it is read,
// a chunked one chunk by chunk, before the chunk that would pass the limit is read. What is
// kept grows with what arrives, never beyond the limit.
namespace BodyReader {

struct Framing {
    enum class Kind { None, Length, Chunked } kind = Kind::None;
    std::uint64_t length = 0;
};
enum class Outcome { Complete, TooLarge, Malformed, Broken };

// How the head frames the body; nothing when the framing cannot be trusted (a length that
// is not a number, two that differ, both a length and chunks, a coding other than chunked).
// The library has taken the spaces around each header's value away.
std::optional<Framing> framing(const httplib::Headers& headers);
// Reads the body into `body`: Complete, TooLarge once it would pass `limit`, Malformed when
// its chunks are not well framed, Broken when the connection failed or ran out of time.
Outcome read(httplib::Stream& stream, const Framing& framing, std::size_t limit, std::string& body);

} // namespace BodyReader
