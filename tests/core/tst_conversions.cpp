#include "CoreForm.h"

#include <clocale>
#include <string>

using namespace Conversions;
using namespace Qt::StringLiterals;

namespace {
const QString Ru = "ru_RU", En = "en_US";

enum Call { Format, Normalize, Document };
} // namespace

class TestConversions : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(); }

    void numberText_data()
    {
        // `after` is the caller's text afterwards, null when unchanged.
        columns<QString, int, QString, int, QString, QString>("locale", "call", "text", "decimals",
                                                              "result", "after");
        auto row = [](const char* name, QString locale, QString text, int decimals, QString result,
                      Call call = Format, QString after = {}) {
            QTest::newRow(name) << locale << int(call) << text << decimals << result << after;
        };
        row("a half rounds up", Ru, "2,0005", 3, "2,001");
        row("a negative half rounds away from zero", En, "-2.0005", 3, "-2.001");
        row("rounding carries into the integer", Ru, "9,9995", 3, "10,000");
        row("just below a half rounds down", Ru, "2,00049", 3, "2,000");
        row("a discount rounds at its third decimal", Ru, "0,995", 2, "1,00");
        row("millions are not grouped", Ru, "1234567", 3, "1234567,000");
        row("a bare fraction gets a zero", Ru, ",5", 3, "0,500");
        row("another locale's point is no number", Ru, "2.5", 3, "2.5");
        row("letters pass through", En, "n/a", 3, "n/a");
        row("a typed point becomes a comma", Ru, "3.5", 3, "3,500", Normalize, "3,5");
        row("a typed comma becomes a point", En, "12,5", 3, "12.500", Normalize, "12.5");
        row("empty is a missing value in a document", Ru, "", 3, "-1", Document, "-1");
        row("a document has a point", Ru, "7,25", 3, "7.250", Document, "7,250");
    }
    void numberText()
    {
        const auto [locale, call, text, decimals, after] =
            fetch<QString, int, QString, int, QString>("locale", "call", "text", "decimals",
                                                       "after");
        freshProcess(locale);
        QString changed = text;
        const QList<QString (*)(QString&, int)> calls{
            [](QString& t, int d) { return FormatNumberText(t, d); }, NormalizeNumber,
            FormatXmlNumber};
        QTEST(calls[call](changed, decimals), "result");
        QCOMPARE(changed, after.isNull() ? text : after);
    }

    // A value of NaN: the text is not read as a number. The value is read the same under a
    // C library locale whose decimal separator is a comma, where one is installed.
    void readsAsNumber_data()
    {
        columns<QString, QString, bool, double>("locale", "text", "number", "value");
        const double nan = qQNaN();
        QTest::newRow("the locale's comma") << Ru << "12,5" << true << nan;
        QTest::newRow("a point in a comma locale") << Ru << "12.5" << false << nan;
        QTest::newRow("the locale's point") << En << "12.5" << true << nan;
        QTest::newRow("blanks around and a sign") << Ru << "  -7 " << true << nan;
        QTest::newRow("a sign alone") << Ru << "-" << false << nan;
        QTest::newRow("two separators") << En << "1.2.3" << false << nan;
        QTest::newRow("letters after digits") << Ru << "12a" << false << nan;
        QTest::newRow("fifteen digits") << Ru << "1234567890,12345" << true << 1234567890.12345;
        QTest::newRow("more than fifteen digits")
            << Ru << "1234567890,1234567" << true << 1234567890.1234567;
        QTest::newRow("negative, more than fifteen digits")
            << En << "-98765432109876.54321" << true << -98765432109876.54321;
        QTest::newRow("an exponent of two digits") << Ru << "1,5E+12" << true << 1.5e12;
    }
    void readsAsNumber()
    {
        const auto [locale, text, number, value] =
            fetch<QString, QString, bool, double>("locale", "text", "number", "value");
        freshProcess(locale);
        QCOMPARE(Conversions::readsAsNumber(text), number);
        if (qIsNaN(value))
            return;
        QCOMPARE(Conversions::toNumber(text), value);
        const std::string before = std::setlocale(LC_NUMERIC, nullptr);
        for (const char* comma : {"ru_RU.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8"})
            if (std::setlocale(LC_NUMERIC, comma))
                break;
        QCOMPARE(Conversions::toNumber(text), value); // under the first one installed
        std::setlocale(LC_NUMERIC, before.c_str());
    }

    void compareNumbers_data()
    {
        columns<QString, QString, int>("a", "b", "sign");
        QTest::newRow("more digits is larger, not text order") << u"10"_s << "9,999" << 1;
        QTest::newRow("below the decimals rounds away") << u"1,0004"_s << "1" << 0;
        QTest::newRow("a half at the last decimal rounds up") << u"1,0005"_s << "1" << 1;
        QTest::newRow("the larger magnitude is the smaller negative") << u"-2"_s << "-1,5" << -1;
    }
    void compareNumbers()
    {
        const auto [a, b, sign] = fetch<QString, QString, int>("a", "b", "sign");
        const auto signOf = [](int v) { return (v > 0) - (v < 0); };
        QCOMPARE(signOf(Conversions::compareNumbers(a, b, 3).value()), sign);
        QCOMPARE(signOf(Conversions::compareNumbers(b, a, 3).value()), -sign);
    }

    void parseDate_data()
    {
        columns<QString, QString, QDate>("locale", "text", "date");
        QTest::newRow("the document form with a time")
            << Ru << "2009-03-05T14:05:00" << QDate(2009, 3, 5);
        QTest::newRow("one-digit month and day, a space before the time")
            << Ru << "2009-3-5 14:05" << QDate(2009, 3, 5);
        QTest::newRow("a four-digit short form") << Ru << "05.03.2009" << QDate(2009, 3, 5);
        QTest::newRow("a two-digit year is this century") << En << "12/5/26" << QDate(2026, 12, 5);
        QTest::newRow("the thirties are last century") << En << "3/5/31" << QDate(1931, 3, 5);
        QTest::newRow("the thirtieth of February is no date") << Ru << "2009-02-30" << QDate();
        QTest::newRow("a year of eleven digits is no date") << Ru << "20999999999-01-01" << QDate();
        QTest::newRow("a month of four digits is no date") << Ru << "2026-0012-05" << QDate();
        QTest::newRow("a day of four digits is no date") << Ru << "2026-12-0005" << QDate();
    }
    void parseDate()
    {
        const auto [locale, text, date] = fetch<QString, QString, QDate>("locale", "text", "date");
        freshProcess(locale);
        QCOMPARE(Conversions::parseDate(text).value_or(QDate()), date);
        if (date.isValid())
            QCOMPARE(Conversions::parseDate(shortDate(date)).value_or(QDate()), date);
    }
};

QTEST_GUILESS_MAIN(TestConversions)
#include "tst_conversions.moc"
