#include "core/rules/XmlDocument.h"

#include <QFile>
#include <QStringEncoder>

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

xmlDocPtr asDoc(void* p)
{
    return static_cast<xmlDocPtr>(p);
}
xmlNodePtr asNode(void* p)
{
    return static_cast<xmlNodePtr>(p);
}

QString fromXmlChars(const xmlChar* s)
{
    return s ? QString::fromUtf8(reinterpret_cast<const char*>(s)) : QString();
}

struct XmlFree {
    void operator()(xmlChar* p) const { xmlFree(p); }
};
using XmlString = std::unique_ptr<xmlChar, XmlFree>;

struct ParserContextFree {
    void operator()(xmlParserCtxtPtr p) const { xmlFreeParserCtxt(p); }
};

struct BufferFree {
    void operator()(xmlBufferPtr p) const { xmlBufferFree(p); }
};

// A document type declaration stops the parse before any entity is declared or used.
void refuseDoctype(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
{
    auto* ctxt = static_cast<xmlParserCtxtPtr>(context);
    ctxt->wellFormed = 0;
    xmlStopParser(ctxt);
    // Stopping records a stop of its own; the reason is the declaration.
    ctxt->errNo = XML_ERR_EXT_SUBSET_NOT_FINISHED;
}

// Everything the parser reports while one of these lives on a thread is kept here instead
// of going to the process's standard error with an excerpt of the document; the first
// message is the reason a document did not parse. The handlers are the thread's own, so
// parses on other threads keep theirs.
class ErrorCapture {
public:
    ErrorCapture()
        : m_structured(xmlStructuredError), m_structuredContext(xmlStructuredErrorContext),
          m_generic(xmlGenericError), m_genericContext(xmlGenericErrorContext)
    {
        xmlSetStructuredErrorFunc(this, &ErrorCapture::structured);
        xmlSetGenericErrorFunc(this, &ErrorCapture::generic);
    }
    ~ErrorCapture()
    {
        xmlSetStructuredErrorFunc(m_structuredContext, m_structured);
        xmlSetGenericErrorFunc(m_genericContext, m_generic);
    }
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;

    // The first error that ended the parse: ill-formed input, a conversion that failed or
    // a limit of the parser.
    const QString& first() const { return m_first; }

private:
    static void structured(void* self, xmlErrorPtr error)
    {
        if (error && error->message &&
            (error->level == XML_ERR_FATAL || error->code == XML_ERR_NO_MEMORY))
            static_cast<ErrorCapture*>(self)->keep(
                QStringLiteral("line %1: %2")
                    .arg(error->line)
                    .arg(QString::fromUtf8(error->message).trimmed()));
    }
    static void generic(void*, const char*, ...) {}
    void keep(const QString& message)
    {
        if (m_first.isEmpty())
            m_first = message;
    }

    xmlStructuredErrorFunc m_structured;
    void* m_structuredContext;
    xmlGenericErrorFunc m_generic;
    void* m_genericContext;
    QString m_first;
};

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

bool isBlankChar(xmlChar c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isBlank(const xmlChar* s)
{
    for (; s && *s; ++s) {
        if (!isBlankChar(*s))
            return false;
    }
    return true;
}

// Character data as the tree takes it, except whitespace alone between an element and the
// next tag: dropBlankText would take that out of the tree again, so it is not put in. Only
// whitespace that makes a text node of its own is left out: the node before it is an
// element and markup follows it.
void charactersBesideElements(void* context, const xmlChar* text, int size)
{
    const auto* ctxt = static_cast<xmlParserCtxtPtr>(context);
    const xmlNodePtr parent = ctxt->node;
    if (parent && parent->last && parent->last->type == XML_ELEMENT_NODE && ctxt->input &&
        ctxt->input->cur && *ctxt->input->cur == '<' && std::all_of(text, text + size, isBlankChar))
        return;
    xmlSAX2Characters(context, text, size);
}

xmlNodePtr firstElement(xmlNodePtr node)
{
    while (node && node->type != XML_ELEMENT_NODE)
        node = node->next;
    return node;
}

// Drops whitespace-only text that stands beside elements. Walks the elements without
// recursion, and looks at each element's children once, so neither depth nor a long
// run of siblings costs more than the tree's size.
void dropBlankText(xmlDocPtr doc)
{
    xmlNodePtr element = xmlDocGetRootElement(doc);
    while (element) {
        xmlNodePtr child = firstElement(element->children);
        if (child) {
            for (xmlNodePtr node = element->children; node;) {
                xmlNodePtr next = node->next;
                if (node->type == XML_TEXT_NODE && isBlank(node->content)) {
                    xmlUnlinkNode(node);
                    xmlFreeNode(node);
                }
                node = next;
            }
            element = child;
            continue;
        }
        xmlNodePtr next = nullptr;
        while (element && !(next = firstElement(element->next)))
            element = element->parent && element->parent->type == XML_ELEMENT_NODE ? element->parent
                                                                                   : nullptr;
        element = next;
    }
}

QString describe(xmlParserCtxtPtr ctxt, const ErrorCapture& errors)
{
    if (ctxt->errNo == XML_ERR_EXT_SUBSET_NOT_FINISHED)
        return QStringLiteral("document type declarations are not accepted");
    if (!errors.first().isEmpty())
        return errors.first();
    const xmlError* error = xmlCtxtGetLastError(ctxt);
    if (!error || !error->message)
        return QStringLiteral("the text is not well-formed XML");
    return QStringLiteral("line %1: %2")
        .arg(error->line)
        .arg(QString::fromUtf8(error->message).trimmed());
}

bool isSimplePath(const QString& path)
{
    for (QChar ch : path) {
        if (ch == QLatin1Char('/') || ch == QLatin1Char('-') || ch == QLatin1Char('_') ||
            ch == QLatin1Char('.') || ch.isLetterOrNumber())
            continue;
        return false;
    }
    // "." and ".." are steps of XPath, not element names.
    for (const QString& step : path.split(QLatin1Char('/'))) {
        if (step == QLatin1String(".") || step == QLatin1String(".."))
            return false;
    }
    return !path.contains(QLatin1String("//")) && !path.isEmpty() && path != QLatin1String("/");
}

// First node in document order that matches the remaining steps below `from`.
xmlNodePtr findFirst(xmlNodePtr from, const QList<QByteArray>& steps, qsizetype step)
{
    for (xmlNodePtr child = from->children; child; child = child->next) {
        // Steps are element names, which hold no NUL.
        if (child->type != XML_ELEMENT_NODE || child->ns != nullptr ||
            std::strcmp(steps[step].constData(), reinterpret_cast<const char*>(child->name)) != 0)
            continue;
        if (step + 1 == steps.size())
            return child;
        if (xmlNodePtr found = findFirst(child, steps, step + 1))
            return found;
    }
    return nullptr;
}

xmlNodePtr evaluateXPath(xmlNodePtr context, const QString& path)
{
    const ErrorCapture errors;
    std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> xpath(
        xmlXPathNewContext(context->doc), xmlXPathFreeContext);
    if (!xpath)
        return nullptr;
    xpath->node = context;
    std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(path.toUtf8().constData()),
                               xpath.get()),
        xmlXPathFreeObject);
    if (!result || result->type != XPATH_NODESET || xmlXPathNodeSetIsEmpty(result->nodesetval))
        return nullptr;
    return xmlXPathNodeSetItem(result->nodesetval, 0);
}

