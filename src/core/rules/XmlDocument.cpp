#include "core/rules/XmlDocument.h"

#include "core/rules/XmlLibrary_p.h"
#include "core/rules/XmlLimits.h"

#include <QFile>
#include <QStringEncoder>

#include <libxml/SAX2.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlsave.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

using namespace XmlLibrary;
using XmlLimits::refusal;
using XmlLimits::tooLarge;

namespace {

// A document type declaration stops the parse before any entity is declared or used.
void refuseDoctype(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
{
    auto* ctxt = static_cast<xmlParserCtxtPtr>(context);
    ctxt->wellFormed = 0;
    xmlStopParser(ctxt);
    // Stopping records a stop of its own; the reason is the declaration.
    ctxt->errNo = XML_ERR_EXT_SUBSET_NOT_FINISHED;
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
