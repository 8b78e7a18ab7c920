#include "CoreForm.h"

#include "core/actions/CellEditor.h"
#include "core/actions/EditLine.h"
#include "core/actions/RemoveLine.h"
#include "core/form/Partners.h"
#include "core/rules/LineCheck.h"
#include "core/rules/LineDialogChecks.h"
#include "core/rules/ResponseType.h"
#include "core/rules/Totals.h"

using namespace DocumentTexts;

namespace {
const QString MoreThanOrdered =
    QStringLiteral("Не возможно подтвердить большее, чем указано в заказе  количество товара");
const QString TakesMore = QStringLiteral("4607175249997");
} // namespace

class TestEditing : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(); }

    // A line that fails the check stays marked through commits and recalculations until the
    // user completes it.
    void aFailingLineStaysPinkUntilItPasses()
    {
        OrderForm e(3);
        e.form.lines().setText(2, ColUnit, QStringLiteral("  "));
        e.form.selectCboxTyp(ResponseType::Change);
        const auto colour = [&](int16_t row) { return e.form.lines().background(row, ColEan); };
        QCOMPARE(colour(2), Colours::Failing);
        QCOMPARE(colour(1), Colours::Open);

        e.form.lines().setCurrentCell(1, ColConfirmed);
        e.form.editor().open();
        e.form.editor().setText(QStringLiteral("5"));
        e.form.editor().pressEnter();
        ResponseType::applyType(e.form, ResponseType::Change);
        QCOMPARE(colour(2), Colours::Failing);
        QCOMPARE(e.form.validLineCount(), int16_t(2));

        LineDialogFields fields;
        fields.unitIndex = 0;
        fields.confirmed = QStringLiteral("20");
        fields.deliveryDate = QDate(2026, 12, 9);
        ZatwierdzPozycje(e.form, 2, fields);
        QCOMPARE(colour(2), Colours::Open);
        QCOMPARE(e.form.validLineCount(), int16_t(3));
        QCOMPARE(e.form.lines().text(2, ColUnit), QStringLiteral("PCE"));
    }

    // The only line removed leaves one blank row, every cell of it open to typing but the
    // line number's.
    void removingTheOnlyLineLeavesABlankRow()
    {
        OrderForm e(1);
        const Rgb numberColour = e.form.lines().background(1, ColNumber);
        QCOMPARE(e.form.lines().background(1, ColEan), Colours::Fixed);
        QVERIFY(!e.form.parties().buyerName.isEmpty());
        QVERIFY(!e.form.remembered().deliveryPointName.isEmpty());
        // The header row may be current: with one line left, the line goes all the same.
        e.form.lines().setCurrentCell(0, ColUnit);
        btnUsun_Click(e.form);
        QCOMPARE(e.form.lineCount(), int16_t(0));
        QCOMPARE(e.form.lines().rows(), 2);
        QCOMPARE(e.form.lines().currentRow(), 1);
        QCOMPARE(e.form.parties().buyerName, QString());
        QCOMPARE(e.form.remembered().deliveryPointName, QString());
        QCOMPARE(e.form.lines().background(1, ColNumber), numberColour);
        for (int16_t c = ColEan; c < LineColumnCount; ++c) {
            QCOMPARE(e.form.lines().text(1, c), QString());
            QCOMPARE(e.form.lines().background(1, c), Colours::Open);
        }
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

    void choosingAType_data()
    {
        columns<int, QStringList, QString, Rgb>("type", "confirmed", "total", "colour");
        QTest::newRow("refusal confirms nothing")
            << 1 << QStringList{"0", "0", "0"} << "0,000" << Colours::Fixed;
        QTest::newRow("full acceptance confirms what was ordered")
            << 2 << QStringList{"10,000", "20,000", "30,000"} << "60,000" << Colours::Fixed;
        QTest::newRow("change keeps the quantities, recolours and opens the delivery")
            << 0 << QStringList{"3,000", "0", "0"} << "3,000" << Colours::Open;
    }
    void choosingAType()
    {
        const auto [type, colour] = fetch<int, Rgb>("type", "colour");
        OrderForm e(3);
        e.form.selectCboxTyp(type == ResponseType::Change ? ResponseType::Refuse
                                                          : ResponseType::Change);
        e.form.lines().setText(1, ColConfirmed, "3,000");
        e.form.selectCboxTyp(type);
        QStringList confirmed;
        for (int16_t r = 1; r <= 3; ++r) {
            confirmed.append(e.form.lines().text(r, ColConfirmed));
            for (int c = 1; c <= 17; ++c)
                QCOMPARE(e.form.lines().background(r, c), colour);
        }
        QTEST(confirmed, "confirmed");
        QTEST(e.form.summary().text(1, SumConfirmed), "total");
        QCOMPARE(e.form.summary().text(1, SumLineCount), "3");
        QCOMPARE(e.form.isOn(Confirmation::Switch::DeliveryOpen), type == ResponseType::Change);
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
        QFETCH(QStringList, confirmed);
        const auto lines = int16_t(confirmed.size());
        OrderForm e(lines);
        for (int16_t r = 1; r <= lines; ++r)
            e.form.lines().setText(r, ColConfirmed, confirmed[r - 1]);
        e.form.setValidLineCount(1); // the summary counts every line, valid or not
        PoprawGrdSuma(e.form);
        QTEST(e.form.summary().text(1, SumConfirmed), "total");
        QCOMPARE(e.form.summary().text(1, SumLineCount), QString::number(lines));
        QTEST(e.messages.titles(), "errors");
    }

    void deliveryAfterATypeChange_data()
    {
        columns<QString, int, bool, QDate>("partner", "type", "open", "date");
        const QDate typed(2026, 12, 20), ordered(2026, 12, 9);
        QTest::newRow("a change leaves the delivery to the user")
            << BuyerIln << int(ResponseType::Change) << true << typed;
        QTest::newRow("the buyer fixing the delivery gets the order's date under a change")
            << Partners::FixedDelivery << int(ResponseType::Change) << false << ordered;
        QTest::newRow("a refusal puts back the order's delivery date")
            << BuyerIln << int(ResponseType::Refuse) << false << ordered;
    }
    void deliveryAfterATypeChange()
    {
        const auto [partner, type] = fetch<QString, int>("partner", "type");
        OrderForm e(3, partner);
        e.form.selectCboxTyp(ResponseType::Accept);
        e.form.setTxtDataDost(QDate(2026, 12, 20));
        e.form.selectCboxTyp(type);
        QTEST(e.form.isOn(Confirmation::Switch::DeliveryOpen), "open");
        QTEST(e.form.txtDataDost().value_or(QDate()), "date");
    }

    // The dialog checks its fields in the order they stand and stops at the first failure.
    void lineDialogChecks_data()
    {
        // `typed`: confirmed, unit, price, discount; `left`: confirmed, price, discount after.
        columns<QStringList, bool, int, QStringList, QStringList>("typed", "dated", "focus",
                                                                  "shown", "left");
        using F = LineEdit::Field;
        auto row = [](const char* name, QStringList typed, bool dated, F focus, QString shown,
                      QStringList left) {
            QTest::newRow(name) << typed << dated << int(focus)
                                << (shown.isEmpty() ? QStringList() : QStringList{shown}) << left;
        };
        row("complete fields pass, the price and discount with two decimals",
            {"5", "PCE", "7,5", "3"}, true, F::None, {}, {"5,000", "7,50", "3,00"});
        row("an empty price and discount pass", {"5", "PCE", "", " "}, true, F::None, {},
            {"5,000", "", ""});
        row("a blank unit is named before a wrong price", {"5", "", "x", "y"}, false,
            F::cboxJednostkaMiary, "Brak wartoњci dla pola 'Jednostka miary'.",
            {"5,000", "x", "y"});
        row("letters in the price are named before a wrong discount", {"5", "PCE", "x", "y"}, false,
            F::txtCenaNetto, "Bікdna wartoњж dla pola 'Cena Netto'", {"5,000", "x", "y"});
        row("letters in the discount are named before a missing date", {"5", "PCE", "7", "y"},
            false, F::txtRabat, "Bікdna wartoњж dla pola 'Rabat'", {"5,000", "7,00", "y"});
        row("a missing delivery date is named last", {"5", "PCE", "7", "3"}, false,
            F::dtDataDostawy, "Brak wartoњci dla pola 'Potwierdzona data dostawy'",
            {"5,000", "7,00", "3,00"});
    }
    void lineDialogChecks()
    {
        const auto [typed, dated] = fetch<QStringList, bool>("typed", "dated");
        LineDialogFields fields;
        fields.confirmed = typed[0];
        fields.unitText = typed[1];
        fields.price = typed[2];
        fields.discount = typed[3];
        if (dated)
            fields.deliveryDate = QDate(2026, 12, 9);
        RecordingMessages messages;
        QTEST(int(LineEdit::Walidacja(fields, messages)), "focus");
        QTEST(messages.texts(), "shown");
        QTEST((QStringList{fields.confirmed, fields.price, fields.discount}), "left");
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

    void editorKeys_data()
    {
        columns<QString, int, QString, int, QString, int, QString, QStringList>(
            "partner", "key", "typed", "from", "cell", "to", "total", "shown");
        auto row = [](const char* name, QString partner, Qt::Key key, QString typed, int from,
                      QString cell, int to, QString total, QStringList shown = {}) {
            QTest::newRow(name) << partner << int(key) << typed << from << cell << to << total
                                << shown;
        };
        row("Enter commits a point-typed quantity in the user's form and moves down", BuyerIln,
            Qt::Key_Return, "5.5", 1, "5,500", 2, "55,500");
        row("Enter refuses a quantity above the ordered one", BuyerIln, Qt::Key_Return, "15", 1,
            "10,000", 2, "60,000", {MoreThanOrdered});
        row("the buyer taking more than ordered gets the larger quantity", TakesMore,
            Qt::Key_Return, "15", 1, "15,000", 2, "65,000");
        row("letters give only the number message", BuyerIln, Qt::Key_Return, "abc", 1, "10,000", 2,
            "60,000", {"Неправильная нумерическая величина."});
        row("Enter on the last line stays", BuyerIln, Qt::Key_Return, "1", 3, "1,000", 3, "31,000");
        row("Down commits and moves down", BuyerIln, Qt::Key_Down, "1", 2, "1,000", 3, "41,000");
        row("Up on the first line commits and stays", BuyerIln, Qt::Key_Up, "1", 1, "1,000", 1,
            "51,000");
        row("Up moves up", BuyerIln, Qt::Key_Up, "1", 2, "1,000", 1, "41,000");
        row("Esc drops the value for good", BuyerIln, Qt::Key_Escape, "1", 1, "10,000", 1,
            "60,000");
    }
    void editorKeys()
    {
        const auto [partner, key, typed, from] =
            fetch<QString, int, QString, int>("partner", "key", "typed", "from");
        OrderForm e(3, partner);
        e.form.selectCboxTyp(ResponseType::Change);
        e.form.lines().setCurrentCell(from, ColConfirmed);
        CellEditor& editor = e.form.editor();
        editor.open();
        editor.setText(typed);
        const QHash<int, void (CellEditor::*)()> press{{Qt::Key_Return, &CellEditor::pressEnter},
                                                       {Qt::Key_Down, &CellEditor::pressDown},
                                                       {Qt::Key_Up, &CellEditor::pressUp},
                                                       {Qt::Key_Escape, &CellEditor::pressEscape}};
        (editor.*press.value(key))();
        editor.commit();
        QVERIFY(!editor.isVisible());
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
