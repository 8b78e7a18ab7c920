#include "CoreTable.h"
#include "OnScreen.h"
#include "core/actions/CellEditor.h"

#include <QHeaderView>
#include <QScrollBar>

using namespace OnScreen;

class TestCellEditor : public QObject {
    Q_OBJECT
    std::unique_ptr<Screen> screen;

    bool show(int lines)
    {
        freshProcess();
        screen = std::make_unique<Screen>();
        return screen->show(order(lines)) && (chooseType(*screen, Change), true);
    }

private slots:
    void init() { QVERIFY(show(3)); }
    void cleanup() { screen.reset(); }

    // A click on line `row`'s cell, then a double click on it (row 0: on the column's header)
    // or the keys `typed` ("\r" is Enter); `text` is then the editor's, "" when it stays shut.
    void opening_data()
    {
        columns<int, int, int, QString, QString>("type", "row", "column", "typed", "text");
        auto row = [](const char* name, const char* typed, const char* text,
                      int column = ColConfirmed, int line = 1, int type = Change) {
            QTest::newRow(name) << type << line << column << typed << text;
        };
        row("a double click on the confirmed quantity opens it under a change", "", "10,000");
        row("Enter on the current confirmed quantity opens it", "\r", "20,000", ColConfirmed, 2);
        row("the confirmed quantity opens nothing under a refusal", "", "", ColConfirmed, 1,
            Refuse);
        row("the header of the confirmed quantity opens nothing", "", "", ColConfirmed, 0);
        row("the ordered quantity opens nothing", "", "", ColOrdered);
        row("a digit on the confirmed quantity opens the editor holding it", "7", "7");
        row("a minus sign opens the editor holding it", "-", "-");
        row("a plus sign opens the editor holding it", "+", "+");
        row("a comma opens the editor holding it", ",", ",");
        row("a point opens the editor holding it", ".", ".");
        row("a letter on the confirmed quantity opens nothing", "x", "");
        row("a digit under full acceptance opens nothing", "7", "", ColConfirmed, 1, Accept);
        row("a digit on the product code stays on its line", "4", "", ColEan);
        row("a digit on the product name keeps the row's height", "5", "", ColName);
        row("a letter on the unit stays on its line", "p", "", ColUnit);
    }
    void opening()
    {
        const auto [type, row, column, typed, text] =
            fetch<int, int, int, QString, QString>("type", "row", "column", "typed", "text");
        const int line = std::max(row, 1);
        chooseType(*screen, type);
        screen->clickCell(line, column, row > 0 && typed.isEmpty());
        const int height = screen->table()->rowHeight(line);

        QHeaderView* header = screen->table()->horizontalHeader();
        if (row == 0)
            QTest::mouseDClick(
                header->viewport(), Qt::LeftButton, {},
                {header->sectionViewportPosition(column) + 10, header->height() / 2});
        OnScreen::type(typed);

        QCOMPARE(screen->editorBox()->isVisible(), !text.isEmpty());
        QCOMPARE(
            (QList<int>{screen->form.lines().currentRow(), screen->table()->currentIndex().row(),
                        screen->form.lines().currentColumn(), screen->table()->rowHeight(line)}),
            (QList<int>{line, line, column, height}));
        if (!text.isEmpty()) {
            QCOMPARE(screen->editorBox()->text(), text);
            QCOMPARE(screen->editorBox()->cursorPosition(), text.size());
            QTRY_VERIFY(screen->editorBox()->hasFocus());
            QVERIFY(
                screen->table()->cellRect(row, column).contains(screen->editorBox()->geometry()));
        }
    }
    void doubleClickOnTheNameDoublesTheRowAndBack()
    {
        const int base = screen->table()->rowHeight(2);
        screen->clickCell(2, ColName, true);
        QCOMPARE(screen->table()->rowHeight(2), 2 * base);
        QVERIFY(!screen->editorBox()->isVisible());
        screen->clickCell(2, ColName, true);
        QCOMPARE(screen->table()->rowHeight(2), base);
    }

    void theEditButtonCommitsTheOpenValueFirst()
    {
        screen->clickCell(2, ColConfirmed, true);
        retype(screen->editorBox(), QStringLiteral("7"));
        QVERIFY(screen->editLine([](LineDialog& dialog) {
            QCOMPARE(child<QLineEdit>(dialog, "txtIloscPotw")->text(), QStringLiteral("7"));
            dialog.reject();
        }));
        QCOMPARE(screen->cell(2, ColConfirmed), QStringLiteral("7"));
        QCOMPARE(screen->total(), QStringLiteral("47,000"));
    }