QString dumpNode(xmlNodePtr node)
{
    std::unique_ptr<xmlBuffer, BufferFree> buffer(xmlBufferCreate());
    xmlNodeDump(buffer.get(), node->doc, node, 0, 0);
    return QString::fromUtf8(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                             xmlBufferLength(buffer.get()));
}

// Text as libxml2 escapes it for UTF-8 output: markup characters and carriage returns.
void appendEscaped(std::string& out, const xmlChar* text)
{
    const char* run = reinterpret_cast<const char*>(text);
    for (const char* at = run;; ++at) {
        const char* entity = nullptr;
        switch (*at) {
        case '<':
            entity = "&lt;";
            break;
        case '>':
            entity = "&gt;";
            break;
        case '&':
            entity = "&amp;";
            break;
        case '\r':
            entity = "&#13;";
            break;
        case '\0':
            out.append(run, size_t(at - run));
            return;
        default:
            continue;
        }
        out.append(run, size_t(at - run)).append(entity);
        run = at + 1;
    }
}

// CDATA as libxml2 writes it: a "]]>" inside splits the section after its "]]".
void appendCData(std::string& out, const xmlChar* content)
{
    const char* start = reinterpret_cast<const char*>(content);
    if (!start || !*start) {
        out.append("<![CDATA[]]>");
        return;
    }
    const char* end = start;
    for (; *end; ++end) {
        if (end[0] == ']' && end[1] == ']' && end[2] == '>') {
            end += 2;
            out.append("<![CDATA[").append(start, size_t(end - start)).append("]]>");
            start = end;
        }
    }
    if (start != end)
        out.append("<![CDATA[").append(start, size_t(end - start)).append("]]>");
}

