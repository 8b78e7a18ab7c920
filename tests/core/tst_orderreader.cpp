#include "RecordingMessages.h"
#include "TestSupport.h"
#include "documents_helpers.h"

#include "control/Columns.h"
#include "control/Confirmation.h"
#include "documents/OrderReader.h"
#include "documents/XmlDocument.h"

#include <QTest>

using namespace DocumentTexts;
using Field = Confirmation::Field;

namespace {
const QString ReaderError = QStringLiteral("Произошла ошибка в Wczytaj_Zamowienie()");

// A control of the standard buyer, started with the given order text.
struct Started {
    explicit Started(const QString& text, const QString& partner = BuyerIln)
    {
        useParties(form, partner);
        read = readOrder(form, text);
    }
    QStringList row(int16_t r) const
    {
        QStringList cells;
        for (int16_t c = 0; c < LineColumnCount; ++c)
            cells.append(form.lines().text(r, c));
        return cells;
    }
    RecordingMessages messages;
    Confirmation form{messages};
    bool read = false;
};
} // namespace

class TestOrderReader : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(); }

    void orderIsCopiedIntoTheForm()
    {
        Elements item = with(orderItem(1), "OrderedQuantity", "5");
        item = with(with(item, "ItemType", "EUR"), "UnitOfMeasure", " KGM ");
        item = with(with(item, "OrderedUnitPacksize", "12"), "Discount", "2.5");
        Started s(order({line(with(item, "ExpectedDeliveryTime", "14:00"))}));
        QVERIFY(s.read);
        QVERIFY(s.messages.shown.isEmpty());
        QCOMPARE(s.form.lineCount(), 1);
        QCOMPARE(s.form.field(Field::txtNrPotw), "Пз_ZK-1");
        QCOMPARE(s.form.field(Field::lblDataZamWart), "2026-12-03");
        QCOMPARE(s.form.field(Field::lblILNMiejscaDostWart), DeliveryIln);
        QCOMPARE(s.form.remembered.deliveryPointIln, DeliveryIln);
        QCOMPARE(s.form.field(Field::txtUwagi), "Звонить за час");
        QCOMPARE(s.row(1), QStringList({"1", "4601234560001", "Товар 1", "5,000", "5,000", "12,500",
                                        "B-1", "S-1", "EUR", " KGM ", "12,000", "", "", "", "",
                                        "2,50", "2026-12-05", "14:00", ""}));
    }

    void missingHeaderElements_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("shown");
        auto row = [](const char* name, QString path, Field field, QString shown) {
            QTest::newRow(name) << path << int(field) << shown;
        };
        row("an order without a number shows -1", "Order-Header/OrderNumber", Field::lblNrZamWart,
            "-1");
        row("an order without a number is confirmed as Пз_-1", "Order-Header/OrderNumber",
            Field::txtNrPotw, "Пз_-1");
        row("an order without a date shows -1", "Order-Header/OrderDate", Field::lblDataZamWart,
            "-1");
        row("no delivery point name leaves its label empty", "Order-Parties/DeliveryPoint/Name",
            Field::lblNazwaMiejscaDostWart, "");
        row("no delivery point number leaves its label empty", "Order-Parties/DeliveryPoint/ILN",
            Field::lblILNMiejscaDostWart, "");
        row("no remarks leave the remarks empty", "Order-Header/Remarks", Field::txtUwagi, "");
    }

    void missingHeaderElements()
    {
        QFETCH(QString, path);
        QFETCH(int, field);
        Started s(without(order(2), path));
        QVERIFY(s.read);
        QTEST(s.form.field(Field(field)), "shown");
        QCOMPARE(s.form.lineCount(), 2);
    }

    void deliveryDateAndTime_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        const QString date = QStringLiteral("Order-Header/ExpectedDeliveryDate");
        const QString time = QStringLiteral("Order-Header/ExpectedDeliveryTime");
        auto row = [](const char* name, QString text, QString date, QString time) {
            QTest::newRow(name) << text << date << time;
        };
        row("a delivery date is taken as given", withText(order(1), date, "2026-12-24"),
            "2026-12-24", "08:30");
        row("no delivery date means today", without(order(1), date), "2026-12-05", "08:30");
        row("an empty delivery date means today", withText(order(1), date, ""), "2026-12-05",
            "08:30");
        row("a delivery date of -1 means today", withText(order(1), date, "-1"), "2026-12-05",
            "08:30");
        row("no delivery time means midnight", without(order(1), time), "2026-12-09", "00:00");
        row("an empty delivery time means midnight", withText(order(1), time, ""), "2026-12-09",
            "00:00");
    }

    void deliveryDateAndTime()
    {
        QFETCH(QString, text);
        QFETCH(QString, date);
        QFETCH(QString, time);
        Started s(text);
        QVERIFY(s.read);
        QCOMPARE(Conversions::FormatDate(s.form.txtDataDost().value()), date);
        QCOMPARE(Conversions::FormatTime(s.form.txtCzasDost().value()), time);
        QCOMPARE(s.form.remembered.deliveryDate, date);
        QCOMPARE(s.form.remembered.deliveryTime, time);
    }

    void priceByBuyer_data()
    {
        QTest::addColumn<QString>("partner");
        QTest::addColumn<QString>("price");
        QTest::addColumn<int>("width");
        QTest::newRow("the buyer shown prices reads the gross price, column shown")
            << "4607149599998" << QString("15,000") << 2000;
        QTest::newRow("the other gross buyer reads the gross price, column hidden")
            << "4607162819998" << QString("15,000") << 0;
        QTest::newRow("any other buyer reads the net price beside a gross one")
            << "4607175249997" << QString("12,500") << 0;
    }

    void priceByBuyer()
    {
        QFETCH(QString, partner);
        Started s(order(1), partner);
        QTEST(s.form.lines().text(1, ColPrice), "price");
        QTEST(s.form.lines().columnWidth(ColPrice), "width");
    }

    void indentedDocumentReadsAsCompact()
    {
        QString indented = order(3);
        indented.replace("><", ">\n    <");
        Started compact(order(3));
        Started s(indented);
        QVERIFY(s.read);
        QCOMPARE(s.form.lineCount(), 3);
        QCOMPARE(s.form.lines().rows(), 4);
        for (int f = 0; f < int(Field::Count); ++f)
            QCOMPARE(s.form.field(Field(f)), compact.form.field(Field(f)));
        for (int16_t r = 1; r <= 3; ++r)
            QCOMPARE(s.row(r), compact.row(r));
    }

    void childThatIsNoLineMakesAnEmptyRow_data()
    {
        QTest::addColumn<QString>("child");
        QTest::newRow("an element of another name")
            << "<Item><Line-Item><LineNumber>9</LineNumber></Line-Item></Item>";
        QTest::newRow("a comment") << "<!-- line withdrawn -->";
    }

    void childThatIsNoLineMakesAnEmptyRow()
    {
        QFETCH(QString, child);
        Started s(order({line(orderItem(1)), child, line(orderItem(2))}));
        QCOMPARE(s.form.lineCount(), 3);
        QCOMPARE(s.row(2), QStringList({"-1", "", "", "-1,000", "-1,000", "", "", "", "", "", "",
                                        "", "", "", "", "", "2026-12-05", "", ""}));
        QCOMPARE(s.form.lines().text(3, ColNumber), "2");
    }

    void linesWithoutChildren()
    {
        Started s(order(0));
        QVERIFY(s.read);
        QCOMPARE(s.form.lines().rows(), 2);
        QCOMPARE(s.form.lineCount(), 0);
        QCOMPARE(s.form.cboxTyp(), 2);
        QCOMPARE(s.form.summary().text(1, SumLineCount), "");

        // The reader leaves the count of an earlier order as it was.
        QVERIFY(readOrder(s.form, order(3)));
        QVERIFY(Wczytaj_Zamowienie(s.form, XmlDocument::fromText(order(0))));
        QCOMPARE(s.form.lines().rows(), 2);
        QCOMPARE(s.form.lineCount(), 3);
        QVERIFY(s.messages.shown.isEmpty());
    }

    void readingFailures_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("an order without a lines element") << without(order(2), "Order-Lines");
        QTest::newRow("a delivery date that is no date")
            << withText(order(2), "Order-Header/ExpectedDeliveryDate", "в четверг");
        QTest::newRow("a delivery time that is no time")
            << withText(order(2), "Order-Header/ExpectedDeliveryTime", "к обеду");
    }

    void readingFailures()
    {
        QFETCH(QString, text);
        Started s(text);
        QVERIFY(!s.read);
        QCOMPARE(s.messages.titles(), QStringList{ReaderError});
        QCOMPARE(s.messages.shown[0].icon, Message::Icon::Critical);
        QCOMPARE(s.form.field(Field::lblNrZamWart), "ZK-1");
        QVERIFY(s.form.isEnabled());
    }

    void initialResponseType_data()
    {
        QTest::addColumn<QString>("secondUnit");
        QTest::addColumn<int>("type");
        QTest::addColumn<Rgb>("colour");
        QTest::addColumn<int>("valid");
        QTest::newRow("every line passing chooses full acceptance")
            << "PCE" << 2 << Colours::Fixed << 3;
        QTest::newRow("one line failing chooses change, it stays pink and the others white")
            << "  " << 0 << Colours::Open << 2;
    }

    void initialResponseType()
    {
        QFETCH(QString, secondUnit);
        QFETCH(Rgb, colour);
        Started s(order({line(orderItem(1)), line(with(orderItem(2), "UnitOfMeasure", secondUnit)),
                         line(orderItem(3))}));
        QTEST(s.form.cboxTyp(), "type");
        QTEST(int(s.form.validLineCount()), "valid");
        const bool secondFails = secondUnit.trimmed().isEmpty();
        for (int r = 1; r <= 3; ++r) {
            for (int c = 1; c <= 17; ++c)
                QCOMPARE(s.form.lines().background(r, c),
                         r == 2 && secondFails ? Colours::Failing : colour);
        }
    }

    void sixteenBitLimit_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("1723 lines are read") << 1723 << QStringList();
        QTest::newRow("1724 lines overflow the cell index") << 1724 << QStringList{"Переполнение"};
    }

    void sixteenBitLimit()
    {
        QFETCH(int, lines);
        QFETCH(QStringList, errors);
        Started s(order(lines));
        QCOMPARE(s.read, errors.isEmpty());
        QCOMPARE(s.messages.texts(), errors);
        if (!errors.isEmpty())
            QCOMPARE(s.messages.titles(), QStringList{ReaderError});
        QCOMPARE(s.form.lineCount(), lines);
        QCOMPARE(s.form.lines().text(int16_t(lines), ColNumber), QString::number(lines));
    }
};

QTEST_GUILESS_MAIN(TestOrderReader)
#include "tst_orderreader.moc"
