#include "CoreTable.h"
#include "OnScreen.h"
#include "TestSupport.h"
#include "core/actions/CellEditor.h"

#include <QHeaderView>
#include <QScrollBar>

using namespace OnScreen;

class TestCellEditor : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(QStringLiteral("ru_RU")); }

    void opening_data()
    {
        // `row` 0: the header; `enter`: Enter on the current cell instead of a double click.
        columns<int, int, int, bool, bool>("type", "row", "column", "enter", "opens");
        auto row = [](const char* name, bool opens, int line, bool enter = false,
                      int column = ColConfirmed, int type = Change) {
            QTest::newRow(name) << type << line << column << enter << opens;
        };
        row("a double click on the confirmed quantity opens it under a change", true, 1);
        row("Enter on the current confirmed quantity opens it", true, 2, true);
        row("the confirmed quantity opens nothing under a refusal", false, 1, false, ColConfirmed,
            Refuse);
        row("the header of the confirmed quantity opens nothing", false, 0);
        row("the ordered quantity opens nothing", false, 1, false, ColOrdered);
    }
    void opening()
    {
        const auto [type, row, column, enter, opens] =
            fetch<int, int, int, bool, bool>("type", "row", "column", "enter", "opens");
        Screen screen;
        QVERIFY(screen.show(order(3)));
        chooseType(screen, type);

        QHeaderView* header = screen.table()->horizontalHeader();
        if (row == 0) {
            QTest::mouseDClick(
                header->viewport(), Qt::LeftButton, {},
                {header->sectionViewportPosition(column) + 10, header->height() / 2});
        } else {
            screen.clickCell(row, column, !enter);
            if (enter)
                QTest::keyClick(screen.table(), Qt::Key_Return);
        }

        QCOMPARE(screen.editorBox()->isVisible(), opens);
        if (opens) {
            QCOMPARE(screen.editorBox()->text(), QString::number(10 * row) + ",000");
            QCOMPARE(screen.editorBox()->cursorPosition(), screen.editorBox()->text().size());
            QTRY_VERIFY(screen.editorBox()->hasFocus());
            QVERIFY(screen.table()->cellRect(row, column).contains(screen.editorBox()->geometry()));
        }
    }

    void doubleClickOnTheNameDoublesTheRowAndBack()
    {
        Screen screen;
        QVERIFY(screen.show(order(3)));
        chooseType(screen, Change);
        const int base = screen.table()->rowHeight(2);
        screen.clickCell(2, ColName, true);
        QCOMPARE(screen.table()->rowHeight(2), 2 * base);
        QVERIFY(!screen.editorBox()->isVisible());
        screen.clickCell(2, ColName, true);
        QCOMPARE(screen.table()->rowHeight(2), base);
    }

    void theEditButtonCommitsTheOpenValueFirst()
    {
        Screen screen;
        QVERIFY(screen.show(order(3)));
        chooseType(screen, Change);
        screen.clickCell(2, ColConfirmed, true);
        QTest::keyClick(screen.editorBox(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(screen.editorBox(), QStringLiteral("7"));
        QString shown;
        screen.editLine([&](LineDialog& dialog) {
            shown = child<QLineEdit>(dialog, "txtIloscPotw")->text();
            dialog.reject();
        });
        QCOMPARE(shown, QStringLiteral("7"));
        QCOMPARE(screen.cell(2, ColConfirmed), QStringLiteral("7"));
        QCOMPARE(screen.total(), QStringLiteral("47,000"));
    }

    void editorFollowsTheCellWhenTheTableScrolls()
    {
        Screen screen;
        QVERIFY(screen.show(order(60)));
        chooseType(screen, Change);
        QScrollBar* bar = screen.table()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        screen.clickCell(40, ColConfirmed, true);
        QVERIFY(screen.editorBox()->isVisible());
        QCOMPARE(screen.editorBox()->pos(), screen.table()->cellRect(40, ColConfirmed).topLeft());

        bar->setValue(bar->value() - 3 * screen.table()->rowHeight(1) - 5);

        QCOMPARE(screen.editorBox()->pos(), screen.table()->cellRect(40, ColConfirmed).topLeft());
        QVERIFY(screen.editorBox()->isVisible());
        QCOMPARE(screen.editorBox()->text(), QStringLiteral("400,000"));
    }

    // Rows give the key, or 0 for a click on the product code of line 2, and where the
    // current cell is afterwards: the next Enter opens the editor there, or nothing. What
    // each key commits, and the quantity rules, are the core's: tst_editing's editorKeys.
    void committing_data()
    {
        columns<int, QString, int, QString, QStringList, int, int, QString>(
            "row", "typed", "key", "cell", "messages", "currentRow", "currentColumn", "total");
        const QStringList quantity{
            "Не возможно подтвердить большее, чем указано в заказе  количество товара"};
        auto row = [](const char* name, int line, const char* typed, int key, const char* cell,
                      int currentRow, const char* total, int currentColumn = ColConfirmed,
                      const QStringList& messages = {}) {
            QTest::newRow(name) << line << typed << key << cell << messages << currentRow
                                << currentColumn << total;
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
            ColEan, quantity);
    }
    void committing()
    {
        const auto [row, typed, key, currentRow, currentColumn] =
            fetch<int, QString, int, int, int>("row", "typed", "key", "currentRow",
                                               "currentColumn");
        Screen screen;
        QVERIFY(screen.show(order(3)));
        chooseType(screen, Change);
        screen.clickCell(row, ColConfirmed, true);
        QTest::keyClick(screen.editorBox(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(screen.editorBox(), typed);

        if (key)
            press(Qt::Key(key));
        else
            screen.clickCell(2, ColEan);

        QTEST(screen.cell(row, ColConfirmed), "cell");
        QTEST(screen.messages.texts(), "messages");
        QCOMPARE(screen.form.lines().currentRow(), currentRow);
        QCOMPARE(screen.table()->currentIndex().row(), currentRow);
        QCOMPARE(screen.form.lines().currentColumn(), currentColumn);
        QCOMPARE(screen.table()->currentIndex().column(), currentColumn);
        QTEST(screen.total(), "total");
        QCOMPARE(screen.form.validLineCount(), int16_t(3));
        QVERIFY(!screen.editorBox()->isVisible());
        QTRY_VERIFY(screen.table()->hasFocus());

        press(Qt::Key_Return);
        QCOMPARE(screen.editorBox()->isVisible(), currentColumn == ColConfirmed);
        QCOMPARE(screen.form.editor().row(), currentColumn == ColConfirmed ? currentRow : row);
    }

    // A clerk confirms a long order without the mouse: Enter opens the quantity, the typed
    // value and Enter commit it and go one line down; a number typed straight onto the
    // table opens the editor with it.
    void keysAloneConfirmAnOrder()
    {
        const int count = 20;
        Screen screen;
        QVERIFY(screen.show(order(count)));
        chooseType(screen, Change);
        screen.clickCell(1, ColConfirmed);
        press(Qt::Key_Return);
        press(Qt::Key_A, Qt::ControlModifier);
        type(QStringLiteral("9"));
        press(Qt::Key_Up);
        press(Qt::Key_Return);
        type(QStringLiteral("5"));
        press(Qt::Key_Escape);
        QCOMPARE(screen.cell(1, ColConfirmed), QStringLiteral("9,000"));

        for (int n = 1; n <= count; ++n) {
            const QByteArray line = QByteArray::number(n);
            if (n % 2) {
                press(Qt::Key_Return);
                QVERIFY2(screen.editorBox()->hasFocus(), line);
                press(Qt::Key_A, Qt::ControlModifier);
            }
            type(QString::number(n));
            QVERIFY2(screen.editorBox()->isVisible(), line);
            QCOMPARE(screen.form.editor().row(), n);
            press(Qt::Key_Return);
            QVERIFY2(screen.table()->hasFocus(), line);
            QCOMPARE(screen.form.lines().currentRow(), std::min(n + 1, count));
            QCOMPARE(screen.form.lines().currentColumn(), int(ColConfirmed));
        }

        for (int n = 1; n <= count; ++n)
            QCOMPARE(screen.cell(n, ColConfirmed), QString::number(n) + ",000");
        QCOMPARE(screen.total(), QStringLiteral("210,000"));
        QVERIFY(screen.messages.shown.isEmpty());
    }

    void typingOnTheTable_data()
    {
        columns<int, int, QString, bool>("type", "column", "typed", "opens");
        auto row = [](const char* name, const char* typed, bool opens, int column = ColConfirmed,
                      int type = Change) {
            QTest::newRow(name) << type << column << typed << opens;
        };
        row("a digit on the confirmed quantity opens the editor holding it", "7", true);
        row("a minus sign opens the editor holding it", "-", true);
        row("a plus sign opens the editor holding it", "+", true);
        row("a comma opens the editor holding it", ",", true);
        row("a point opens the editor holding it", ".", true);
        row("a letter on the confirmed quantity opens nothing", "x", false);
        row("a digit under full acceptance opens nothing", "7", false, ColConfirmed, Accept);
        row("a digit on the product code stays on its line", "4", false, ColEan);
        row("a digit on the product name keeps the row's height", "5", false, ColName);
        row("a letter on the unit stays on its line", "p", false, ColUnit);
    }
    void typingOnTheTable()
    {
        const auto [type, column, typed, opens] =
            fetch<int, int, QString, bool>("type", "column", "typed", "opens");
        Screen screen;
        QVERIFY(screen.show(order(3)));
        chooseType(screen, type);
        screen.clickCell(1, column);
        const int height = screen.table()->rowHeight(1);

        OnScreen::type(typed);

        QCOMPARE(screen.editorBox()->isVisible(), opens);
        QCOMPARE(screen.form.lines().currentRow(), 1);
        QCOMPARE(screen.table()->currentIndex().row(), 1);
        QCOMPARE(screen.form.lines().currentColumn(), column);
        QCOMPARE(screen.table()->rowHeight(1), height);
        if (opens) {
            QCOMPARE(screen.editorBox()->text(), typed);
            QCOMPARE(screen.editorBox()->cursorPosition(), 1);
            QTRY_VERIFY(screen.editorBox()->hasFocus());
        }
    }
};

QTEST_MAIN(TestCellEditor)
#include "tst_celleditor.moc"