// The document exactly as xmlDocDumpFormatMemoryEnc(..., "UTF-8", 1) writes it, for a tree
// of elements without attributes or namespaces, text and CDATA under a plain declaration;
// nothing for any other tree. An element holding text is written as it stands, its
// descendants unindented; other elements put each child on a line of its own, indented
// by two spaces a level, up to thirty levels.
std::optional<QByteArray> writePlainTree(xmlDocPtr doc)
{
    const xmlNodePtr root = doc->children;
    if (doc->standalone >= 0 || (doc->version && !xmlStrEqual(doc->version, BAD_CAST "1.0")) ||
        !root || root->next || root->type != XML_ELEMENT_NODE)
        return std::nullopt;
    constexpr int MaxIndent = 30;
    std::string out;
    out.reserve(64 * 1024);
    out.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    int level = 0;
    xmlNodePtr unformatted = nullptr; // the element whose content is written as it stands
    auto indent = [&] { out.append(size_t(2 * std::min(level, MaxIndent)), ' '); };
    for (xmlNodePtr node = root;;) {
        switch (node->type) {
        case XML_ELEMENT_NODE:
            if (node->ns || node->nsDef || node->properties)
                return std::nullopt;
            if (node != root && !unformatted)
                indent();
            out.append(1, '<').append(reinterpret_cast<const char*>(node->name));
            if (!node->children) {
                out.append("/>");
                break;
            }
            if (!unformatted) {
                for (xmlNodePtr child = node->children; child; child = child->next) {
                    if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE ||
                        child->type == XML_ENTITY_REF_NODE) {
                        unformatted = node;
                        break;
                    }
                }
            }
            out.append(unformatted ? ">" : ">\n");
            ++level;
            node = node->children;
            continue;
        case XML_TEXT_NODE:
            if (node->name == xmlStringTextNoenc)
                return std::nullopt;
            if (node->content)
                appendEscaped(out, node->content);
            break;
        case XML_CDATA_SECTION_NODE:
            appendCData(out, node->content);
            break;
        default:
            return std::nullopt;
        }
        // Up past the last children, closing their parents.
        for (;;) {
            if (node == root) {
                out.push_back('\n');
                return QByteArray(out.data(), qsizetype(out.size()));
            }
            if (!unformatted)
                out.push_back('\n');
            if (node->next) {
                node = node->next;
                break;
            }
            node = node->parent;
            if (level > 0)
                --level;
            if (!unformatted)
                indent();
            out.append("</").append(reinterpret_cast<const char*>(node->name)).append(1, '>');
            if (node == unformatted)
                unformatted = nullptr;
        }
    }
}

} // namespace

bool XmlNode::isElement() const
{
    return m_node && asNode(m_node)->type == XML_ELEMENT_NODE;
}

QString XmlNode::name() const
{
    return m_node ? fromXmlChars(asNode(m_node)->name) : QString();
}

QString XmlNode::text() const
{
    if (!m_node)
        return {};
    // Most elements hold one piece of text: it is read in place.
    const xmlNodePtr node = asNode(m_node);
    const xmlNodePtr only = node->type == XML_ELEMENT_NODE ? node->children : nullptr;
    if (only && !only->next && only->content &&
        (only->type == XML_TEXT_NODE || only->type == XML_CDATA_SECTION_NODE))
        return fromXmlChars(only->content);
    XmlString content(xmlNodeGetContent(node));
    return fromXmlChars(content.get());
}

