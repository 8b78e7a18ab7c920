#include "TestSupport.h"
#include "ui_onscreen.h"

#include <QHeaderView>
#include <QScrollBar>

using namespace OnScreen;

class TestCellEditor : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(QStringLiteral("ru_RU")); }

    void opening_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("row"); // 0: the header
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("enter"); // Enter on the current cell instead of a double click
        QTest::addColumn<bool>("opens");
        QTest::newRow("a double click on the confirmed quantity opens it under a change")
            << int(Change) << 1 << int(ColConfirmed) << false << true;
        QTest::newRow("Enter on the current confirmed quantity opens it")
            << int(Change) << 2 << int(ColConfirmed) << true << true;
        QTest::newRow("the confirmed quantity opens nothing under a refusal")
            << int(Refuse) << 1 << int(ColConfirmed) << false << false;
        QTest::newRow("the header of the confirmed quantity opens nothing")
            << int(Change) << 0 << int(ColConfirmed) << false << false;
        QTest::newRow("the ordered quantity opens nothing")
            << int(Change) << 1 << int(ColOrdered) << false << false;
    }
    void opening()
    {
        QFETCH(int, type);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(bool, enter);
        QFETCH(bool, opens);
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

    void committing_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key"); // 0: a click on the product code of line 2
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("currentRow");
        QTest::addColumn<QString>("total");
        const QStringList none;
        const QStringList quantity{
            "Не возможно подтвердить большее, чем указано в заказе  количество товара"};
        QTest::newRow("5.5 and Enter commit 5,500 and move one line down")
            << 1 << "5.5" << int(Qt::Key_Return) << "5,500" << none << 2 << "55,500";
        QTest::newRow("Up commits and moves one line up")
            << 2 << "4" << int(Qt::Key_Up) << "4,000" << none << 1 << "44,000";
        QTest::newRow("more than ordered shows the quantity message and keeps the cell")
            << 1 << "11" << int(Qt::Key_Return) << "10,000" << quantity << 2 << "60,000";
        QTest::newRow("letters show only the number message and keep the cell")
            << 1 << "abc" << int(Qt::Key_Return) << "10,000"
            << QStringList{"Неправильная нумерическая величина."} << 2 << "60,000";
        QTest::newRow("Esc drops the typed text")
            << 2 << "4" << int(Qt::Key_Escape) << "20,000" << none << 2 << "60,000";
        QTest::newRow("a click on another line commits the value into its own line")
            << 1 << "3" << 0 << "3,000" << none << 2 << "53,000";
        QTest::newRow("a click on another line refuses more than ordered")
            << 1 << "99" << 0 << "10,000" << quantity << 2 << "60,000";
    }
    void committing()
    {
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(int, currentRow);
        Screen screen;
        QVERIFY(screen.show(order(3)));
        chooseType(screen, Change);
        screen.clickCell(row, ColConfirmed, true);
        QTest::keyClick(screen.editorBox(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(screen.editorBox(), typed);

        if (key)
            QTest::keyClick(screen.editorBox(), Qt::Key(key));
        else
            screen.clickCell(2, ColEan);

        QTEST(screen.cell(row, ColConfirmed), "cell");
        QTEST(screen.messages.texts(), "messages");
        QCOMPARE(screen.form.lines().currentRow(), currentRow);
        QCOMPARE(screen.table()->currentIndex().row(), currentRow);
        QTEST(screen.total(), "total");
        QCOMPARE(screen.form.validLineCount(), int16_t(3));
        QVERIFY(!screen.editorBox()->isVisible());
        QTRY_VERIFY(screen.table()->hasFocus());
    }
};

QTEST_MAIN(TestCellEditor)
#include "tst_celleditor.moc"
