#include "TestSupport.h"
#include "ui_onscreen.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

using namespace OnScreen;

namespace {
const QString NumberMessage = QStringLiteral("Неправильная нумерическая величина.");
const QString QuantityMessage =
    QStringLiteral("Не возможно подтвердить большее, чем указано в заказе  количество товара");
} // namespace

class TestCellEditor : public QObject {
    Q_OBJECT
private slots:
    void init() { freshProcess(QStringLiteral("ru_RU")); }
    void cleanup() { closeModalWindows(); }

    void doubleClickOpens_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("row"); // 0: the header
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("opens");
        QTest::newRow("the confirmed quantity opens under a change")
            << 3 << int(Change) << 1 << int(ColConfirmed) << true;
        QTest::newRow("the confirmed quantity opens nothing under a refusal")
            << 3 << int(Refuse) << 1 << int(ColConfirmed) << false;
        QTest::newRow("the confirmed quantity opens nothing under full acceptance")
            << 3 << int(Accept) << 1 << int(ColConfirmed) << false;
        QTest::newRow("the header of the confirmed quantity opens nothing")
            << 3 << int(Change) << 0 << int(ColConfirmed) << false;
        QTest::newRow("the ordered quantity opens nothing")
            << 3 << int(Change) << 1 << int(ColOrdered) << false;
        QTest::newRow("an order without lines opens nothing")
            << 0 << int(Change) << 1 << int(ColConfirmed) << false;
    }
    void doubleClickOpens()
    {
        QFETCH(int, lines);
        QFETCH(int, type);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(bool, opens);
        Screen screen;
        screen.load(order(lines));
        QVERIFY(screen.show());
        chooseType(screen, type);

        if (row == 0) {
            QHeaderView* header = screen.table()->horizontalHeader();
            const QPoint at(header->sectionViewportPosition(column) + 10, header->height() / 2);
            QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, at);
        } else {
            screen.doubleClickCell(row, column);
        }

        QCOMPARE(screen.editorBox()->isVisible(), opens);
        if (opens) {
            QCOMPARE(screen.editorBox()->text(), QStringLiteral("10,000"));
            QTRY_VERIFY(screen.editorBox()->hasFocus());
            QVERIFY(screen.table()->cellRect(row, column).contains(screen.editorBox()->geometry()));
        }
    }

    void doubleClickOnTheNameTogglesDoubleHeight()
    {
        Screen screen;
        screen.load(order(2));
        QVERIFY(screen.show());
        chooseType(screen, Change);
        const int base = screen.table()->rowHeight(1);

        screen.doubleClickCell(1, ColName);
        QCOMPARE(screen.form.lines().rowHeight(1), 2 * screen.form.baseRowHeight());
        QVERIFY(screen.table()->rowHeight(1) >= 2 * base - 1);
        QCOMPARE(screen.table()->rowHeight(2), base);

        screen.doubleClickCell(1, ColName);
        QCOMPARE(screen.table()->rowHeight(1), base);
        QVERIFY(!screen.editorBox()->isVisible());
    }

    void enterOnTheTableOpensTheCurrentCell()
    {
        Screen screen;
        screen.load(order(3));
        QVERIFY(screen.show());
        chooseType(screen, Change);
        screen.clickCell(2, ColConfirmed);

        QTest::keyClick(screen.table(), Qt::Key_Return);

        QVERIFY(screen.editorBox()->isVisible());
        QCOMPARE(screen.editorBox()->text(), QStringLiteral("20,000"));
        QVERIFY(screen.table()->cellRect(2, ColConfirmed).contains(screen.editorBox()->geometry()));
    }

    void editorFollowsTheCellWhenTheTableScrolls()
    {
        Screen screen;
        screen.load(order(60));
        QVERIFY(screen.show());
        chooseType(screen, Change);
        QScrollBar* bar = screen.table()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);

        screen.doubleClickCell(40, ColConfirmed);
        QVERIFY(screen.editorBox()->isVisible());
        QCOMPARE(screen.editorBox()->pos(), screen.table()->cellRect(40, ColConfirmed).topLeft());

        bar->setValue(bar->value() - 3 * screen.table()->rowHeight(1) - 5);
        QCOMPARE(screen.editorBox()->pos(), screen.table()->cellRect(40, ColConfirmed).topLeft());
        QVERIFY(screen.editorBox()->isVisible());
        QCOMPARE(screen.editorBox()->text(), QStringLiteral("400,000"));
    }

    void keysCommit_data()
    {
        QTest::addColumn<QString>("partner");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("currentRow");
        QTest::addColumn<QString>("total");
        const QStringList none;
        QTest::newRow("5.5 and Enter commit 5,500 and move one line down")
            << BuyerIln << 1 << "5.5" << int(Qt::Key_Return) << "5,500" << none << 2 << "55,500";
        QTest::newRow("Enter on the last line commits and keeps the line")
            << BuyerIln << 3 << "7" << int(Qt::Key_Return) << "7,000" << none << 3 << "37,000";
        QTest::newRow("Down commits and moves one line down")
            << BuyerIln << 2 << "4" << int(Qt::Key_Down) << "4,000" << none << 3 << "44,000";
        QTest::newRow("Up commits and moves one line up")
            << BuyerIln << 2 << "4" << int(Qt::Key_Up) << "4,000" << none << 1 << "44,000";
        QTest::newRow("Up on the first line commits and keeps the line")
            << BuyerIln << 1 << "4" << int(Qt::Key_Up) << "4,000" << none << 1 << "54,000";
        QTest::newRow("more than ordered shows the quantity message and keeps the cell")
            << BuyerIln << 1 << "11" << int(Qt::Key_Return) << "10,000"
            << QStringList{QuantityMessage} << 2 << "60,000";
        QTest::newRow("more than ordered is taken from the buyer who accepts it")
            << AcceptsMore << 1 << "11" << int(Qt::Key_Return) << "11,000" << none << 2 << "61,000";
        QTest::newRow("letters show only the number message and keep the cell")
            << BuyerIln << 1 << "abc" << int(Qt::Key_Return) << "10,000"
            << QStringList{NumberMessage} << 2 << "60,000";
        QTest::newRow("Esc drops the typed text")
            << BuyerIln << 2 << "4" << int(Qt::Key_Escape) << "20,000" << none << 2 << "60,000";
    }
    void keysCommit()
    {
        QFETCH(QString, partner);
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QString, cell);
        QFETCH(QStringList, messages);
        QFETCH(int, currentRow);
        QFETCH(QString, total);
        Screen screen;
        screen.load(order(3), partner);
        QVERIFY(screen.show());
        chooseType(screen, Change);
        screen.typeInto(row, typed);

        QTest::keyClick(screen.editorBox(), Qt::Key(key));

        QCOMPARE(screen.cell(row, ColConfirmed), cell);
        QCOMPARE(screen.messages.texts(), messages);
        QCOMPARE(screen.form.lines().currentRow(), currentRow);
        QCOMPARE(screen.table()->currentIndex().row(), currentRow);
        QCOMPARE(screen.total(), total);
        QCOMPARE(screen.form.validLineCount(), int16_t(3));
        QVERIFY(!screen.editorBox()->isVisible());
        QTRY_VERIFY(screen.table()->hasFocus());
    }

    void clickingAnotherCellCommits_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("a valid value is committed") << "3"
                                                    << "3,000" << QStringList();
        QTest::newRow("more than ordered is refused before the commit")
            << "99"
            << "10,000" << QStringList{QuantityMessage};
    }
    void clickingAnotherCellCommits()
    {
        QFETCH(QString, typed);
        QFETCH(QString, cell);
        QFETCH(QStringList, messages);
        Screen screen;
        screen.load(order(3));
        QVERIFY(screen.show());
        chooseType(screen, Change);
        screen.typeInto(1, typed);

        screen.clickCell(2, ColEan);

        QCOMPARE(screen.cell(1, ColConfirmed), cell);
        QCOMPARE(screen.messages.texts(), messages);
        QVERIFY(!screen.editorBox()->isVisible());
        QCOMPARE(screen.form.lines().currentRow(), 2);
        QCOMPARE(screen.cell(2, ColConfirmed), QStringLiteral("20,000"));
    }

    void lineButtonsCommitTheOpenValueFirst_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("total");
        QTest::newRow("the edit button") << "btnEdytuj" << 1 << "54,000";
        QTest::newRow("the remove button, into the line it removes") << "btnUsun" << 2 << "40,000";
    }
    void lineButtonsCommitTheOpenValueFirst()
    {
        QFETCH(QString, button);
        QFETCH(int, row);
        QFETCH(QString, total);
        Screen screen;
        screen.load(order(3));
        QVERIFY(screen.show());
        chooseType(screen, Change);
        screen.typeInto(row, QStringLiteral("4"));
        QString shown;
        WhenLineDialogShows dialog([&](LineDialog& d) {
            shown = child<QLineEdit>(d, "txtIloscPotw")->text();
            d.reject();
        });

        screen.click(button);
        screen.clickCell(2, ColEan);

        QVERIFY(!screen.editorBox()->isVisible());
        QCOMPARE(screen.total(), total);
        if (button == QLatin1String("btnEdytuj"))
            QCOMPARE(shown, screen.cell(row, ColConfirmed));
        else
            QCOMPARE(screen.cell(2, ColConfirmed), QStringLiteral("30,000"));
    }

    // Letters committed by a button are not checked: the line fails until a valid value
    // is entered again.
    void validLineCountFollowsEveryCommit()
    {
        Screen screen;
        screen.load(order(3));
        QVERIFY(screen.show());
        chooseType(screen, Change);
        screen.typeInto(1, QStringLiteral("x"));
        WhenLineDialogShows dialog([](LineDialog& d) { d.reject(); });
        screen.click(QStringLiteral("btnEdytuj"));
        QVERIFY(dialog.done());
        QCOMPARE(screen.cell(1, ColConfirmed), QStringLiteral("x"));
        QCOMPARE(screen.form.validLineCount(), int16_t(2));

        screen.typeInto(1, QStringLiteral("2"));
        QTest::keyClick(screen.editorBox(), Qt::Key_Return);

        QCOMPARE(screen.cell(1, ColConfirmed), QStringLiteral("2,000"));
        QCOMPARE(screen.form.validLineCount(), int16_t(3));
        QCOMPARE(screen.total(), QStringLiteral("52,000"));
    }
};

QTEST_MAIN(TestCellEditor)
#include "tst_celleditor.moc"
