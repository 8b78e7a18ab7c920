#include "AppTest.h"
#include "CoreTable.h"

#include "app/host/DraftsDialog.h"
#include "app/host/FillFromFile.h"
#include "app/host/FillReportDialog.h"
#include "app/host/FindBar.h"
#include "app/print/PrintCommands.h"

#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTreeWidget>

using namespace OnScreen;
using Act = std::function<void(WindowWithOrder&)>;
Q_DECLARE_METATYPE(Act)

namespace {

// A warehouse's list of one line in the folder, whose fill report is closed once shown.
QString stockList(WindowWithOrder& w, const QTemporaryDir& dir)
{
    const QString list = dir.filePath("stock.csv");
    if (!writeFile(list, "EAN;Количество\n4601234500001;4\n"))
        return {};
    whenShown<FillReportDialog>(w.window.control(),
                                [](FillReportDialog& report) { return report.close(); });
    return list;
}

// The window open on an order of three lines, `text` typed onto line `row` and kept.
bool typedOnto(WindowWithOrder& w, int row, const QString& text)
{
    return w.open(3) && (w.typeQuantity(row, text), w->keeper().watcher().settle());
}

} // namespace

class TestRoughEdges : public QObject {
    Q_OBJECT
private:
    UserHome m_home;
    OnScreen::BoxAnswerer m_boxes;

private slots:
    void initTestCase()
    {
        QVERIFY(setUpSellerAndBuyer(m_home));
        m_boxes.answer = QMessageBox::Ok;
    }
    void init()
    {
        freshProcess();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_home.config());
    }

    // The window's undo and redo keys work in the date and time fields, which have no undo.
    void undoKeysWorkInTheDateAndTimeFields_data()
    {
        columns<QString, QKeySequence>("field", "redo");
        QTest::newRow("Ctrl+Z and Ctrl+Shift+Z in the delivery date")
            << "txtDataDost" << QKeySequence("Ctrl+Shift+Z");
        QTest::newRow("Ctrl+Z and Ctrl+Y in the delivery time")
            << "txtCzasDost" << QKeySequence("Ctrl+Y");
        QTest::newRow("Ctrl+Z and Ctrl+Y in the confirmation date")
            << "txtDataPotw" << QKeySequence("Ctrl+Y");
    }
    void undoKeysWorkInTheDateAndTimeFields()
    {
        const auto [field, redo] = fetch<QString, QKeySequence>("field", "redo");
        WindowWithOrder w;
        QVERIFY(typedOnto(w, 1, "5"));
        w->control()->findChild<QWidget*>(field)->setFocus();
        press(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.cell(1), "10,000");
        QTest::keySequence(QApplication::focusWidget(), redo);
        QCOMPARE(w.cell(1), "5,000");
    }

    // After each of these the clerk goes on typing quantities in the table.
    void theFocusGoesBackToTheTable_data()
    {
        QTest::addColumn<Act>("act");
        QTest::newRow("undoing from the menu while a quantity is typed")
            << Act([](WindowWithOrder& w) {
                   type("7");
                   QMenuBar* bar = w->menuBar();
                   QAction* edit = bar->actions().at(1);
                   QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(edit).center());
                   QMenu* menu = edit->menu();
                   QTRY_VERIFY(menu->isVisible());
                   QAction* undo = w->findChild<QAction*>("actionUndo");
                   QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(undo).center());
                   QCOMPARE(w.cell(1), "10,000");
               });
        QTest::newRow("closing the line dialog") << Act([](WindowWithOrder& w) {
            whenShown<LineDialog>(w.window.control(),
                                  [](LineDialog& dialog) { return dialog.close(); });
            QTest::mouseClick(w->control()->button("btnEdytuj"), Qt::LeftButton);
        });
        QTest::newRow("a message box about the typed value") << Act([](WindowWithOrder& w) {
            w.typeQuantity(2, "100");
            QTRY_VERIFY(!QApplication::activeModalWidget());
        });
        QTest::newRow("closing the fill report") << Act([](WindowWithOrder& w) {
            QTemporaryDir dir;
            const QString list = stockList(w, dir);
            whenShown<QFileDialog>(w.window.control(), [list](QFileDialog& dialog) {
                // The clerk types the file's whole name and presses Enter.
                dialog.findChild<QLineEdit*>("fileNameEdit")->setText(list);
                QMetaObject::invokeMethod(&dialog, "accept");
                return !dialog.isVisible(); // else again, once the dialog knows the file
            });
            w->findChild<QAction*>("actionFill")->trigger();
        });
        QTest::newRow("restoring a draft from the bar above the control")
            << Act([](WindowWithOrder& w) {
                   whenShown<DraftsDialog>(w.window.control(), [](DraftsDialog& dialog) {
                       QTreeWidget* list = dialog.list();
                       for (int i = 0; i < list->topLevelItemCount(); ++i) {
                           list->setCurrentItem(list->topLevelItem(i));
                           if (!dialog.chosenId().isEmpty())
                               break;
                       }
                       dialog.accept();
                       return true;
                   });
                   QTest::mouseClick(w->draftsBar()->findChild<QPushButton*>("showDrafts"),
                                     Qt::LeftButton);
               });
    }
    void theFocusGoesBackToTheTable()
    {
        QFETCH(Act, act);
        {
            // A draft of another confirmation, for the window to restore.
            WindowWithOrder earlier;
            QVERIFY(typedOnto(earlier, 3, "1"));
        }
        WindowWithOrder w;
        QVERIFY(typedOnto(w, 1, "5"));
        w->goToLine(2);
        act(w);
        // The window's own focus: where the keys go once it is the active window again.
        QTRY_COMPARE(w->focusWidget(), static_cast<QWidget*>(w->control()->linesView()));
    }

    // Enter on a hit makes its quantity the current cell; the bar counts hits and wraps.
    void enterOnAHitTakesTheClerkToTheLine()
    {
        WindowWithOrder w;
        QVERIFY(w.open(30));
        w->goToLine(1);
        press(Qt::Key_F, Qt::ControlModifier);
        QVERIFY(w->findBar()->field()->hasFocus());
        type("0002"); // the EANs of lines 2 and 20 to 29
        press(Qt::Key_Return);
        const auto hit = [&w] {
            return std::pair{int(w->form().lines().currentRow()), w->findBar()->countText()};
        };
        QCOMPARE(hit(), std::pair(2, QString("1 из 11")));
        type("5");
        press(Qt::Key_Return);
        QCOMPARE(w.cell(2), "5,000");
        QCOMPARE(w->findBar()->field()->text(), "0002");

        press(Qt::Key_F3);
        QCOMPARE(hit(), std::pair(20, QString("2 из 11")));
        w->goToLine(29);
        press(Qt::Key_F3);
        QCOMPARE(hit(), std::pair(2, QString("1 из 11, поиск продолжен с начала")));
        press(Qt::Key_F, Qt::ControlModifier);
        type("xyz");
        press(Qt::Key_Return);
        QVERIFY(w->findBar()->findChild<QLabel*>("findNotFound")->isVisible());
        QCOMPARE(w->form().lines().currentRow(), 2);
    }

    void theListDialogOpensInTheFolderOfTheLastList()
    {
        WindowWithOrder w;
        QVERIFY(w.open(2));
        QTemporaryDir dir;
        const QString list = stockList(w, dir);
        FillFromFile::run(&w.window, w->form(), w->form().messages(), list);
        QString opened;
        whenShown<QFileDialog>(w.window.control(), [&opened](QFileDialog& dialog) {
            opened = dialog.directory().absolutePath();
            return dialog.close();
        });
        w->findChild<QAction*>("actionFill")->trigger();
        QCOMPARE(opened, QDir(dir.path()).absolutePath());
    }

    // A preference the user's settings cannot take costs nothing but itself: it is said on
    // standard error, one line each, and what the clerk did is done.
    void aPreferenceTheSettingsCannotTakeIsSaid_data()
    {
        columns<Act, QStringList>("act", "said");
        QTest::newRow("the folder of a list filled from") << Act([](WindowWithOrder& w) {
            QTemporaryDir dir;
            FillFromFile::run(&w.window, w->form(), w->form().messages(), stockList(w, dir));
            QCOMPARE(w.cell(1), "4,000");
        }) << QStringList{"папка списков количеств"};
        QTest::newRow("the folder of a PDF written") << Act([](WindowWithOrder& w) {
            QTemporaryDir dir;
            const QString pdf = dir.filePath("out.pdf");
            QCOMPARE(PrintCommands::exportPdf(&w.window, w->form(), w->form().messages(), pdf),
                     pdf);
        }) << QStringList{"папка файлов PDF"};
        QTest::newRow("where the window stood and the changes panel, as it closes")
            << Act([](WindowWithOrder& w) { QVERIFY(w->close()); })
            << QStringList{"место окна", "панель изменений"};
    }
    void aPreferenceTheSettingsCannotTakeIsSaid()
    {
        const auto [act, said] = fetch<Act, QStringList>("act", "said");
        WindowWithOrder w;
        QVERIFY(w.open(2));
        // The settings' folder would be below a plain file: nothing can make it.
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("file"), ""));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("file"));
        for (const QString& what : said)
            QTest::ignoreMessage(
                QtWarningMsg, qPrintable("Настройка «" + what + "» не запомнена: файл настроек " +
                                         dir.filePath("file/WEXA.conf") + " не записан"));
        QTest::failOnWarning(QRegularExpression("не запомнена"));
        act(w);
        // Back before the window goes, which frees its place in the settings.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_home.config());
    }

    void theTitleNamesTheOrderAndASecondWindowStandsApart()
    {
        WindowWithOrder first;
        QVERIFY(first.open(2));
        QCOMPARE(first->windowTitle(), "Заказ ZK-7, АО Покупатель — WEXA");
        WindowWithOrder second;
        QVERIFY(second.open(2));
        const QPoint apart = second->geometry().topLeft() - first->geometry().topLeft();
        QVERIFY2(apart.x() > 0 && apart.y() > 0, qPrintable(QDebug::toString(apart)));
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(available.contains(second->geometry().topLeft()));
        second->close();
        first->close();
        // Both closed, the next window takes the remembered place again.
        WindowWithOrder third;
        QVERIFY(third.open(2));
        QCOMPARE(third->geometry().topLeft(), first->geometry().topLeft());
    }

    // A scanner typing quantities with no pause still makes each commit a step.
    void eachCommitIsOneUndoStepHoweverFast()
    {
        WindowWithOrder w;
        QVERIFY(w.open(5));
        w->goToLine(1);
        for (int row = 1; row <= 4; ++row) {
            type(QString::number(row));
            press(Qt::Key_Return);
        }
        QVERIFY(w->keeper().watcher().settle());
        QCOMPARE(w->keeper().undoStack().count(), 4);
        press(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.cell(4), "40,000");
        QCOMPARE(w.cell(3), "3,000");
    }
};

QTEST_MAIN(TestRoughEdges)
#include "tst_roughedges.moc"
