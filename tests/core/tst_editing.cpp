#include "RecordingMessages.h"
#include "TestSupport.h"
#include "documents_helpers.h"

#include "control/Columns.h"
#include "control/Confirmation.h"
#include "editing/CellEditor.h"
#include "editing/HeaderCheck.h"
#include "editing/LineCheck.h"
#include "editing/ResponseType.h"

#include <QSignalSpy>
#include <QTest>

using namespace DocumentTexts;

namespace {
const QString MoreThanOrdered =
    QStringLiteral("Не возможно подтвердить большее, чем указано в заказе  количество товара");
const QString NotANumber = QStringLiteral("Неправильная нумерическая величина.");
const QString BuyerTakingMore = QStringLiteral("4607175249997");

// A control that has read an order of `lines` lines ordering 10, 20, 30 ...
struct Editing {
    explicit Editing(const QString& partner = BuyerIln, int lines = 3)
    {
        useParties(form, partner);
        readOrder(form, order(lines));
    }
    QStringList confirmed() const
    {
        QStringList cells;
        for (int16_t r = 1; r <= form.lineCount(); ++r)
            cells.append(form.lines().text(r, ColConfirmed));
        return cells;
    }
    // The cell editor opened on the confirmed quantity of `row`, under response type 0.
    CellEditor& openOn(int row)
    {
        form.selectCboxTyp(ResponseType::Change);
        form.lines().setCurrentCell(row, ColConfirmed);
        form.editor().open();
        return form.editor();
    }
    RecordingMessages messages;
    Confirmation form{messages};
};
} // namespace

