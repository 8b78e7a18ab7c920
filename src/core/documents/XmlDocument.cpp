#include "documents/XmlDocument.h"

#include <QFile>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>

#include <memory>
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

bool isBlank(const xmlChar* s)
{
    if (!s)
        return true;
    for (; *s; ++s) {
        if (*s != ' ' && *s != '\t' && *s != '\n' && *s != '\r')
            return false;
    }
    return true;
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

QString describe(xmlParserCtxtPtr ctxt)
{
    if (ctxt->errNo == XML_ERR_EXT_SUBSET_NOT_FINISHED)
        return QStringLiteral("document type declarations are not accepted");
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
        if (child->type != XML_ELEMENT_NODE || child->ns != nullptr ||
            steps[step] != reinterpret_cast<const char*>(child->name))
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
    XmlString content(xmlNodeGetContent(asNode(m_node)));
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

XmlDocument::XmlDocument() = default;

XmlDocument::~XmlDocument()
{
    if (m_doc)
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

XmlDocument XmlDocument::parse(const QByteArray& bytes, const char* encoding)
{
    XmlDocument document;
    std::unique_ptr<xmlParserCtxt, ParserContextFree> ctxt(xmlNewParserCtxt());
    if (!ctxt) {
        document.m_error = QStringLiteral("out of memory");
        return document;
    }
    ctxt->sax->internalSubset = refuseDoctype;
    ctxt->sax->externalSubset = refuseDoctype;
    constexpr int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    xmlDocPtr doc = xmlCtxtReadMemory(ctxt.get(), bytes.constData(), int(bytes.size()), nullptr,
                                      encoding, options);
    if (!doc || !ctxt->wellFormed || !xmlDocGetRootElement(doc)) {
        document.m_error = describe(ctxt.get());
        if (doc)
            xmlFreeDoc(doc);
        return document;
    }
    dropBlankText(doc);
    document.m_doc = doc;
    return document;
}

XmlDocument XmlDocument::fromText(const QString& text)
{
    return parse(text.toUtf8(), "UTF-8");
}

XmlDocument XmlDocument::fromBytes(const QByteArray& bytes)
{
    return parse(bytes, nullptr);
}

XmlDocument XmlDocument::fromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        XmlDocument document;
        document.m_error = file.errorString();
        return document;
    }
    return fromBytes(file.readAll());
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
    xmlChar* memory = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(asDoc(m_doc), &memory, &size, "UTF-8", 1);
    XmlString owner(memory);
    return QByteArray(reinterpret_cast<const char*>(memory), size);
}
