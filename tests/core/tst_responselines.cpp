#include "CoreTable.h"
#include "core/form/RuntimeError.h"
#include "core/rules/ResponseWriter.h"

#include <QRandomGenerator>

namespace {

using AddLine = void (*)(XmlDocument&, const ResponseLine&, const QString&);

// What a way of adding the line makes of it: the whole response serialised, or the
// description of the error that ended the build.
QByteArray outcome(AddLine add, const ResponseLine& line, const QString& status)
{
    XmlDocument document = MakeResponseSkeleton();
    try {
        add(document, line, status);
        add(document, line, status);
    } catch (const RuntimeError& e) {
        return "failed: " + e.description().toUtf8();
    }
    return document.toUtf8();
}

const ResponseLine Ordinary{"12",     "4607000000109", "S-12", "B 12",   "Молоко 3,2 % 1 л",
                            "10.000", "7.500",         "PCE",  "55.900", false};

// The fields a value goes into, by their place in the line.
using Field = QString ResponseLine::*;
const QList<Field> Fields = {
    &ResponseLine::lineNumber,    &ResponseLine::ean,         &ResponseLine::supplierItemCode,
    &ResponseLine::buyerItemCode, &ResponseLine::description, &ResponseLine::ordered,
    &ResponseLine::confirmed,     &ResponseLine::unit,        &ResponseLine::price};
enum { Number, Ean, SupplierCode, BuyerCode, Description, Ordered, Confirmed, Unit, Price };

} // namespace

// A line whose values need no parsing is built as nodes; whatever it holds, the response
// must come out as the parse of its text makes it, failures included.
class TestResponseLines : public QObject {
    Q_OBJECT

private slots:
    void nodesMatchTheParsedText_data()
    {
        columns<int, QString, bool>("field", "value", "gross");
        auto row = [](const char* name, int field, const QString& value, bool gross = false) {
            QTest::newRow(name) << field << value << gross;
        };
        const QChar high(0xD83D), low(0xDE00);
        row("an ordinary line", Number, "12");
        row("an ordinary line with the gross price", Number, "12", true);
        row("an ampersand in the product name", Description, "A & B");
        row("an entity written out in the EAN", Ean, "&amp;");
        row("an element in the line number", Number, "<b/>");
        row("a less-than sign in the price", Price, "1<2");
        row("a greater-than sign alone in the unit", Unit, "a>b");
        row("the end of a section in the buyer code", BuyerCode, "a]]>b");
        row("the end of a section in the EAN", Ean, "a]]>b");
        row("brackets closing a section's end in the supplier code", SupplierCode, "x]]");
        row("brackets without the greater-than sign", Description, "a]]b");
        row("a carriage return in the product name", Description, "a\rb");
        row("a carriage return and line feed in the EAN", Ean, "1\r\n2");
        row("a tab and a line feed in the product name", Description, "a\tb\nc");
        row("a control character in the unit", Unit, "P\x01");
        row("a NUL in the product name", Description, QString(QChar(0)));
        row("a non-character in the supplier code", SupplierCode, QString(QChar(0xFFFE)));
        row("a lone high surrogate in the product name", Description, QString(high));
        row("a lone low surrogate in the EAN", Ean, QString(low));
        row("a surrogate pair in the product name", Description, QString(high) + low);
        row("an empty product name", Description, "");
        row("an empty line number", Number, "");
        row("blanks only in the EAN", Ean, "  \t");
        row("blanks only in the product name", Description, "   ");
        row("quotes in the buyer code", BuyerCode, "\"'");
        row("a product name longer than any line built as nodes", Description,
            QString(10'000'001, 'x'));
    }
    void nodesMatchTheParsedText()
    {
        const auto [field, value, gross] = fetch<int, QString, bool>("field", "value", "gross");
        ResponseLine line = Ordinary;
        line.*Fields[field] = value;
        line.grossPrice = gross;
        QCOMPARE(outcome(AddResponseLine, line, "5"), outcome(AddResponseLineAsText, line, "5"));
    }

    // Random values of the characters that matter to XML: both ways must agree on every
    // line, and some lines of each kind must come through.
    void nodesMatchTheParsedTextOnGeneratedLines()
    {
        // Two lines in three take their pieces from the first eight alone.
        QStringList pieces{"a",  "Я", "7", ".", " ", "\t",  "\n",
                           "\r", "<", ">", "&", "]", "]]>", "\""};
        for (const char16_t c : {u'\x01', u'\xFFFF', u'\xD83D', u'\xDE00'})
            pieces.append(QString(QChar(c)));
        QRandomGenerator random(20261206);
        int built = 0, failed = 0;
        for (int n = 0; n < 3000; ++n) {
            ResponseLine line = Ordinary;
            line.grossPrice = n % 2;
            // Mostly one field changed, so that plain lines stay common.
            for (int changes = 1 + random.bounded(2); changes > 0; --changes) {
                QString value;
                for (int length = random.bounded(5); length > 0; --length)
                    value += pieces[random.bounded(n % 3 ? 8 : qsizetype(pieces.size()))];
                line.*Fields[random.bounded(Fields.size())] = value;
            }
            const QByteArray text = outcome(AddResponseLineAsText, line, "3");
            QCOMPARE(outcome(AddResponseLine, line, "3"), text);
            ++(text.startsWith("failed") ? failed : built);
        }
        QVERIFY2(built > 1000 && failed > 300, qPrintable(QString("%1 %2").arg(built).arg(failed)));
    }
};

QTEST_GUILESS_MAIN(TestResponseLines)
#include "tst_responselines.moc"