void XmlNode::setText(const QString& text)
{
    if (!m_node)
        return;
    xmlNodePtr node = asNode(m_node);
    while (xmlNodePtr child = node->children) {
        xmlUnlinkNode(child);
        xmlFreeNode(child);
    }
    if (!text.isEmpty()) {
        const QByteArray utf8 = text.toUtf8();
        xmlAddChild(node,
                    xmlNewDocTextLen(node->doc, reinterpret_cast<const xmlChar*>(utf8.constData()),
                                     int(utf8.size())));
    }
}

XmlPath::XmlPath(const QString& path) : m_text(path), m_simple(isSimplePath(path))
{
    if (!m_simple)
        return;
    m_absolute = path.startsWith(QLatin1Char('/'));
    for (const QString& step : path.mid(m_absolute ? 1 : 0).split(QLatin1Char('/')))
        m_steps.append(step.toUtf8());
}

XmlNode XmlNode::selectSingleNode(const XmlPath& path) const
{
    xmlNodePtr context = asNode(m_node);
    if (!context)
        return {};
    if (!path.m_simple)
        return XmlNode(evaluateXPath(context, path.m_text));
    xmlNodePtr from = path.m_absolute ? reinterpret_cast<xmlNodePtr>(context->doc) : context;
    return XmlNode(from ? findFirst(from, path.m_steps, 0) : nullptr);
}

QList<XmlNode> XmlNode::childNodes() const
{
    QList<XmlNode> nodes;
    if (m_node) {
        for (xmlNodePtr child = asNode(m_node)->children; child; child = child->next)
            nodes.append(XmlNode(child));
    }
    return nodes;
}

QString XmlNode::attribute(const char* name) const
{
    if (!m_node || asNode(m_node)->type != XML_ELEMENT_NODE)
        return {};
    for (xmlAttrPtr attr = asNode(m_node)->properties; attr; attr = attr->next) {
        if (!xmlStrEqual(attr->name, reinterpret_cast<const xmlChar*>(name)))
            continue;
        xmlChar* value = xmlNodeListGetString(asNode(m_node)->doc, attr->children, 1);
        const QString text = value ? fromXmlChars(value) : QString();
        xmlFree(value);
        return text.isNull() ? QStringLiteral("") : text;
    }
    return {};
}

QString XmlNode::xml() const
{
    return m_node ? dumpNode(asNode(m_node)) : QString();
}

XmlNode XmlNode::appendChild(const XmlNode& node)
{
    if (!m_node || !node.m_node)
        return {};
    xmlNodePtr parent = asNode(m_node);
    xmlNodePtr copy = xmlDocCopyNode(asNode(node.m_node), parent->doc, 1);
    if (!copy)
        return {};
    return XmlNode(xmlAddChild(parent, copy));
}

XmlNode XmlNode::appendParsed(const QString& text, QString* error)
{
    if (!m_node)
        return {};
    xmlNodePtr parent = asNode(m_node);
    const QByteArray utf8 = text.toUtf8();
    if (const QString refused = refusal(utf8, false); !refused.isEmpty()) {
        if (error)
            *error = refused;
        return {};
    }
    const ErrorCapture errors;
    xmlNodePtr list = nullptr;
    // The text is UTF-8 already: with the document's declared encoding set aside, the parser
    // reads it as it is instead of passing it through a converter.
    const xmlChar* encoding = std::exchange(parent->doc->encoding, nullptr);
    const xmlParserErrors result =
        xmlParseInNodeContext(parent, utf8.constData(), int(utf8.size()),
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING, &list);
    parent->doc->encoding = encoding;
    // One element, with nothing but blanks beside it, is what a document's root would be.
    xmlNodePtr element = nullptr;
    bool single = result == XML_ERR_OK;
    for (xmlNodePtr node = list; node && single; node = node->next) {
        if (node->type == XML_ELEMENT_NODE) {
            single = element == nullptr;
            element = node;
        } else if (node->type != XML_COMMENT_NODE && node->type != XML_PI_NODE &&
                   !(node->type == XML_TEXT_NODE && isBlank(node->content))) {
            single = false;
        }
    }
    if (!single || !element) {
        if (error)
            *error = result != XML_ERR_OK ? QStringLiteral("the text is not well-formed XML")
                                          : QStringLiteral("the text is not one element");
        xmlFreeNodeList(list);
        return {};
    }
    xmlNodePtr rest = list == element ? element->next : list;
    xmlUnlinkNode(element);
    xmlFreeNodeList(rest);
    return XmlNode(xmlAddChild(parent, element));
}

