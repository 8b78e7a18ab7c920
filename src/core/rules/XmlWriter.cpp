#include "core/rules/XmlLibrary_p.h"

#include <libxml/parserInternals.h>

#include <string>

namespace XmlLibrary {

QString dumpNode(xmlNodePtr node)
{
    std::unique_ptr<xmlBuffer, BufferFree> buffer(xmlBufferCreate());
    xmlNodeDump(buffer.get(), node->doc, node, 0, 0);
    return QString::fromUtf8(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                             xmlBufferLength(buffer.get()));
}

namespace {

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

} // namespace

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

} // namespace XmlLibrary
