#include "core/rules/XmlLimits.h"

#include "core/rules/XmlDocument.h"

#include <QStringView>

#include <algorithm>
#include <array>

namespace XmlLimits {
namespace {

// The value of the first encoding="..." (or '...') in an XML declaration.
QString encodingIn(QStringView declaration)
{
    auto isSpace = [](QChar c) {
        return c == QLatin1Char(' ') || (c >= QLatin1Char('\t') && c <= QLatin1Char('\r'));
    };
    auto isQuote = [](QChar c) { return c == QLatin1Char('"') || c == QLatin1Char('\''); };
    for (qsizetype found = declaration.indexOf(QLatin1String("encoding")); found >= 0;
         found = declaration.indexOf(QLatin1String("encoding"), found + 1)) {
        qsizetype at = found + 8;
        while (at < declaration.size() && isSpace(declaration[at]))
            ++at;
        if (at >= declaration.size() || declaration[at] != QLatin1Char('='))
            continue;
        ++at;
        while (at < declaration.size() && isSpace(declaration[at]))
            ++at;
        if (at >= declaration.size() || !isQuote(declaration[at]))
            continue;
        const qsizetype value = ++at;
        while (at < declaration.size() && !isQuote(declaration[at]))
            ++at;
        if (at < declaration.size())
            return declaration.mid(value, at - value).toString();
    }
    return {};
}

// How the first bytes say the markup is encoded.
struct UnitLayout {
    int width = 1;
    bool bigEndian = false;
    bool unreadable = false; // four-byte units or EBCDIC
};

UnitLayout unitLayoutOf(const QByteArray& bytes)
{
    const auto starts = [&](std::initializer_list<uchar> prefix) {
        return bytes.size() >= qsizetype(prefix.size()) &&
               std::equal(prefix.begin(), prefix.end(),
                          reinterpret_cast<const uchar*>(bytes.constData()));
    };
    if (starts({0xFE, 0xFF}) || starts({0x00, 0x3C, 0x00, 0x3F}))
        return {2, true, false};
    if (starts({0xFF, 0xFE}) || starts({0x3C, 0x00, 0x3F, 0x00}))
        return {2, false, false};
    if (starts({0x00, 0x00}) || starts({0x3C, 0x00, 0x00}) || starts({0x4C, 0x6F, 0xA7, 0x94}))
        return {1, false, true};
    return {};
}

// Code units of a document as the parser will decode its markup: bytes, or 16-bit units
// when a byte-order mark or the first characters say UTF-16.
template <int Width> class Units {
public:
    Units(const QByteArray& bytes, bool bigEndian)
        : m_data(reinterpret_cast<const uchar*>(bytes.constData())), m_bytes(bytes.size()),
          m_bigEndian(bigEndian)
    {
    }
    qsizetype size() const { return m_bytes / Width; }
    uint operator[](qsizetype i) const
    {
        const uchar* unit = m_data + i * Width;
        if constexpr (Width == 1)
            return unit[0];
        else
            return m_bigEndian ? uint(unit[0]) << 8 | unit[1] : uint(unit[1]) << 8 | unit[0];
    }
    bool startsWith(qsizetype at, const char* text) const
    {
        for (; *text; ++text, ++at) {
            if (at >= size() || (*this)[at] != uchar(*text))
                return false;
        }
        return true;
    }
    // The position of the next `unit` from `at`, or size() when there is none. Bytes are
    // searched with memchr: most of a document lies between its markup.
    qsizetype find(qsizetype at, uchar unit) const
    {
        if constexpr (Width == 1) {
            if (at >= m_bytes)
                return m_bytes;
            const void* found = std::memchr(m_data + at, unit, size_t(m_bytes - at));
            return found ? static_cast<const uchar*>(found) - m_data : m_bytes;
        }
        while (at < size() && (*this)[at] != unit)
            ++at;
        return at;
    }
    // The position of the next unit from `at` that matters inside a tag: its end, a quote
    // or an equals sign; size() when there is none.
    qsizetype nextInTag(qsizetype at) const
    {
        const auto matters = [](uint unit) {
            return unit == '<' || unit == '>' || unit == '"' || unit == '\'' || unit == '=';
        };
        if constexpr (Width == 1) {
            static const auto table = [&] {
                std::array<bool, 256> t{};
                for (uint unit = 0; unit < 256; ++unit)
                    t[unit] = matters(unit);
                return t;
            }();
            while (at < m_bytes && !table[m_data[at]])
                ++at;
            return at;
        }
        while (at < size() && !matters((*this)[at]))
            ++at;
        return at;
    }
    // The position just after the next `text` from `at`, or size() when there is none.
    qsizetype after(qsizetype at, const char* text) const
    {
        for (at = find(at, uchar(*text)); at < size(); at = find(at + 1, uchar(*text))) {
            if (startsWith(at, text))
                return at + qsizetype(std::strlen(text));
        }
        return size();
    }
    QString declaredEncoding() const
    {
        const qsizetype start = startsWith(0, "\xEF\xBB\xBF") ? 3 : 0;
        if (!startsWith(start, "<?xml"))
            return {};
        QString declaration;
        for (qsizetype i = start; i < size() && i < start + 256 && (*this)[i] != '>'; ++i)
            declaration += QChar((*this)[i] < 0x80 ? (*this)[i] : '?');
        return encodingIn(declaration);
    }

private:
    const uchar* m_data;
    qsizetype m_bytes;
    bool m_bigEndian;
};

// Whether `name`, in any case, is the whole of `pattern`: letters and digits stand for
// themselves, [..] for one of its characters, # for a digit; ? after one of these makes
// it optional, + after # lets it repeat. Optional parts are taken whenever they match:
// no pattern here needs to give one back.
bool matchesName(QStringView name, const char* pattern)
{
    qsizetype at = 0;
    while (*pattern) {
        const char* next = pattern + 1;
        auto accepts = [&](QChar c) {
            if (*pattern == '#')
                return c.isDigit() && c.unicode() < 0x80;
            if (*pattern == '[') {
                const char* close = std::strchr(pattern, ']');
                return c.unicode() < 0x80 && std::memchr(pattern + 1, c.toUpper().toLatin1(),
                                                         size_t(close - pattern - 1));
            }
            return c.toUpper() == QLatin1Char(*pattern);
        };
        if (*pattern == '[')
            next = std::strchr(pattern, ']') + 1;
        const bool optional = *next == '?';
        const bool repeats = *next == '+';
        if (at < name.size() && accepts(name[at])) {
            ++at;
            while (repeats && at < name.size() && accepts(name[at]))
                ++at;
        } else if (!optional) {
            return false;
        }
        pattern = optional || repeats ? next + 1 : next;
    }
    return at == name.size();
}

// Encodings whose markup characters are single bytes that never occur inside another
// character, so that the attributes can be counted before the parse.
bool isCountable(const QString& encoding)
{
    static constexpr const char* countable[] = {"UTF-?8",
                                                "UTF-?16",
                                                "UTF-?16LE",
                                                "UTF-?16BE",
                                                "ASCII",
                                                "US-ASCII",
                                                "ISO[-_]?8859[-_]#+",
                                                "ISO[-_]LATIN[-_]?#",
                                                "LATIN-?#",
                                                "WINDOWS-125#",
                                                "CP-?125#",
                                                "KOI8-?[RUT]",
                                                "CP-?866",
                                                "IBM-?866",
                                                "GB2312",
                                                "GBK",
                                                "GB18030",
                                                "BIG-?5",
                                                "SHIFT[-_]JIS",
                                                "SJIS",
                                                "EUC-?JP",
                                                "EUC-?KR",
                                                "EUC-?CN"};
    return encoding.isEmpty() ||
           std::any_of(std::begin(countable), std::end(countable),
                       [&](const char* pattern) { return matchesName(encoding, pattern); });
}

} // namespace

QString tooLarge()
{
    return QStringLiteral("the document is too large (more than %1 bytes)")
        .arg(XmlDocument::MaxInputSize);
}

// Refuses, in one linear pass and before the parser sees it, input that would cost the
// parser more than its size: one element with many attributes (the parser compares each
// attribute with all before it), or so many elements that the document would take more
// memory than four times the largest input. Returns the reason, or nothing when the input may be
// parsed; input that is not well-formed is left to the parser to refuse.
template <int Width> QString refusal(const Units<Width>& units, bool declarationCounts)
{
    if (declarationCounts && !isCountable(units.declaredEncoding()))
        return QStringLiteral("the document's encoding is not accepted");
    const qsizetype size = units.size();
    qsizetype elements = 0;
    qsizetype i = 0;
    while ((i = units.find(i, '<')) < size) {
        // Most markup is tags; the rest starts "<!" or "<?".
        const uint second = i + 1 < size ? units[i + 1] : 0;
        if (second == '!' && units.startsWith(i, "<!--")) {
            i = units.after(i + 4, "-->");
        } else if (second == '!' && units.startsWith(i, "<![CDATA[")) {
            i = units.after(i + 9, "]]>");
        } else if (second == '?') {
            i = units.after(i + 2, "?>");
        } else if (second == '!') {
            return {}; // a document type: the parser stops there
        } else {
            if (i + 1 < size && second != '/' && ++elements > XmlDocument::MaxElements)
                return QStringLiteral("the document has more than %1 elements")
                    .arg(XmlDocument::MaxElements);
            // A start or end tag: every "=" outside the quoted values begins an attribute.
            int attributes = 0;
            for (i = units.nextInTag(i + 1); i < size && units[i] != '>' && units[i] != '<';
                 i = units.nextInTag(i + 1)) {
                const uint unit = units[i];
                if (unit == '"' || unit == '\'') {
                    i = units.find(i + 1, uchar(unit));
                } else if (unit == '=' && ++attributes > XmlDocument::MaxAttributes) {
                    return QStringLiteral("an element has more than %1 attributes")
                        .arg(XmlDocument::MaxAttributes);
                }
            }
        }
    }
    return {};
}

QString refusal(const QByteArray& bytes, bool declarationCounts)
{
    if (bytes.size() > XmlDocument::MaxInputSize)
        return tooLarge();
    const UnitLayout layout = unitLayoutOf(bytes);
    if (layout.unreadable)
        return QStringLiteral("the document's encoding is not accepted");
    if (layout.width == 1)
        return refusal(Units<1>(bytes, false), declarationCounts);
    return refusal(Units<2>(bytes, layout.bigEndian), declarationCounts);
}

} // namespace XmlLimits
