#include "CoreForm.h"

#include "core/actions/LoadResponse.h"
#include "core/rules/Cp1251.h"
#include "core/rules/DebugLog.h"
#include "core/rules/SafeNames.h"
#include "core/rules/XmlDocument.h"
#include "core/session/InfoFiles.h"

#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryFile>
#include <QUrl>

#include <cstdio>
#include <malloc.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Utf8Declaration = R"(<?xml version="1.0" encoding="UTF-8"?>)";
const QByteArray Cp1251Declaration = R"(<?xml version="1.0" encoding="windows-1251"?>)";
const QString Secret = u"wexa-secret-4711"_s;
const QString BadFormat = u"Неправильный формат файла XML."_s;

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    return ::writeFile(dir.filePath(name), bytes) ? dir.filePath(name) : QString();
}

// A response from seller 4607000000024 to buyer 4607000000017, all of it in windows-1251.
const QString Response = uR"(<Document-OrderResponse><OrderResponse-Header>
<OrderResponseNumber>ПЗ-1</OrderResponseNumber><OrderNumber>ZK/1187</OrderNumber>
<OrderDate>2026-12-03</OrderDate></OrderResponse-Header><OrderResponse-Parties>
<Buyer><ILN>4607000000017</ILN></Buyer><Seller><ILN>4607000000024</ILN></Seller>
</OrderResponse-Parties><OrderResponse-Lines><Line><Line-Item><LineNumber>1</LineNumber>
<ItemDescription>Творог 9% весовой</ItemDescription><UnitOfMeasure>KGM</UnitOfMeasure>
</Line-Item></Line></OrderResponse-Lines></Document-OrderResponse>)"_s;

QByteArray withAttributes(int count)
{
    QByteArray element = "<Document-OrderResponse";
    for (int i = 0; i < count; ++i)
        element += " a" + QByteArray::number(i) + "=\"\"";
    return element + "/>";
}

QByteArray withChildren(qsizetype count)
{
    return "<Document-OrderResponse>" + QByteArray("<a/>").repeated(count) +
           "</Document-OrderResponse>";
}

// A document of exactly `size` bytes, in text nodes below the parser's limit for one.
QByteArray ofSize(qsizetype size)
{
    const QByteArray open = "<Document-OrderResponse>", close = "</Document-OrderResponse>";
    QByteArray bytes = open;
    bytes.reserve(size);
    for (qsizetype left = size - open.size() - close.size(); left > 0;) {
        const qsizetype text = std::min<qsizetype>(left - 7, 1 << 20);
        bytes += "<t>" + QByteArray(text, 'w') + "</t>";
        left -= text + 7;
    }
    return bytes + close;
}

// Everything the process writes to its standard error while `work` runs.
template <typename Work> QByteArray standardErrorOf(Work work)
{
    QTemporaryFile capture;
    if (!capture.open())
        return "cannot capture";
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(capture.handle(), STDERR_FILENO);
    work();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    capture.seek(0);
    return capture.readAll();
}

// A tree of `depth` levels or less of elements, text and CDATA, built through the nodes.
void growTree(XmlNode parent, QRandomGenerator& random, int depth)
{
    static const QStringList texts = {u""_s,        u"7"_s,        u"a & b < c > d"_s,
                                      u"x]]>y]]"_s, u"line\r\n"_s, u"Творог «Домик»"_s,
                                      u"  "_s,      u"]]]>>"_s};
    const int children = int(random.bounded(5));
    for (int i = 0; i < children; ++i) {
        const QString text = texts[random.bounded(texts.size())];
        const quint32 kind = random.bounded(depth > 0 ? 5 : 3);
        if (kind < 2) // plain text, or CDATA
            parent.appendTextElement(kind ? "Data" : "Plain",
                                     XmlNode::isPlainText(text) ? text
                                     : kind                     ? u"d"_s
                                                                : u"p"_s,
                                     kind == 1);
        else if (kind == 2)
            parent.appendElement("Set").setText(text);
        else
            growTree(parent.appendElement("Line-Item"), random, depth - 1);
    }
}

} // namespace

