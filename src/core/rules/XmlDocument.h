#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

#include <memory>

// The control's DOM documents: strictly parsed, never substituting entities, loading a
// DTD or touching the network; a document type declaration is refused outright.
// Whitespace-only text between elements is dropped on load.

class XmlDocument;

// A path prepared once for many selections: "/a/b" from the document, "a/b" from the
// node it is applied to. Plain child steps are walked directly; anything else is
// handed to XPath.
class XmlPath {
public:
    XmlPath(const QString& path);
    XmlPath(const char* path) : XmlPath(QString::fromUtf8(path)) {}
    const QString& text() const { return m_text; }

private:
    friend class XmlNode;
    friend class XmlDocument;
    QString m_text;
    bool m_simple = false;
    bool m_absolute = false;
    QList<QByteArray> m_steps;
};

// A node inside a document; it does not own anything and is valid while its document
// lives.
class XmlNode {
public:
    XmlNode() = default;

    bool isNull() const { return m_node == nullptr; }
    bool isElement() const;
    QString name() const;
    // The node's text: its own and all its descendants' character data, CDATA included.
    QString text() const;
    // Replaces the node's content with one text node (escaped when serialised).
    void setText(const QString& text);
    // The first node, in document order, that the path selects: "a/b" from this node,
    // "/a/b" from the document's root.
    XmlNode selectSingleNode(const XmlPath& path) const;
    QList<XmlNode> childNodes() const;
    // The value of an element's attribute of that name, whatever its namespace; null when
    // there is none.
    QString attribute(const char* name) const;
    // The node serialised as XML text, without declaration.
    QString xml() const;
    // Copies a node of another document (with its subtree) into this node's document
    // and appends the copy as the last child of this node.
    XmlNode appendChild(const XmlNode& node);
    // Parses text as one element in this node's document and appends it as the last
    // child, as parsing it into a document of its own and appending that document's root
    // would: text that is not exactly one well-formed element appends nothing and gives a
    // null node, with the reason in `error`.
    XmlNode appendParsed(const QString& text, QString* error = nullptr);
    // Appends a new element of that name as the last child, empty.
    XmlNode appendElement(const char* name);
    // Appends a new element holding `text` as it stands, as one text node or, with `cdata`,
    // one CDATA section; an empty text gives an element without children, or with `cdata`
    // an empty section, as the parse of "<a></a>" or "<a><![CDATA[]]></a>" would. The text
    // must be plain (isPlainText); it is not checked here.
    XmlNode appendTextElement(const char* name, const QString& text, bool cdata);

    // Whether a parse would keep this text exactly as it stands in element content or in
    // a CDATA section: only characters XML allows, no markup ("<", "&", "]]>") and no
    // carriage return, which a parse turns into a line feed.
    static bool isPlainText(QStringView text);

private:
    friend class XmlDocument;

    explicit XmlNode(void* node) : m_node(node) {}
    void* m_node = nullptr;
};

class XmlDocument {
public:
    // Larger input is refused before it is parsed, as a document that does not parse:
    // the parser's time grows with the square of the attributes of one element, and the
    // document's memory with its text and, a hundred bytes and more each, its elements.
    static constexpr qsizetype MaxInputSize = 64 * 1024 * 1024;
    static constexpr int MaxAttributes = 256;
    static constexpr qsizetype MaxElements = 1'000'000;

    XmlDocument();
    ~XmlDocument();
    XmlDocument(XmlDocument&&) noexcept;
    XmlDocument& operator=(XmlDocument&&) noexcept;

    // From text already decoded: any encoding the text declares is ignored.
    static XmlDocument fromText(const QString& text);
    // From bytes: the declared encoding (or a byte-order mark) is honoured, UTF-8 otherwise.
    static XmlDocument fromBytes(const QByteArray& bytes);
    static XmlDocument fromFile(const QString& path);
    // The name of the root element of bytes that would parse as fromBytes() parses them,
    // found without building the document; nothing, and the reason in `error`, when they
    // would not parse.
    static std::optional<QString> rootName(const QByteArray& bytes, QString& error);

    // From now on no document frees its tree: for a program that ends right after one
    // piece of work, where freeing a large tree node by node is time spent for nothing.
    static void leaveTreesToProcessExit();

    // A document that did not parse (or was never loaded) is empty.
    bool isEmpty() const { return m_doc == nullptr; }
    QString errorString() const { return m_error; }

    XmlNode root() const;
    // Paths are taken from the document node: "/a/b" and "a/b" both start at the root.
    XmlNode selectSingleNode(const XmlPath& path) const;
    // The document's nodes serialised without declaration; empty for an empty document.
    QString xml() const;
    // The whole document as UTF-8 with a declaration, indented for people to read. A tree
    // of elements without attributes, text and CDATA, which is what a response is, is
    // written directly; any other by libxml2, whose bytes the direct writer repeats.
    QByteArray toUtf8() const;
    // The same, always written by libxml2.
    QByteArray toUtf8ByLibrary() const;

private:
    struct Doc;
    static XmlDocument parse(const QByteArray& bytes, bool utf8);
    void* m_doc = nullptr;
    QString m_error;
};
