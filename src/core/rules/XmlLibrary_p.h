#pragma once

// The libxml2 side of the XML documents, shared by the files that implement them: nothing
// outside rules/Xml*.cpp includes libxml2's headers.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace XmlLibrary {

inline xmlDocPtr asDoc(void* p)
{
    return static_cast<xmlDocPtr>(p);
}
inline xmlNodePtr asNode(void* p)
{
    return static_cast<xmlNodePtr>(p);
}

inline QString fromXmlChars(const xmlChar* s)
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

inline bool isBlankChar(xmlChar c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

inline bool isBlank(const xmlChar* s)
{
    for (; s && *s; ++s) {
        if (!isBlankChar(*s))
            return false;
    }
    return true;
}

// The path subset (XmlPath.cpp): element names joined by "/", from the document or from a
// node; anything else goes to libxml2's XPath.
bool isSimplePath(const QString& path);
xmlNodePtr findFirst(xmlNodePtr from, const QList<QByteArray>& steps, qsizetype step);
xmlNodePtr evaluateXPath(xmlNodePtr context, const QString& path);

// The serialisers (XmlWriter.cpp).
QString dumpNode(xmlNodePtr node);
std::optional<QByteArray> writePlainTree(xmlDocPtr doc);

} // namespace XmlLibrary
