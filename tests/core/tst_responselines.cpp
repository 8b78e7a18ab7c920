#include "CoreTable.h"
#include "core/form/RuntimeError.h"
#include "core/rules/ResponseWriter.h"

#include <QRandomGenerator>
#include <QTest>

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

ResponseLine ordinaryLine()
{
    ResponseLine line;
    line.lineNumber = "12";
    line.ean = "4607000000109";
    line.supplierItemCode = "S-12";
    line.buyerItemCode = "B 12";
    line.description = "Молоко 3,2 % 1 л";
    line.ordered = "10.000";
    line.confirmed = "7.500";
    line.unit = "PCE";
    line.price = "55.900";
    return line;
}

using Field = QString ResponseLine::*;
const QList<Field> Fields = {
    &ResponseLine::lineNumber,    &ResponseLine::ean,         &ResponseLine::supplierItemCode,
    &ResponseLine::buyerItemCode, &ResponseLine::description, &ResponseLine::ordered,
    &ResponseLine::confirmed,     &ResponseLine::unit,        &ResponseLine::price};
const Field Number = &ResponseLine::lineNumber, Ean = &ResponseLine::ean,
            SupplierCode = &ResponseLine::supplierItemCode,
            BuyerCode = &ResponseLine::buyerItemCode, Description = &ResponseLine::description,
            Unit = &ResponseLine::unit, Price = &ResponseLine::price;

} // namespace

// A line whose values need no parsing is built as nodes; whatever it holds, the response
// must come out as the parse of its text makes it, failures included.
class TestResponseLines : public QObject {
    Q_OBJECT

private slots:
    void nodesMatchTheParsedText_data()
    {
        columns<Field, QString, bool>("index", "value", "gross");
        const QChar high(0xD83D), low(0xDE00);
        QTest::newRow("an ordinary line") << Number << "12" << false;
        QTest::newRow("an ordinary line with the gross price") << Number << "12" << true;
        QTest::newRow("an ampersand in the product name") << Description << "A & B" << false;
        QTest::newRow("an entity written out in the EAN") << Ean << "&amp;" << false;
        QTest::newRow("an element in the line number") << Number << "<b/>" << false;
        QTest::newRow("a less-than sign in the price") << Price << "1<2" << false;
        QTest::newRow("a greater-than sign alone in the unit") << Unit << "a>b" << false;
        QTest::newRow("the end of a section in the buyer code") << BuyerCode << "a]]>b" << false;
        QTest::newRow("the end of a section in the EAN") << Ean << "a]]>b" << false;
        QTest::newRow("brackets closing a section's end in the supplier code")
            << SupplierCode << "x]]" << false;
        QTest::newRow("brackets without the greater-than sign") << Description << "a]]b" << false;
        QTest::newRow("a carriage return in the product name") << Description << "a\rb" << false;
        QTest::newRow("a carriage return and line feed in the EAN") << Ean << "1\r\n2" << false;
        QTest::newRow("a tab and a line feed in the product name")
            << Description << "a\tb\nc" << false;
        QTest::newRow("a control character in the unit") << Unit << "P\x01" << false;
        QTest::newRow("a NUL in the product name") << Description << QString(QChar(0)) << false;
        QTest::newRow("a non-character in the supplier code")
            << SupplierCode << QString(QChar(0xFFFE)) << false;
        QTest::newRow("a lone high surrogate in the product name")
            << Description << QString(high) << false;
        QTest::newRow("a lone low surrogate in the EAN") << Ean << QString(low) << false;
        QTest::newRow("a surrogate pair in the product name")
            << Description << QString(high) + low << false;
        QTest::newRow("an empty product name") << Description << "" << false;
        QTest::newRow("an empty line number") << Number << "" << false;
        QTest::newRow("blanks only in the EAN") << Ean << "  \t" << false;
        QTest::newRow("blanks only in the product name") << Description << "   " << false;
        QTest::newRow("quotes in the buyer code") << BuyerCode << "\"'" << false;
        QTest::newRow("a product name longer than any line built as nodes")
            << Description << QString(10'000'001, 'x') << false;
    }
    void nodesMatchTheParsedText()
    {
        const auto [index, value, gross] = fetch<Field, QString, bool>("index", "value", "gross");
        ResponseLine line = ordinaryLine();
        line.*index = value;
        line.grossPrice = gross;

        QCOMPARE(outcome(AddResponseLine, line, "5"), outcome(AddResponseLineAsText, line, "5"));
    }

    // Random values of the characters that matter to XML: both ways must agree on every
    // line, and some lines of each kind must come through.
    void nodesMatchTheParsedTextOnGeneratedLines()
    {
        // Two lines in three take their pieces from the first eight alone.
        QStringList pieces;
        for (const char* piece :
             {"a", "Я", "7", ".", " ", "\t", "\n", "\r", "<", ">", "&", "]", "]]>", "\""})
            pieces.append(QString::fromUtf8(piece));
        for (const char16_t c : {u'\x01', u'\xFFFF', u'\xD83D', u'\xDE00'})
            pieces.append(QString(QChar(c)));
        QRandomGenerator random(20261206);
        int built = 0, failed = 0;
        for (int n = 0; n < 3000; ++n) {
            ResponseLine line = ordinaryLine();
            line.grossPrice = n % 2;
            // Mostly one field changed, so that plain lines stay common.
            for (int changes = 1 + random.bounded(2); changes > 0; --changes) {
                QString value;
                for (int length = random.bounded(5); length > 0; --length)
                    value += pieces[random.bounded(n % 3 ? 8 : qsizetype(pieces.size()))];
                line.*Fields[random.bounded(Fields.size())] = value;
            }
            const QByteArray nodes = outcome(AddResponseLine, line, "3");
            const QByteArray text = outcome(AddResponseLineAsText, line, "3");
            if (nodes != text)
                QFAIL(qPrintable(QStringLiteral("line %1 differs:\n%2\n%3")
                                     .arg(n)
                                     .arg(QString::fromUtf8(nodes), QString::fromUtf8(text))));
            ++(text.startsWith("failed") ? failed : built);
        }
        QVERIFY2(built > 1000 && failed > 300, qPrintable(QString("%1 %2").arg(built).arg(failed)));
    }
};

QTEST_GUILESS_MAIN(TestResponseLines)
#include "tst_responselines.moc"