    void editorFollowsTheCellWhenTheTableScrolls()
    {
        QVERIFY(show(60));
        QScrollBar* bar = screen->table()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        screen->clickCell(40, ColConfirmed, true);
        QVERIFY(screen->editorBox()->isVisible());
        QCOMPARE(screen->editorBox()->pos(), screen->table()->cellRect(40, ColConfirmed).topLeft());

        bar->setValue(bar->value() - 3 * screen->table()->rowHeight(1) - 5);

        QCOMPARE(screen->editorBox()->pos(), screen->table()->cellRect(40, ColConfirmed).topLeft());
        QVERIFY(screen->editorBox()->isVisible());
        QCOMPARE(screen->editorBox()->text(), QStringLiteral("400,000"));
    }

    // Rows give the key (0: a click on line 2's product code) and the current cell afterwards,
    // where Enter opens the editor or nothing. What keys commit is tst_editing's editorKeys'.
    void committing_data()
    {
        columns<int, QString, int, QString, QStringList, int, int, QString>(
            "row", "typed", "key", "cell", "messages", "toRow", "toColumn", "total");
        auto row = [](const char* name, int line, const char* typed, int key, const char* cell,
                      int toRow, const char* total, int toColumn = ColConfirmed,
                      const QStringList& messages = {}) {
            QTest::newRow(name) << line << typed << key << cell << messages << toRow << toColumn
                                << total;
        };
        row("5.5 and Enter commit 5,500 and move one line down", 1, "5.5", Qt::Key_Return, "5,500",
            2, "55,500");
        row("Down commits and moves one line down", 2, "4", Qt::Key_Down, "4,000", 3, "44,000");
        row("Up commits and moves one line up", 2, "4", Qt::Key_Up, "4,000", 1, "44,000");
        row("Esc drops the typed text and stays on the cell", 2, "4", Qt::Key_Escape, "20,000", 2,
            "60,000");
        row("a click on another line commits the value into its own line", 1, "3", 0, "3,000", 2,
            "53,000", ColEan);
        row("a click on another line refuses more than ordered", 1, "99", 0, "10,000", 2, "60,000",
            ColEan, {"Не возможно подтвердить большее, чем указано в заказе  количество товара"});
    }
    void committing()
    {
        const auto [row, typed, key, toRow, toColumn] =
            fetch<int, QString, int, int, int>("row", "typed", "key", "toRow", "toColumn");
        screen->clickCell(row, ColConfirmed, true);
        retype(screen->editorBox(), typed);

        if (key)
            press(Qt::Key(key));
        else
            screen->clickCell(2, ColEan);

        QTEST(screen->cell(row, ColConfirmed), "cell");
        QTEST(screen->messages.texts(), "messages");
        QCOMPARE(screen->form.lines().currentRow(), toRow);
        QCOMPARE(screen->form.lines().currentColumn(), toColumn);
        QCOMPARE(screen->table()->currentIndex(), screen->form.lines().index(toRow, toColumn));
        QTEST(screen->total(), "total");
        QCOMPARE(screen->form.validLineCount(), int16_t(3));
        QVERIFY(!screen->editorBox()->isVisible());
        QTRY_VERIFY(screen->table()->hasFocus());

        press(Qt::Key_Return);
        QCOMPARE(screen->editorBox()->isVisible(), toColumn == ColConfirmed);
        QCOMPARE(screen->form.editor().row(), toColumn == ColConfirmed ? toRow : row);
    }

    // A clerk confirms a long order without the mouse: Enter opens the quantity, Enter commits
    // it and goes one line down; a number typed straight onto the table opens the editor.
    void keysAloneConfirmAnOrder()
    {
        const int count = 20;
        QVERIFY(show(count));
        screen->clickCell(1, ColConfirmed);
        press(Qt::Key_Return);
        press(Qt::Key_A, Qt::ControlModifier);
        type(QStringLiteral("9"));
        press(Qt::Key_Up);
        press(Qt::Key_Return);
        type(QStringLiteral("5"));
        press(Qt::Key_Escape);
        QCOMPARE(screen->cell(1, ColConfirmed), QStringLiteral("9,000"));

        for (int n = 1; n <= count; ++n) {
            if (n % 2) {
                press(Qt::Key_Return);
                QVERIFY2(screen->editorBox()->hasFocus(), qPrintable(QString::number(n)));
                press(Qt::Key_A, Qt::ControlModifier);
            }
            type(QString::number(n));
            QVERIFY2(screen->editorBox()->isVisible(), qPrintable(QString::number(n)));
            QCOMPARE(screen->form.editor().row(), n);
            press(Qt::Key_Return);
            QVERIFY2(screen->table()->hasFocus(), qPrintable(QString::number(n)));
            QCOMPARE(screen->form.lines().currentRow(), std::min(n + 1, count));
            QCOMPARE(screen->form.lines().currentColumn(), int(ColConfirmed));
        }

        for (int n = 1; n <= count; ++n)
            QCOMPARE(screen->cell(n, ColConfirmed), QString::number(n) + ",000");
        QCOMPARE(screen->total(), QStringLiteral("210,000"));
        QVERIFY(screen->messages.shown.isEmpty());
    }
};

QTEST_MAIN(TestCellEditor)
#include "tst_celleditor.moc"
