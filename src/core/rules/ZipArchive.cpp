#include "core/rules/ZipArchive.h"

#include <zlib.h>

#include <limits>

namespace {

constexpr quint32 EndSignature = 0x06054b50;
constexpr quint32 CentralSignature = 0x02014b50;
constexpr quint32 LocalSignature = 0x04034b50;
constexpr qsizetype EndSize = 22;
constexpr qsizetype CentralSize = 46;
constexpr qsizetype LocalSize = 30;
constexpr quint16 Encrypted = 0x0001;
constexpr quint16 Utf8Names = 0x0800;
constexpr quint16 MethodStored = 0;
constexpr quint16 MethodDeflated = 8;

// Little-endian fields read at an offset that the caller has checked lies inside.
quint16 u16(const QByteArray& bytes, qsizetype at)
{
    return quint16(uchar(bytes[at]) | uchar(bytes[at + 1]) << 8);
}

quint32 u32(const QByteArray& bytes, qsizetype at)
{
    return quint32(u16(bytes, at)) | quint32(u16(bytes, at + 2)) << 16;
}

// The end record: the last signature that leaves room for its record and its comment.
qsizetype findEnd(const QByteArray& bytes)
{
    const qsizetype last = bytes.size() - EndSize;
    const qsizetype first = qMax<qsizetype>(0, last - 0xFFFF);
    for (qsizetype at = last; at >= first; --at) {
        if (u32(bytes, at) == EndSignature && at + EndSize + u16(bytes, at + 20) == bytes.size())
            return at;
    }
    return -1;
}

bool inflateInto(const char* data, quint32 size, quint32 expected, QByteArray& out)
{
    out.resize(qsizetype(expected));
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream.avail_in = size;
    // One byte more than expected is room to notice data that inflates past its size.
    QByteArray spill(1, '\0');
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = expected;
    int status = inflate(&stream, Z_FINISH);
    if (status == Z_BUF_ERROR && stream.avail_out == 0) {
        stream.next_out = reinterpret_cast<Bytef*>(spill.data());
        stream.avail_out = 1;
        status = inflate(&stream, Z_FINISH);
    }
    const bool whole = status == Z_STREAM_END && stream.total_out == expected;
    inflateEnd(&stream);
    return whole;
}

} // namespace

std::optional<ZipArchive> ZipArchive::fromBytes(QByteArray bytes)
{
    if (bytes.size() < EndSize || bytes.size() > std::numeric_limits<quint32>::max())
        return std::nullopt;
    const qsizetype end = findEnd(bytes);
    if (end < 0 || u16(bytes, end + 4) != 0 || u16(bytes, end + 6) != 0)
        return std::nullopt;
    const quint16 count = u16(bytes, end + 10);
    const qsizetype directory = u32(bytes, end + 16);
    if (directory + qsizetype(u32(bytes, end + 12)) > end)
        return std::nullopt;

    ZipArchive archive;
    qsizetype at = directory;
    for (quint16 i = 0; i < count; ++i) {
        if (at + CentralSize > end || u32(bytes, at) != CentralSignature)
            return std::nullopt;
        const quint16 nameSize = u16(bytes, at + 28);
        const qsizetype next =
            at + CentralSize + nameSize + u16(bytes, at + 30) + u16(bytes, at + 32);
        if (next > end)
            return std::nullopt;
        Stored entry;
        entry.flags = u16(bytes, at + 8);
        entry.method = u16(bytes, at + 10);
        entry.crc = u32(bytes, at + 16);
        entry.compressedSize = u32(bytes, at + 20);
        entry.size = u32(bytes, at + 24);
        entry.localHeader = u32(bytes, at + 42);
        const QByteArray name = bytes.mid(at + CentralSize, nameSize);
        archive.m_entries.insert(
            entry.flags & Utf8Names ? QString::fromUtf8(name) : QString::fromLatin1(name), entry);
        at = next;
    }
    archive.m_bytes = std::move(bytes);
    return archive;
}

ZipArchive::Entry ZipArchive::read(const QString& name, qint64 maxBytes, QByteArray& out) const
{
    out.clear();
    const auto found = m_entries.constFind(name);
    if (found == m_entries.cend())
        return Entry::Missing;
    const Stored& entry = *found;
    // Sizes of all ones stand for 64-bit sizes kept elsewhere.
    constexpr quint32 Wide = std::numeric_limits<quint32>::max();
    if ((entry.flags & Encrypted) ||
        (entry.method != MethodStored && entry.method != MethodDeflated) || entry.size == Wide ||
        entry.compressedSize == Wide || entry.localHeader == Wide || qint64(entry.size) > maxBytes)
        return Entry::Unreadable;

    const qsizetype local = entry.localHeader;
    if (local + LocalSize > m_bytes.size() || u32(m_bytes, local) != LocalSignature)
        return Entry::Damaged;
    const qsizetype data = local + LocalSize + u16(m_bytes, local + 26) + u16(m_bytes, local + 28);
    if (data + qsizetype(entry.compressedSize) > m_bytes.size())
        return Entry::Damaged;

    const char* compressed = m_bytes.constData() + data;
    if (entry.method == MethodStored) {
        if (entry.compressedSize != entry.size)
            return Entry::Damaged;
        out = QByteArray(compressed, qsizetype(entry.size));
    } else if (!inflateInto(compressed, entry.compressedSize, entry.size, out)) {
        out.clear();
        return Entry::Damaged;
    }
    if (crc32(0, reinterpret_cast<const Bytef*>(out.constData()), uInt(out.size())) != entry.crc) {
        out.clear();
        return Entry::Damaged;
    }
    return Entry::Read;
}