class TestEditing : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(); }

    void applyType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("confirmed");
        QTest::addColumn<QString>("total");
        QTest::addColumn<Rgb>("colour");
        QTest::newRow("refusal confirms nothing")
            << 1 << QStringList{"0", "0", "0"} << "0,000" << Colours::Fixed;
        QTest::newRow("full acceptance confirms what was ordered")
            << 2 << QStringList{"10,000", "20,000", "30,000"} << "60,000" << Colours::Fixed;
        QTest::newRow("change keeps the quantities and only recolours")
            << 0 << QStringList{"3,000", "20,000", "30,000"} << "53,000" << Colours::Open;
    }

    void applyType()
    {
        QFETCH(int, type);
        QFETCH(Rgb, colour);
        Editing e;
        e.form.lines().setText(1, ColConfirmed, "3,000");
        ResponseType::applyType(e.form, int16_t(type));
        QTEST(e.confirmed(), "confirmed");
        QTEST(e.form.summary().text(1, SumConfirmed), "total");
        QCOMPARE(e.form.summary().text(1, SumLineCount), "3");
        for (int r = 1; r <= 3; ++r) {
            for (int c = 1; c <= 17; ++c)
                QCOMPARE(e.form.lines().background(r, c), colour);
        }
    }

    void deliveryFieldsOpen_data()
    {
        QTest::addColumn<QString>("partner");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("open");
        QTest::newRow("change opens the delivery fields") << BuyerIln << 0 << true;
        QTest::newRow("refusal closes them") << BuyerIln << 1 << false;
        QTest::newRow("full acceptance closes them") << BuyerIln << 2 << false;
        QTest::newRow("the fixed-delivery buyer keeps them closed under change")
            << "4607163319992" << 0 << false;
    }

    void deliveryFieldsOpen()
    {
        QFETCH(QString, partner);
        QFETCH(int, type);
        Editing e(partner);
        e.form.selectCboxTyp((type + 1) % 3);
        e.form.selectCboxTyp(type);
        QTEST(e.form.isOn(Confirmation::Switch::DeliveryOpen), "open");
    }

    void leavingChangeRestoresDelivery()
    {
        Editing e;
        e.form.selectCboxTyp(ResponseType::Change);
        e.form.setTxtDataDost(QDate(2026, 12, 20));
        e.form.setTxtCzasDost(QTime(10, 15));
        e.form.selectCboxTyp(ResponseType::Refuse);
        QCOMPARE(e.form.txtDataDost(), QDate(2026, 12, 9));
        QCOMPARE(e.form.txtCzasDost(), QTime(8, 30));
    }

    void totals_data()
    {
        QTest::addColumn<QStringList>("confirmed");
        QTest::addColumn<QString>("total");
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("the confirmed quantities add up")
            << QStringList{"1,500", "2,000", "3,250"} << "6,750" << QStringList();
        QTest::newRow("an empty confirmed quantity adds nothing")
            << QStringList{"1,500", "", "3,250"} << "4,750" << QStringList();
        QTest::newRow("a confirmed quantity that is no number leaves the total empty")
            << QStringList{"1,500", "полтора", "3,250"} << ""
            << QStringList{"Произошла ошибка в  PoprawGrdSuma()"};
    }

    void totals()
    {
        QFETCH(QStringList, confirmed);
        Editing e;
        for (int16_t r = 1; r <= 3; ++r)
            e.form.lines().setText(r, ColConfirmed, confirmed[r - 1]);
        PoprawGrdSuma(e.form);
        QTEST(e.form.summary().text(1, SumConfirmed), "total");
        QCOMPARE(e.form.summary().text(1, SumLineCount), "3");
        QTEST(e.messages.titles(), "errors");
    }

    void openingTheEditor_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("opened");
        const int nothing = int(CellEditor::Opened::Nothing);
        QTest::newRow("the header row opens nothing") << 3 << 0 << 0 << 4 << nothing;
        QTest::newRow("refusal opens nothing") << 3 << 1 << 1 << 4 << nothing;
        QTest::newRow("full acceptance opens nothing") << 3 << 2 << 1 << 4 << nothing;
        QTest::newRow("no lines open nothing") << 0 << 0 << 1 << 4 << nothing;
        QTest::newRow("the ordered quantity opens nothing") << 3 << 0 << 1 << 3 << nothing;
        QTest::newRow("the confirmed quantity opens the editor")
            << 3 << 0 << 1 << 4 << int(CellEditor::Opened::Editor);
        QTest::newRow("the product name toggles the row height")
            << 3 << 0 << 1 << 2 << int(CellEditor::Opened::RowHeightToggled);
    }

    void openingTheEditor()
    {
        QFETCH(int, lines);
        QFETCH(int, type);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, opened);
        Editing e(BuyerIln, lines);
        e.form.selectCboxTyp(type);
        e.form.lines().setCurrentCell(row, column);
        QCOMPARE(int(e.form.editor().open()), opened);
        QCOMPARE(e.form.editor().isVisible(), opened == int(CellEditor::Opened::Editor));
    }

    void productNameTogglesDoubleHeight()
    {
        Editing e;
        e.form.selectCboxTyp(ResponseType::Change);
        e.form.lines().setCurrentCell(2, ColName);
        const int base = e.form.baseRowHeight();
        e.form.editor().open();
        QCOMPARE(e.form.lines().rowHeight(2), 2 * base);
        QCOMPARE(e.form.lines().rowHeight(1), base);
        e.form.editor().open();
        QCOMPARE(e.form.lines().rowHeight(2), base);
    }

    void enterChecksAndCommits_data()
    {
        QTest::addColumn<QString>("partner");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("total");
        QTest::addColumn<QStringList>("shown");
        auto row = [](const char* name, QString partner, QString typed, QString cell, QString total,
                      QStringList shown) {
            QTest::newRow(name) << partner << typed << cell << total << shown;
        };
        row("a point-typed quantity is committed in the user's form", BuyerIln, "5.5", "5,500",
            "55,500", {});
        row("a quantity above the ordered one is refused", BuyerIln, "15", "10,000", "60,000",
            {MoreThanOrdered});
        row("the buyer taking more than ordered gets the larger quantity", BuyerTakingMore, "15",
            "15,000", "65,000", {});
        row("letters give only the number message", BuyerIln, "abc", "10,000", "60,000",
            {NotANumber});
    }

    void enterChecksAndCommits()
    {
        QFETCH(QString, partner);
        QFETCH(QString, typed);
        Editing e(partner);
        CellEditor& editor = e.openOn(1);
        editor.setText(typed);
        editor.pressEnter();
        QVERIFY(!editor.isVisible());
        QTEST(e.form.lines().text(1, ColConfirmed), "cell");
        QTEST(e.form.summary().text(1, SumConfirmed), "total");
        QTEST(e.messages.texts(), "shown");
        QCOMPARE(e.form.lines().currentRow(), 2);
    }

    void keysMoveTheCurrentRow_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("Enter moves down") << QString("Enter") << 1 << 2;
        QTest::newRow("Down moves down") << QString("Down") << 2 << 3;
        QTest::newRow("Enter on the last line stays") << QString("Enter") << 3 << 3;
        QTest::newRow("Up moves up") << QString("Up") << 2 << 1;
        QTest::newRow("Up on the first line stays") << QString("Up") << 1 << 1;
    }

    void keysMoveTheCurrentRow()
    {
        QFETCH(QString, key);
        QFETCH(int, from);
        QFETCH(int, to);
        Editing e;
        CellEditor& editor = e.openOn(from);
        editor.setText("1");
        if (key == "Enter")
            editor.pressEnter();
        else if (key == "Down")
            editor.pressDown();
        else
            editor.pressUp();
        QCOMPARE(e.form.lines().text(int16_t(from), ColConfirmed), "1,000");
        QCOMPARE(e.form.lines().currentRow(), to);
    }

    void escapeDropsTheValue()
    {
        Editing e;
        CellEditor& editor = e.openOn(1);
        editor.setText("1");
        editor.pressEscape();
        editor.commit();
        QVERIFY(!editor.isVisible());
        QCOMPARE(e.form.lines().text(1, ColConfirmed), "10,000");
        QVERIFY(e.messages.shown.isEmpty());
    }

    void leavingChecksOnceAndCommitWritesOnce_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("a value that passes is committed")
            << QString("2.5") << QString("2,500") << QStringList();
        QTest::newRow("a refused value is reported once and never committed")
            << QString("25") << QString("10,000") << QStringList{MoreThanOrdered};
    }

    void leavingChecksOnceAndCommitWritesOnce()
    {
        QFETCH(QString, typed);
        QFETCH(QString, cell);
        Editing e;
        CellEditor& editor = e.openOn(1);
        editor.setText(typed);
        editor.leave();
        QCOMPARE(e.form.lines().text(1, ColConfirmed), "10,000");
        editor.leave();
        editor.commit();
        QTEST(e.form.lines().text(1, ColConfirmed), "cell");
        // Once written, the editor is closed: a later commit leaves the cell alone.
        e.form.lines().setText(1, ColConfirmed, "1,000");
        editor.commit();
        QCOMPARE(e.form.lines().text(1, ColConfirmed), "1,000");
        QTEST(e.messages.texts(), "shown");
    }

    void lineCheck_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("partner");
        QTest::addColumn<QString>("confirmed");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<bool>("valid");
        auto row = [](const char* name, QString locale, QString partner, QString confirmed,
                      QString price, QString unit, bool valid) {
            QTest::newRow(name) << locale << partner << confirmed << price << unit << valid;
        };
        // The line orders 10.
        row("a complete line passes", "ru_RU", BuyerIln, "5,000", "12,500", "PCE", true);
        row("a blank unit fails", "ru_RU", BuyerIln, "5,000", "12,500", "  ", false);
        row("a price that is no number fails", "ru_RU", BuyerIln, "5,000", "12,5 руб.", "PCE",
            false);
        row("an empty price passes", "ru_RU", BuyerIln, "5,000", "", "PCE", true);
        row("a quantity above the ordered one fails", "ru_RU", BuyerIln, "12,000", "", "PCE",
            false);
        row("the buyer taking more passes a larger quantity", "ru_RU", BuyerTakingMore, "12,000",
            "", "PCE", true);
        row("an empty quantity fails", "ru_RU", BuyerIln, "", "", "PCE", false);
        row("5.000 is five under ru_RU", "ru_RU", BuyerIln, "5.000", "", "PCE", true);
        row("5,000 is five under ru_RU", "ru_RU", BuyerIln, "5,000", "", "PCE", true);
        row("5.000 is five under en_US", "en_US", BuyerIln, "5.000", "", "PCE", true);
        row("5,000 is five under en_US", "en_US", BuyerIln, "5,000", "", "PCE", true);
    }

    void lineCheck()
    {
        QFETCH(QString, locale);
        QFETCH(QString, partner);
        QFETCH(QString, confirmed);
        QFETCH(QString, price);
        QFETCH(QString, unit);
        freshProcess(locale);
        Editing e(partner, 1);
        Grid& lines = e.form.lines();
        lines.setText(1, ColOrdered, "10");
        lines.setText(1, ColConfirmed, confirmed);
        lines.setText(1, ColPrice, price);
        lines.setText(1, ColUnit, unit);
        QTEST(LineIsValid(e.form, 1), "valid");
        QVERIFY(e.messages.shown.isEmpty());
    }

    void headerCheck_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("dated");
        QTest::addColumn<bool>("passes");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("focused");
        const QString noNumber = QStringLiteral("В поле ‘Номер подтверждения’ не указана величина");
        const QString noDate = QStringLiteral("В поле ‘Дата подтверждения’ не указана величина");
        auto row = [](const char* name, QString number, bool dated, bool passes, QStringList shown,
                      QStringList focused) {
            QTest::newRow(name) << number << dated << passes << shown << focused;
        };
        row("a numbered and dated response passes", "Пз_1", true, true, {}, {});
        row("no number shows only the number message", "", true, false, {noNumber}, {});
        row("no number and no date still show only the number message", "", false, false,
            {noNumber}, {});
        row("no date shows the date message and focuses the date", "Пз_1", false, false, {noDate},
            {"txtDataPotw"});
    }

    void headerCheck()
    {
        QFETCH(QString, number);
        QFETCH(bool, dated);
        RecordingMessages messages;
        Confirmation form(messages);
        QSignalSpy focus(&form, &Confirmation::focusRequested);
        form.setField(Confirmation::Field::txtNrPotw, number);
        form.setTxtDataPotw(dated ? std::optional(QDate(2026, 12, 5)) : std::nullopt);
        QTEST(::headerCheck(form), "passes");
        QTEST(messages.texts(), "shown");
        QStringList focused;
        for (const QList<QVariant>& arguments : focus)
            focused.append(arguments.at(0).toString());
        QTEST(focused, "focused");
    }
};

QTEST_GUILESS_MAIN(TestEditing)
#include "tst_editing.moc"
