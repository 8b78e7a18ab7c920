#include "CoreForm.h"
#include "CoreRulesFixture.h"

using namespace DocumentTexts;
using Field = Confirmation::Field;

class TestOrderReader : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(); }

    void orderIsCopiedIntoTheForm()
    {
        OrderForm s(order({line(orderItem(1) + Elements{{"ItemType", "EUR"},
                                                        {"OrderedUnitPacksize", "12"},
                                                        {"Discount", "2.5"},
                                                        {"ExpectedDeliveryTime", "14:00"}})}));
        QVERIFY(s.read);
        QVERIFY(s.messages.shown.isEmpty());
        QCOMPARE(QStringList({s.form.field(Field::txtNrPotw), s.form.field(Field::lblDataZamWart),
                              s.form.field(Field::lblILNMiejscaDostWart),
                              Conversions::FormatDate(s.form.txtDataDost().value()),
                              Conversions::FormatTime(s.form.txtCzasDost().value()),
                              s.form.field(Field::txtUwagi), QString::number(s.form.lineCount())}),
                 QStringList({"Пз_ZK-1", "2026-12-03", DeliveryIln, "2026-12-09", "08:30",
                              "Звонить за час", "1"}));
        QCOMPARE(texts(s.form.lines(), 1, 0, 1, LineColumnCount - 1),
                 QStringList({"1", "4601234560001", "Товар 1", "10,000", "10,000", "12,500", "B-1",
                              "S-1", "EUR", "PCE", "12,000", "", "", "", "", "2,50", "2026-12-05",
                              "14:00", ""}));
    }

    void priceByBuyer_data()
    {
        columns<QString, QString, int>("partner", "price", "width");
        QTest::newRow("the buyer shown prices reads the gross price, column shown")
            << QString("4607149599998") << QString("15,000") << 2000;
        QTest::newRow("the other gross buyer reads the gross price, column hidden")
            << QString("4607162819998") << QString("15,000") << 0;
        QTest::newRow("any other buyer reads the net price beside a gross one")
            << QString("4607175249997") << QString("12,500") << 0;
    }

    void priceByBuyer()
    {
        QFETCH(QString, partner);
        OrderForm s(order(1), partner);
        QTEST(s.form.lines().text(1, ColPrice), "price");
        QTEST(s.form.lines().columnWidth(ColPrice), "width");
    }

    void initialResponseType_data()
    {
        columns<QString, int, Rgb, int>("secondUnit", "type", "colour", "valid");
        QTest::newRow("every line passing chooses full acceptance")
            << "PCE" << 2 << Colours::Fixed << 3;
        QTest::newRow("one line failing chooses change, it stays pink and the others white")
            << "  " << 0 << Colours::Open << 2;
    }

    void initialResponseType()
    {
        const auto [secondUnit, colour] = fetch<QString, Rgb>("secondUnit", "colour");
        OrderForm s(withText(order(3), "Order-Lines/Line/Line-Item/UnitOfMeasure", secondUnit));
        QTEST(s.form.cboxTyp(), "type");
        QTEST(int(s.form.validLineCount()), "valid");
        for (int r = 1; r <= 3; ++r)
            for (int c = 1; c <= 17; ++c)
                QCOMPARE(s.form.lines().background(r, c),
                         r == 1 && secondUnit.trimmed().isEmpty() ? Colours::Failing : colour);
    }

    void reading_data()
    {
        // `error`: null when the order is read
        columns<QString, int, QString>("text", "lines", "error");
        QTest::newRow("1723 lines are read") << order(1723) << 1723 << QString();
        QTest::newRow("1724 lines overflow the cell index")
            << order(1724) << 1724 << "Переполнение";
        QTest::newRow("an order without a lines element")
            << without(order(2), "Order-Lines") << 0 << "В заказе нет элемента Order-Lines";
    }

    void reading()
    {
        const auto [text, lines, error] = fetch<QString, int, QString>("text", "lines", "error");
        OrderForm s(text);
        QCOMPARE(s.read, error.isNull());
        QCOMPARE(s.messages.lines(),
                 error.isNull()
                     ? QStringList()
                     : QStringList{"Произошла ошибка в Wczytaj_Zamowienie() (critical): " + error});
        QVERIFY(s.form.isEnabled());
        QCOMPARE(s.form.lineCount(), lines);
        if (lines > 0)
            QCOMPARE(s.form.lines().text(int16_t(lines), ColNumber), QString::number(lines));
    }
};

QTEST_GUILESS_MAIN(TestOrderReader)
#include "tst_orderreader.moc"