XmlNode XmlNode::appendElement(const char* name)
{
    if (!m_node)
        return {};
    xmlNodePtr parent = asNode(m_node);
    return XmlNode(
        xmlAddChild(parent, xmlNewDocNode(parent->doc, nullptr,
                                          reinterpret_cast<const xmlChar*>(name), nullptr)));
}

XmlNode XmlNode::appendTextElement(const char* name, const QString& text, bool cdata)
{
    const XmlNode element = appendElement(name);
    if (element.isNull() || (text.isEmpty() && !cdata))
        return element;
    xmlNodePtr node = asNode(element.m_node);
    // Encoded into one buffer kept for the thread: a response appends ten of these a line.
    thread_local QByteArray buffer;
    QStringEncoder encoder(QStringEncoder::Utf8);
    const qsizetype room = encoder.requiredSpace(text.size());
    if (buffer.size() < room)
        buffer.resize(room);
    const char* end = encoder.appendToBuffer(buffer.data(), text);
    const auto* content = reinterpret_cast<const xmlChar*>(buffer.constData());
    const int size = int(end - buffer.constData());
    xmlAddChild(node, cdata ? xmlNewCDataBlock(node->doc, content, size)
                            : xmlNewDocTextLen(node->doc, content, size));
    return element;
}

bool XmlNode::isPlainText(QStringView text)
{
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x20 && c < 0xD800) {
            if (c == u'<' || c == u'&' ||
                (c == u']' && i + 2 < size && text[i + 1] == u']' && text[i + 2] == u'>'))
                return false;
        } else if (c == u'\t' || c == u'\n' || (c >= 0xE000 && c <= 0xFFFD)) {
            continue;
        } else if (QChar::isHighSurrogate(c) && i + 1 < size &&
                   QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

XmlDocument::XmlDocument() = default;

namespace {
std::atomic<bool> treesLeftToExit = false;
}

void XmlDocument::leaveTreesToProcessExit()
{
    treesLeftToExit = true;
}

XmlDocument::~XmlDocument()
{
    if (m_doc && !treesLeftToExit.load(std::memory_order_relaxed))
        xmlFreeDoc(asDoc(m_doc));
}

XmlDocument::XmlDocument(XmlDocument&& other) noexcept
    : m_doc(std::exchange(other.m_doc, nullptr)), m_error(std::move(other.m_error))
{
}

XmlDocument& XmlDocument::operator=(XmlDocument&& other) noexcept
{
    if (this != &other) {
        if (m_doc)
            xmlFreeDoc(asDoc(m_doc));
        m_doc = std::exchange(other.m_doc, nullptr);
        m_error = std::move(other.m_error);
    }
    return *this;
}

XmlDocument XmlDocument::parse(const QByteArray& bytes, bool utf8)
{
    XmlDocument document;
    document.m_error = refusal(bytes, !utf8);
    if (!document.m_error.isEmpty())
        return document;
    const ErrorCapture errors;
    std::unique_ptr<xmlParserCtxt, ParserContextFree> ctxt(xmlNewParserCtxt());
    if (!ctxt) {
        document.m_error = QStringLiteral("out of memory");
        return document;
    }
    ctxt->sax->internalSubset = refuseDoctype;
    ctxt->sax->externalSubset = refuseDoctype;
    // Both, so that the parser never sets whitespace apart on its own.
    ctxt->sax->characters = charactersBesideElements;
    ctxt->sax->ignorableWhitespace = charactersBesideElements;
    // Text known to be UTF-8 is read as it is, whatever encoding it declares (and without
    // a converter, which would limit how far ahead the parser may look).
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                        (utf8 ? XML_PARSE_IGNORE_ENC : 0);
    xmlDocPtr doc = xmlCtxtReadMemory(ctxt.get(), bytes.constData(), int(bytes.size()), nullptr,
                                      nullptr, options);
    // A text node beyond the parser's limit ends the parse without making the document
    // ill-formed: what was read so far would pass for the whole.
    if (!doc || !ctxt->wellFormed || !errors.first().isEmpty() || !xmlDocGetRootElement(doc)) {
        document.m_error = describe(ctxt.get(), errors);
        if (doc)
            xmlFreeDoc(doc);
        return document;
    }
    dropBlankText(doc);
    document.m_doc = doc;
    return document;
}

std::optional<QString> XmlDocument::rootName(const QByteArray& bytes, QString& error)
{
    error = refusal(bytes, true);
    if (!error.isEmpty())
        return std::nullopt;
    const ErrorCapture errors;
    std::unique_ptr<xmlParserCtxt, ParserContextFree> ctxt(
        xmlCreateMemoryParserCtxt(bytes.constData(), int(bytes.size())));
    if (!ctxt) {
        error = QStringLiteral("out of memory");
        return std::nullopt;
    }
    // Nothing but the checks and the root's name: no tree is built.
    xmlSAXHandler handler{};
    handler.initialized = XML_SAX2_MAGIC;
    handler.internalSubset = refuseDoctype;
    handler.externalSubset = refuseDoctype;
    handler.startElementNs = [](void* context, const xmlChar* localName, const xmlChar*,
                                const xmlChar*, int, const xmlChar**, int, int, const xmlChar**) {
        auto* root = static_cast<QString*>(static_cast<xmlParserCtxtPtr>(context)->_private);
        if (root->isNull())
            *root = fromXmlChars(localName);
    };
    *ctxt->sax = handler;
    QString root;
    ctxt->_private = &root;
    xmlCtxtUseOptions(ctxt.get(), XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    xmlParseDocument(ctxt.get());
    if (!ctxt->wellFormed || !errors.first().isEmpty() || root.isNull()) {
        error = describe(ctxt.get(), errors);
        return std::nullopt;
    }
    return root;
}

XmlDocument XmlDocument::fromText(const QString& text)
{
    return parse(text.toUtf8(), true);
}

XmlDocument XmlDocument::fromBytes(const QByteArray& bytes)
{
    return parse(bytes, false);
}

XmlDocument XmlDocument::fromFile(const QString& path)
{
    QFile file(path);
    XmlDocument document;
    // A name refused for the folder it was to be read from gives no path at all.
    if (path.isEmpty())
        document.m_error = QStringLiteral("No file name specified");
    else if (!file.open(QIODevice::ReadOnly))
        document.m_error = file.errorString();
    else if (file.size() > MaxInputSize)
        document.m_error = tooLarge();
    else
        return fromBytes(file.readAll());
    return document;
}

XmlNode XmlDocument::root() const
{
    return XmlNode(m_doc ? xmlDocGetRootElement(asDoc(m_doc)) : nullptr);
}

XmlNode XmlDocument::selectSingleNode(const XmlPath& path) const
{
    return m_doc ? XmlNode(reinterpret_cast<xmlNodePtr>(asDoc(m_doc))).selectSingleNode(path)
                 : XmlNode();
}

QString XmlDocument::xml() const
{
    if (!m_doc)
        return {};
    QString text;
    for (xmlNodePtr node = asDoc(m_doc)->children; node; node = node->next)
        text += dumpNode(node);
    return text;
}

QByteArray XmlDocument::toUtf8() const
{
    if (!m_doc)
        return {};
    if (std::optional<QByteArray> plain = writePlainTree(asDoc(m_doc)))
        return *std::move(plain);
    return toUtf8ByLibrary();
}

QByteArray XmlDocument::toUtf8ByLibrary() const
{
    if (!m_doc)
        return {};
    xmlChar* memory = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(asDoc(m_doc), &memory, &size, "UTF-8", 1);
    XmlString owner(memory);
    return QByteArray(reinterpret_cast<const char*>(memory), size);
}