class TestXmlDocument : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_secretUrl = QUrl::fromLocalFile(writeFile(m_dir, u"secret.txt"_s, Secret.toUtf8()));
    }
    void init() { freshProcess(); }

    void aSingleByteFileWithoutADeclarationLoadsOnTheRetry()
    {
        QTemporaryDir dir;
        OrderForm f;
        testProcess().user.iln = u"4607000000024"_s;
        f.form.setPartnerIln(u"4607000000017"_s);
        QCOMPARE(loadResponseFile(f.form, writeFile(dir, u"Подтверждение_заказа_ПЗ-1.xml"_s,
                                                    Cp1251::encode(Response))),
                 LoadOutcome::Loaded);
        QCOMPARE(f.messages.texts() << f.form.field(Confirmation::Field::txtNrPotw)
                                    << f.form.lines().text(1, ColName),
                 (QStringList{"ПЗ-1", "Творог 9% весовой"}));
    }

    void writesGeneratedTreesAsTheLibraryDoes()
    {
        QRandomGenerator random(20261206);
        for (int n = 0; n < 300; ++n) {
            XmlDocument document = XmlDocument::fromBytes("<Document-OrderResponse/>");
            growTree(document.root(), random, 1 + n % 36);
            QCOMPARE(document.toUtf8(), document.toUtf8ByLibrary());
        }
    }

    // A fragment of one element is appended, blanks, comments and instructions beside it not.
    void aFragmentIsAppendedAsOneElement_data()
    {
        columns<QString, QString>("fragment", "after"); // the parent afterwards, or the error
        QTest::newRow("one element") << u"<a x=\"1\">t</a>"_s << u"<r><b/><a x=\"1\">t</a></r>"_s;
        QTest::newRow("blanks around it") << u" \n<a/>\t "_s << u"<r><b/><a/></r>"_s;
        QTest::newRow("a comment before it") << u"<!--c--><a/>"_s << u"<r><b/><a/></r>"_s;
        QTest::newRow("an instruction after it") << u"<a/> <?p q?>"_s << u"<r><b/><a/></r>"_s;
        QTest::newRow("two elements") << u"<a/><c/>"_s << u"not one element"_s;
        QTest::newRow("text beside it") << u"t<a/>"_s << u"not one element"_s;
        QTest::newRow("no element at all") << u"<!--c-->"_s << u"not one element"_s;
        QTest::newRow("an element left open") << u"<a>"_s << u"not well-formed"_s;
        QTest::newRow("an element past the limits")
            << QString::fromUtf8(withAttributes(XmlDocument::MaxAttributes + 1)) << u"attributes"_s;
    }
    void aFragmentIsAppendedAsOneElement()
    {
        const auto [fragment, after] = fetch<QString, QString>("fragment", "after");
        XmlDocument document = XmlDocument::fromText(u"<r><b/></r>"_s);
        QString error;
        const XmlNode appended = document.root().appendParsed(fragment, &error);
        const bool appends = after.startsWith(u'<');
        QCOMPARE(appended.isNull(), !appends);
        QCOMPARE(appended.name(), appends ? u"a"_s : QString());
        QCOMPARE(document.root().xml(), appends ? after : u"<r><b/></r>"_s);
        QVERIFY2(appends || error.contains(after), qPrintable(error));
        // Without a place for the reason, the same outcome.
        XmlDocument again = XmlDocument::fromText(u"<r><b/></r>"_s);
        QCOMPARE(again.root().appendParsed(fragment).isNull(), appended.isNull());
    }

    // What a refused fragment was parsed into is freed: refusing it again holds no more memory.
    void aRefusedFragmentHoldsNoMemory()
    {
        XmlDocument document = XmlDocument::fromText(u"<r/>"_s);
        const QString twoElements = u"<a>"_s + QString(50000, u'x') + u"</a><b/>"_s;
        const auto heap = [] {
            const struct mallinfo2 now = mallinfo2();
            return now.uordblks + now.hblkhd;
        };
        QVERIFY(document.root().appendParsed(twoElements).isNull());
        const std::size_t before = heap();
        for (int n = 0; n < 200; ++n)
            document.root().appendParsed(twoElements);
        const std::size_t after = heap();
        QCOMPARE_LT(after, before + 1024 * 1024);
    }

    // A missing node answers empty; a text set replaces content; private use is plain text.
    void nodesAnswerAsTheyAre()
    {
        XmlNode none;
        QVERIFY(!none.isElement());
        none.setText(u"x"_s);
        QCOMPARE(none.text(), QString());
        const XmlDocument document = XmlDocument::fromText(u"<r><b>old<!--c--></b></r>"_s);
        XmlNode b = document.root().childNodes().first();
        b.setText(u"new"_s);
        QCOMPARE(document.root().xml(), u"<r><b>new</b></r>"_s);
        b.setText(QString());
        QCOMPARE(document.root().xml(), u"<r><b/></r>"_s);
        QVERIFY(XmlNode::isPlainText(u"\uE000\uFFFD"));
        QVERIFY(!XmlNode::isPlainText(u"\uFFFE"));
    }

    // Every reader takes the same input or refuses it for the same reason: text is read in
    // its encoding, whitespace alone beside elements goes on load, other text stays whole, and
    // what is read is written as the library writes it. Input the parser would spend minutes or
    // gigabytes on is refused before it is parsed; input at the limits is read as usual. Nothing
    // of refused input comes out: what the parser has to say stays with the document, not on
    // standard error, and a trace names the parser's reason.
    void everyReaderTakesOrRefusesInput_data()
    {
        // An empty reason: the document is read; `tree`: the root as read, null: not compared.
        // For refused input, `tree` is what the upload check answers when it disagrees: the root
        // it finds, or empty for a refusal of its own.
        columns<QByteArray, QString, QString>("bytes", "reason", "tree");
        const auto read = [](const char* name, const QByteArray& bytes, const QString& tree = {}) {
            QTest::newRow(name) << bytes << QString() << tree;
        };
        const auto row = [](const char* name, const QByteArray& bytes, const QString& reason = {}) {
            QTest::newRow(name) << bytes << reason << QString();
        };
        const QString word = u"<r>Подтверждение</r>"_s;
        read("UTF-8 without a declaration", word.toUtf8(), word);
        read("windows-1251 with its declaration", Cp1251Declaration + Cp1251::encode(word), word);
        read("indentation", "<a>\n  <b>x</b>\r\n  <c/>\n</a>", "<a><b>x</b><c/></a>");
        read("an element of whitespace alone keeps it", "<a>  </a>", "<a>  </a>");
        read("text around an element stays, whitespace after it goes", "<a> x <b/> </a>",
             "<a> x <b/></a>");
        read("around a comment and CDATA", "<a><b/> <!--c--> <![CDATA[ ]]> <c/></a>",
             "<a><b/><!--c--><![CDATA[ ]]><c/></a>");
        read("whitespace that a reference continues", "<a><b/>  &#120;</a>", "<a><b/>  x</a>");
        read("whitespace written as a reference", "<a><b/>&#32;<c/></a>", "<a><b/><c/></a>");
        read("whitespace before the first element", "<a>\n <b/></a>", "<a><b/></a>");
        read("a response", Response.toUtf8());
        read("empty elements, escapes, a carriage return as a reference",
             "<a><b/><c>x &amp; &lt;y&gt; &#13;z</c><d><![CDATA[]]></d></a>");
        read("text beside elements: the element is written as it stands",
             "<a><b>t<c><d/></c>u</b><e><f/></e></a>");
        read("CDATA holding the end of CDATA", "<a><![CDATA[x]]]]><![CDATA[>y]]></a>");
        read("deeper than the indentation goes",
             QByteArray("<a>").repeated(40) + "<b/>" + QByteArray("</a>").repeated(40));
        read("attributes", R"(<a x="1"><b/></a>)");
        read("a namespace", R"(<a xmlns="urn:x"><b/></a>)");
        read("a comment beside the root", "<!-- c --><a><b/></a>");
        read("a comment inside", "<a><!-- c --><b/></a>");
        read("a processing instruction", "<a><?p q?><b/></a>");
        read("a standalone declaration", R"(<?xml version="1.0" standalone="yes"?><a><b/></a>)");
        read("a declaration that is not standalone",
             R"(<?xml version="1.0" standalone="no"?><a><b/></a>)");
        read("version 1.1", R"(<?xml version="1.1"?><a><b/></a>)");
        read("no declaration, text at the root", "<a>only text</a>");
        const QByteArray over = withAttributes(XmlDocument::MaxAttributes + 1);
        row("100000 attributes on one element", withAttributes(100000), u"attributes"_s);
        row("one attribute more than the limit", over, u"attributes"_s);
        row("attributes up to the limit are read", withAttributes(XmlDocument::MaxAttributes));
        // Only encodings whose markup is plain single bytes are counted and parsed, however the
        // declaration writes them: UTF-7 could hide attributes from the count.
        const auto declared = [](const char* encoding) {
            return "<?xml version=\"1.0\" " + QByteArray(encoding) + "?><r a=\"1\"/>";
        };
        for (const char* taken :
             {R"(encoding="windows-1251")", R"(encoding = 'KOI8-r')", R"(encoding="ISO_8859-5")",
              R"(encoding="iso-8859-15")", R"(encoding="Shift_JIS")", R"(encoding="cp866")",
              R"(encoding="US-ASCII")", R"(encoding="GB18030")", R"(encoding="euc-kr")",
              R"(encoding="latin1")", R"(encoding="UTF8")"})
            QTest::addRow("%s is taken", taken) << declared(taken) << QString() << QString();
        for (const char* refused :
             {R"(encoding="UTF-7")", R"(encoding="ISO-8859-")", R"(encoding="latin12")",
              R"(encoding="EBCDIC-US")", R"(encoding="UTF-8X")", R"(encoding='CP-1251x')",
              R"(encoding="koi8-z")", R"(encoding="windows-125")"})
            QTest::addRow("%s is refused", refused)
                << declared(refused) << u"encoding is not accepted"_s << QString();
        // What the count skips does not end it.
        for (const QByteArray& skipped : {"<!--<x>-->"_ba, "<![CDATA[<x>]]>"_ba, "<?p <x>?>"_ba})
            QTest::addRow("attributes beyond the limit after %s", skipped.constData())
                << "<Document-OrderResponse>" + skipped + "<a" + over.mid(23) +
                       "</Document-OrderResponse>"
                << u"attributes"_s << QString();
        // In UTF-16 the count reads units: a character whose bytes are a quote and an equals
        // sign is neither, though 600 of them would be 300 attributes to a count of bytes.
        for (const bool big : {false, true}) {
            QStringEncoder encode(big ? QStringConverter::Utf16BE : QStringConverter::Utf16LE,
                                  QStringConverter::Flag::WriteBom);
            const char* order = big ? "big-endian" : "little-endian";
            QTest::addRow("UTF-16 %s counts attributes as well", order)
                << QByteArray(encode(QString::fromUtf8(over))) << u"attributes"_s << QString();
            QTest::addRow("UTF-16 %s with quote-like units and equals signs in a value", order)
                << QByteArray(encode(
                       u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><Document-OrderResponse a=\""_s +
                       QString(600, QChar(big ? 0x223D : 0x3D22)) + QString(300, u'=') + u"\"/>"_s))
                << QString() << QString();
        }
        row("an equals sign inside a value is not an attribute",
            "<Document-OrderResponse a=\"" + QByteArray(300, '=') + "\"/>");
        row("one element more than the limit", withChildren(XmlDocument::MaxElements),
            u"elements"_s);
        row("elements up to the limit are read", withChildren(XmlDocument::MaxElements - 1));
        row("a document one byte above the size limit", ofSize(XmlDocument::MaxInputSize + 1),
            u"too large"_s);
        row("a document at the size limit is read", ofSize(XmlDocument::MaxInputSize));
        // Hostile or broken input: `system` names a file whose text must never be shown.
        const QByteArray system = "SYSTEM \"" + m_secretUrl.toEncoded() + "\"";
        const QByteArray doctype = Utf8Declaration + "<!DOCTYPE Document-OrderResponse ";
        const QByteArray root = "<Document-OrderResponse>", end = "</Document-OrderResponse>";
        const QByteArray open = Utf8Declaration + root;
        QByteArray laughs = doctype + R"([<!ENTITY l0 "lol">)";
        for (int i = 1; i <= 9; ++i)
            laughs += "<!ENTITY l" + QByteArray::number(i) + " \"" +
                      ("&l" + QByteArray::number(i - 1) + ";").repeated(10) + "\">";
        const QString noDoctype = u"document type declarations are not accepted"_s;
        row("an external entity naming a local file",
            doctype + "[<!ENTITY x " + system + ">]>" + root + "&x;" + end, noDoctype);
        row("an external parameter entity",
            doctype + "[<!ENTITY % p " + system + "> %p;]>" + root + end, noDoctype);
        row("an external document type", doctype + system + ">" + root + end, noDoctype);
        row("a billion laughs", laughs + "]>" + root + "&l9;" + end, noDoctype);
        row("elements nested 100000 deep",
            Utf8Declaration + QByteArray("<a>").repeated(100000) +
                QByteArray("</a>").repeated(100000),
            u"Excessive depth"_s);
        row("a reference to a control character", open + "&#1;" + end, u"invalid xmlChar"_s);
        row("a raw control character", open + "\x01" + end, u"invalid Char"_s);
        row("bytes that are not UTF-8 in the root", open + "\xC3\x28\xFF" + end, u"UTF-8"_s);
        QTest::newRow("an empty file") << QByteArray() << u"Document is empty"_s << u""_s;
        QTest::newRow("a text node above the parser's limit")
            << "<r>" + QByteArray(5'000'000, 'w') + "&amp;" + QByteArray(6'000'000, 'w') + "</r>"
            << u"huge text node"_s << u"r"_s;
        row("bytes the declared encoding cannot convert",
            R"(<?xml version="1.0" encoding="EUC-JP"?><r>)" + QByteArray("\xFF\xFE\xFF") +
                "wwww</r>",
            u"conversion failed"_s);
        row("bytes that are not UTF-8", Utf8Declaration + "<r>\xC3\x28wwww</r>", u"UTF-8"_s);
        // A file that does not parse is read again as windows-1251, unless it declares UTF-8.
        row("windows-1251 behind a UTF-8 declaration", Utf8Declaration + Cp1251::encode(Response),
            u"UTF-8"_s);
        // Decoded, the two bytes are a NUL, refused as well.
        row("two zero bytes and nothing more: a four-byte encoding's start", QByteArray("\0\0", 2),
            u"document's encoding is not accepted"_s);
    }
    void everyReaderTakesOrRefusesInput()
    {
        const auto [bytes, reason, tree] =
            fetch<QByteArray, QString, QString>("bytes", "reason", "tree");
        QTemporaryDir dir;
        const QString path = writeFile(dir, u"response.xml"_s, bytes);
        if (!reason.isEmpty())
            DebugLog::StartLog(testProcess(), dir.filePath(u"trace.log"_s), 5);
        XmlDocument document;
        OrderForm f;
        LoadOutcome outcome;
        const QByteArray said = standardErrorOf([&, &bytes = bytes] {
            document = XmlDocument::fromBytes(bytes);
            outcome = loadResponseFile(f.form, path);
        });
        testProcess().trace = {};
        const QString error = document.errorString();
        QVERIFY2(document.isEmpty() == !reason.isEmpty() && error.contains(reason),
                 qPrintable(error));
        if (!tree.isNull() && reason.isEmpty())
            QCOMPARE(document.root().xml(), tree);
        if (reason.isEmpty())
            QCOMPARE(document.toUtf8(), document.toUtf8ByLibrary());
        // The platform's check of an upload agrees with the parse, without building the tree.
        QString refused;
        const std::optional<QString> root = XmlDocument::rootName(bytes, refused);
        if (reason.isEmpty() || tree.isNull()) {
            QCOMPARE(root.has_value(), reason.isEmpty());
            QCOMPARE(root.value_or(refused.contains(reason) ? QString() : refused),
                     reason.isEmpty() ? document.root().name() : QString());
        } else
            QCOMPARE(root.value_or(refused.isEmpty() ? u"no reason"_s : QString()), tree);
        // Text already decoded has no encoding of its own to refuse, nor bytes that break it.
        QStringDecoder decode(
            QStringConverter::encodingForData(bytes, u'<').value_or(QStringConverter::Utf8));
        const XmlDocument text = XmlDocument::fromText(decode(bytes));
        const bool inTheBytes = reason.startsWith(u"encoding"_s) || reason.contains(u"UTF-8"_s) ||
                                reason.contains(u"conversion"_s);
        QVERIFY2(text.isEmpty() == !(reason.isEmpty() || inTheBytes),
                 qPrintable(text.errorString()));
        if (reason.isEmpty()) {
            QCOMPARE_NE(f.messages.texts().value(0), BadFormat);
            return;
        }
        QCOMPARE(said, QByteArray());
        QVERIFY(Cp1251::decode(readFile(dir.filePath(u"trace.log"_s)))
                    .contains(SafeNames::oneLine(error)));
        QCOMPARE(outcome, LoadOutcome::Refused);
        QCOMPARE(f.messages.lines(), QStringList{u"WEXA (exclamation): "_s + BadFormat});
        QCOMPARE(f.form.field(Confirmation::Field::txtNrPotw) + f.form.lines().text(1, ColName),
                 QString());
        // Every text the control shows: the messages, its fields and its cells.
        QStringList shown = f.messages.texts() + f.messages.titles() + QStringList{error, refused};
        for (int field = 0; field < int(Confirmation::Field::Count); ++field)
            shown.append(f.form.field(Confirmation::Field(field)));
        for (const Grid* grid : {&f.form.lines(), &f.form.summary()})
            for (int16_t i = 0; i < grid->rows() * grid->columns(); ++i)
                shown.append(grid->textAt(i));
        QVERIFY(!shown.join(u'\n').contains(Secret) && !shown.join(u'\n').contains(u"root:"_s));
        UserInfo user;
        QCOMPARE(InfoFiles::readUserInfo(testProcess(), path, user), InfoFiles::Read::NotLoaded);
    }

private:
    QTemporaryDir m_dir;
    QUrl m_secretUrl;
};

QTEST_GUILESS_MAIN(TestXmlDocument)
#include "tst_xmldocument.moc"
