#include "CoreForm.h"
#include "CoreRulesFixture.h"

#include "core/actions/CellEditor.h"
#include "core/actions/EditLine.h"
#include "core/actions/RemoveLine.h"
#include "core/form/Partners.h"
#include "core/rules/LineCheck.h"
#include "core/rules/LineDialogChecks.h"
#include "core/rules/ResponseType.h"
#include "core/rules/Totals.h"

using namespace DocumentTexts;
using namespace Qt::StringLiterals;

namespace {
const QString TakesMore = u"4607175249997"_s;
const QDate Typed(2026, 12, 20);
using Press = void (CellEditor::*)();

// Types `text` into the quantity of line `row` and ends the edit with `press`.
void typeQuantity(Confirmation& form, int row, const QString& text, Press press)
{
    form.lines().setCurrentCell(row, ColConfirmed);
    form.editor().open();
    form.editor().setText(text);
    (form.editor().*press)();
}
} // namespace

class TestEditing : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(); }

    // A failing line stays marked through commits and recalculations until it is completed.
    void aFailingLineStaysPinkUntilItPasses()
    {
        OrderForm e(3);
        Grid& lines = e.form.lines();
        lines.setText(2, ColUnit, u"  "_s);
        e.form.selectCboxTyp(ResponseType::Change);
        QCOMPARE(backgrounds(lines, 1, ColEan, 2, ColEan),
                 (QList<Rgb>{Colours::Open, Colours::Failing}));

        typeQuantity(e.form, 1, u"5"_s, &CellEditor::pressEnter);
        ResponseType::applyType(e.form, ResponseType::Change);
        QCOMPARE(lines.background(2, ColEan), Colours::Failing);
        QCOMPARE(e.form.validLineCount(), int16_t(2));

        LineDialogFields fields;
        std::tie(fields.unitIndex, fields.confirmed, fields.deliveryDate) =
            std::tuple(0, u"20"_s, QDate(2026, 12, 9));
        ZatwierdzPozycje(e.form, 2, fields);
        QCOMPARE(lines.background(2, ColEan), Colours::Open);
        QCOMPARE(e.form.validLineCount(), int16_t(3));
        QCOMPARE(lines.text(2, ColUnit), u"PCE"_s);
    }

    // The only line removed leaves a blank row, open to typing in all but the line number.
    void removingTheOnlyLineLeavesABlankRow()
    {
        OrderForm e(1);
        Grid& lines = e.form.lines();
        const Rgb numberColour = lines.background(1, ColNumber);
        QCOMPARE(lines.background(1, ColEan), Colours::Fixed);
        QVERIFY(!e.form.parties().buyerName.isEmpty() &&
                !e.form.remembered().deliveryPointName.isEmpty());
        // The header row may be current: with one line left, the line goes all the same.
        lines.setCurrentCell(0, ColUnit);
        btnUsun_Click(e.form);
        QCOMPARE(std::tuple(e.form.lineCount(), lines.rows(), lines.currentRow()),
                 std::tuple(int16_t(0), 2, 1));
        QCOMPARE(e.form.parties().buyerName + e.form.remembered().deliveryPointName, QString());
        QCOMPARE(lines.background(1, ColNumber), numberColour);
        QCOMPARE(texts(lines, 1, ColEan, 1, LineColumnCount - 1),
                 QStringList(LineColumnCount - 1, QString()));
        QCOMPARE(backgrounds(lines, 1, ColEan, 1, LineColumnCount - 1),
                 QList<Rgb>(LineColumnCount - 1, Colours::Open));
    }

    void aRemovalThatFailsLeavesTheTableRedrawing()
    {
        OrderForm e(3);
        e.form.lines().setCurrentRow(0);
        btnUsun_Click(e.form);
        QCOMPARE(e.messages.titles(), QStringList{"Произошла ошибка в btnUsun_Click()"});
        QCOMPARE(e.form.lineCount(), int16_t(3));
        QVERIFY(e.form.lines().redraw());
    }

    // A type sets what the lines confirm, their colour and the totals, and the delivery date.
    void choosingAType_data()
    {
        columns<QString, int, QStringList, QString, Rgb, QDate>("partner", "type", "confirmed",
                                                                "total", "colour", "date");
        auto row = [](const char* name, int type, QStringList confirmed, const char* total,
                      Rgb colour, QDate date, QString partner = BuyerIln) {
            QTest::newRow(name) << partner << type << confirmed << total << colour << date;
        };
        const QDate ordered(2026, 12, 9);
        using namespace ResponseType;
        row("refusal confirms nothing and puts back the order's delivery date", Refuse,
            {"0", "0", "0"}, "0,000", Colours::Fixed, ordered);
        row("full acceptance confirms what was ordered", Accept, {"10,000", "20,000", "30,000"},
            "60,000", Colours::Fixed, ordered);
        row("change keeps the quantities, recolours and leaves the delivery to the user", Change,
            {"3,000", "0", "0"}, "3,000", Colours::Open, Typed);
        row("the buyer fixing the delivery gets the order's date under a change", Change,
            {"3,000", "0", "0"}, "3,000", Colours::Open, ordered, Partners::FixedDelivery);
    }
    void choosingAType()
    {
        const auto [partner, type, total, colour, date] =
            fetch<QString, int, QString, Rgb, QDate>("partner", "type", "total", "colour", "date");
        OrderForm e(3, partner);
        e.form.selectCboxTyp(type == ResponseType::Change ? ResponseType::Refuse
                                                          : ResponseType::Change);
        e.form.lines().setText(1, ColConfirmed, "3,000");
        e.form.setTxtDataDost(Typed);
        e.form.selectCboxTyp(type);
        QTEST(texts(e.form.lines(), 1, ColConfirmed, 3, ColConfirmed), "confirmed");
        QCOMPARE(backgrounds(e.form.lines(), 1, 1, 3, 17), QList<Rgb>(3 * 17, colour));
        QCOMPARE(texts(e.form.summary(), 1, SumLineCount, 1, SumConfirmed),
                 (QStringList{"3", total}));
        QCOMPARE(e.form.isOn(Confirmation::Switch::DeliveryOpen), date == Typed);
        QCOMPARE(e.form.txtDataDost().value_or(QDate()), date);
    }

    void totals_data()
    {
        columns<QStringList, QString, QStringList>("confirmed", "total", "errors");
        QTest::newRow("the confirmed quantities add up, an empty one adding nothing")
            << QStringList{"1,500", "", "3,250"} << "4,750" << QStringList();
        QTest::newRow("a confirmed quantity that is no number leaves the total empty")
            << QStringList{"1,500", "полтора", "3,250"} << ""
            << QStringList{"Произошла ошибка в  PoprawGrdSuma()"};
        QTest::newRow("a single line is totalled") << QStringList{"4"} << "4,000" << QStringList();
    }
    void totals()
    {
        const auto [confirmed, total] = fetch<QStringList, QString>("confirmed", "total");
        const auto lines = int16_t(confirmed.size());
        OrderForm e(lines);
        for (int16_t r = 1; r <= lines; ++r)
            e.form.lines().setText(r, ColConfirmed, confirmed[r - 1]);
        e.form.setValidLineCount(1); // the summary counts every line, valid or not
        PoprawGrdSuma(e.form);
        QCOMPARE(texts(e.form.summary(), 1, SumLineCount, 1, SumConfirmed),
                 (QStringList{QString::number(lines), total}));
        QTEST(e.messages.titles(), "errors");
    }

    // The dialog checks its fields in the order they stand and stops at the first failure.
    void lineDialogChecks_data()
    {
        // `typed`: confirmed|unit|price|discount; `left`: confirmed|price|discount after.
        columns<QString, bool, int, QStringList, QString>("typed", "dated", "focus", "shown",
                                                          "left");
        using F = LineEdit::Field;
        auto row = [](const char* name, const char* typed, bool dated, F focus, QString shown,
                      const char* left) {
            QTest::newRow(name) << typed << dated << int(focus)
                                << (shown.isEmpty() ? QStringList() : QStringList{shown}) << left;
        };
        row("complete fields pass, the price and discount with two decimals", "5|PCE|7,5|3", true,
            F::None, {}, "5,000|7,50|3,00");
        row("an empty price and discount pass", "5|PCE|| ", true, F::None, {}, "5,000||");
        row("a blank unit is named before a wrong price", "5||x|y", false, F::cboxJednostkaMiary,
            "Brak wartoњci dla pola 'Jednostka miary'.", "5,000|x|y");
        row("letters in the price are named before a wrong discount", "5|PCE|x|y", false,
            F::txtCenaNetto, "Bікdna wartoњж dla pola 'Cena Netto'", "5,000|x|y");
        row("letters in the discount are named before a missing date", "5|PCE|7|y", false,
            F::txtRabat, "Bікdna wartoњж dla pola 'Rabat'", "5,000|7,00|y");
        row("a missing delivery date is named last", "5|PCE|7|3", false, F::dtDataDostawy,
            "Brak wartoњci dla pola 'Potwierdzona data dostawy'", "5,000|7,00|3,00");
    }
    void lineDialogChecks()
    {
        const auto [typed, dated] = fetch<QString, bool>("typed", "dated");
        const QStringList field = typed.split(u'|');
        LineDialogFields fields;
        std::tie(fields.confirmed, fields.unitText, fields.price, fields.discount) =
            std::tuple(field[0], field[1], field[2], field[3]);
        if (dated)
            fields.deliveryDate = QDate(2026, 12, 9);
        RecordingMessages messages;
        QTEST(int(LineEdit::Walidacja(fields, messages)), "focus");
        QTEST(messages.texts(), "shown");
        QTEST(fields.confirmed + u'|' + fields.price + u'|' + fields.discount, "left");
    }

    void unitCodes_data()
    {
        columns<QString, int, QString>("symbol", "index", "stored");
        QTest::newRow("a code is found whatever its case") << "kgm" << 1 << "KGM";
        QTest::newRow("the last entry is found") << "LTR" << 8 << "LTR";
        QTest::newRow("a unit of no entry is stored as typed") << "Box" << -1 << "Box";
    }
    void unitCodes()
    {
        const auto [symbol, index] = fetch<QString, int>("symbol", "index");
        QCOMPARE(int(LineEdit::indexJednostkiMiary(symbol)), index);
        QTEST(LineEdit::symbolJednostkiMiary(int16_t(index), symbol), "stored");
    }

    // Enter on a point-typed quantity, Down and Up in the middle: tst_celleditor's committing.
    void editorKeys_data()
    {
        columns<QString, Press, QString, int, QString, int, QString, QStringList>(
            "partner", "press", "typed", "from", "cell", "to", "total", "shown");
        auto row = [](const char* name, Press press, QString typed, int from, QString cell, int to,
                      QString total, QStringList shown = {}, QString partner = BuyerIln) {
            QTest::newRow(name) << partner << press << typed << from << cell << to << total
                                << shown;
        };
        const Press enter = &CellEditor::pressEnter, up = &CellEditor::pressUp;
        row("Enter refuses a quantity above the ordered one", enter, "15", 1, "10,000", 2, "60,000",
            {"Не возможно подтвердить большее, чем указано в заказе  количество товара"});
        row("the buyer taking more than ordered gets the larger quantity", enter, "15", 1, "15,000",
            2, "65,000", {}, TakesMore);
        row("letters give only the number message", enter, "abc", 1, "10,000", 2, "60,000",
            {"Неправильная нумерическая величина."});
        row("Enter on the last line stays", enter, "1", 3, "1,000", 3, "31,000");
        row("Up on the first line commits and stays", up, "1", 1, "1,000", 1, "51,000");
        row("Esc drops the value for good", &CellEditor::pressEscape, "1", 1, "10,000", 1,
            "60,000");
    }
    void editorKeys()
    {
        const auto [partner, press, typed, from] =
            fetch<QString, Press, QString, int>("partner", "press", "typed", "from");
        OrderForm e(3, partner);
        e.form.selectCboxTyp(ResponseType::Change);
        typeQuantity(e.form, from, typed, press);
        e.form.editor().commit();
        QVERIFY(!e.form.editor().isVisible());
        QTEST(e.form.lines().text(int16_t(from), ColConfirmed), "cell");
        QTEST(e.form.lines().currentRow(), "to");
        QTEST(e.form.summary().text(1, SumConfirmed), "total");
        QTEST(e.messages.texts(), "shown");
    }

    void lineCheck_data()
    {
        // `cells`: confirmed, price, unit; the line orders 10
        columns<QString, QString, QStringList, bool>("locale", "partner", "cells", "valid");
        auto row = [](const char* name, QString partner, QStringList cells, bool valid,
                      QString locale = "ru_RU") {
            QTest::newRow(name) << locale << partner << cells << valid;
        };
        row("a complete line passes", BuyerIln, {"5,000", "12,500", "PCE"}, true);
        row("a blank unit fails", BuyerIln, {"5,000", "12,500", "  "}, false);
        row("a price that is no number fails", BuyerIln, {"5,000", "12,5 руб.", "PCE"}, false);
        row("a quantity above the ordered one fails", BuyerIln, {"12,000", "", "PCE"}, false);
        row("the buyer taking more passes a larger quantity", TakesMore, {"12", "", "PCE"}, true);
        row("an empty quantity fails", BuyerIln, {"", "", "PCE"}, false);
        row("a quantity equal to the ordered one passes", BuyerIln, {"10,000", "", "PCE"}, true);
        row("5.000 without a price is five under ru_RU", BuyerIln, {"5.000", "", "PCE"}, true);
        row("5.000 is five under en_US", BuyerIln, {"5.000", "", "PCE"}, true, "en_US");
        row("5,000 is five under en_US", BuyerIln, {"5,000", "", "PCE"}, true, "en_US");
    }
    void lineCheck()
    {
        const auto [locale, partner, cells] =
            fetch<QString, QString, QStringList>("locale", "partner", "cells");
        freshProcess(locale);
        OrderForm e(1, partner);
        e.form.lines().setText(1, ColOrdered, "10");
        for (int i = 0; i < 3; ++i)
            e.form.lines().setText(1, QList{ColConfirmed, ColPrice, ColUnit}[i], cells[i]);
        QTEST(LineIsValid(e.form, 1), "valid");
        QVERIFY(e.messages.shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestEditing)
#include "tst_editing.moc"
