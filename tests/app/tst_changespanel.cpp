#include "AppTest.h"

#include "app/host/ChangesPanel.h"

#include <QTableView>

using namespace OnScreen;
using Filter = ChangesModel::Filter;

namespace {

// The line numbers the panel shows, top to bottom.
QStringList shownLines(ChangesPanel& panel)
{
    QStringList lines;
    QAbstractItemModel* model = panel.list()->model();
    for (int r = 0; r < model->rowCount(); ++r)
        lines.append(model->index(r, ChangesModel::LineNumber).data().toString());
    return lines;
}

} // namespace

class TestChangesPanel : public QObject {
    Q_OBJECT
private:
    UserHome m_home;

private slots:
    void initTestCase() { QVERIFY(setUpSellerAndBuyer(m_home)); }
    void init() { freshProcess(); }

    // Of six lines (10 ... 60 pieces) 2 is lowered, 3 refused, 4 given half a piece and 5 a
    // negative quantity, the last two being warnings; line 2 put back leaves at once.
    void eachFilterShowsItsLinesAndCountsFollowEveryChange()
    {
        WindowWithOrder w;
        QVERIFY(w.open(6));
        ChangesPanel& panel = *w->changesPanel();
        QTRY_VERIFY(panel.findChild<QLabel*>("nothingChanged")->isVisible());
        for (const auto& [row, typed] : {std::pair(2, "15"), {3, "0"}, {4, "4,5"}, {5, "-1"}})
            w.typeQuantity(row, typed);
        const std::pair<Filter, QStringList> filters[] = {{Filter::All, {"2", "3", "4", "5"}},
                                                          {Filter::Changed, {"2", "4", "5"}},
                                                          {Filter::Refused, {"3"}},
                                                          {Filter::Attention, {"4", "5"}}};
        for (const auto& [filter, lines] : filters) {
            QTest::mouseClick(panel.filterButton(filter), Qt::LeftButton);
            QTRY_COMPARE(shownLines(panel), lines);
        }
        const auto counts = [&panel] {
            QStringList texts;
            for (Filter f : {Filter::All, Filter::Changed, Filter::Refused, Filter::Attention})
                texts.append(panel.filterButton(f)->text());
            return texts;
        };
        QCOMPARE(counts(), (QStringList{"Все: 4", "Изменено: 3", "Отказ: 1", "Предупреждения: 2"}));
        QVERIFY(!panel.findChild<QLabel*>("nothingChanged")->isVisible());

        w.typeQuantity(2, "20");
        QTRY_COMPARE(counts(),
                     (QStringList{"Все: 3", "Изменено: 2", "Отказ: 1", "Предупреждения: 2"}));
        QTest::mouseClick(panel.filterButton(Filter::Changed), Qt::LeftButton);
        QTRY_COMPARE(shownLines(panel), (QStringList{"4", "5"}));
    }

    void aClickOrEnterTakesTheClerkToTheLine()
    {
        WindowWithOrder w;
        QVERIFY(w.open(30));
        ChangesPanel& panel = *w->changesPanel();
        w.typeQuantity(25, "1");
        w.typeQuantity(3, "2");
        QTRY_COMPARE(shownLines(panel), (QStringList{"3", "25"}));
        w->goToLine(1);

        QTableView* list = panel.list();
        const QRect second = list->visualRect(list->model()->index(1, ChangesModel::Ordered));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
        const Grid& lines = w->form().lines();
        QCOMPARE(lines.currentRow(), 25);
        QCOMPARE(lines.currentColumn(), int(ColConfirmed));
        QVERIFY(w->control()->linesView()->hasFocus());
        type("7");
        press(Qt::Key_Return);
        QCOMPARE(w.cell(25), "7,000");

        list->setFocus();
        press(Qt::Key_Up);
        press(Qt::Key_Return);
        QCOMPARE(lines.currentRow(), 3);
        QVERIFY(w->control()->linesView()->hasFocus());
    }

    void thePanelOpensAsTheClerkLeftIt()
    {
        for (const bool shown : {true, false, true}) {
            WindowWithOrder w;
            QVERIFY(w.open(1));
            QCOMPARE(w->changesPanel()->isVisible(), shown);
            w->changesPanel()->toggleViewAction()->trigger();
            QCOMPARE(w->changesPanel()->isVisible(), !shown);
            w->close();
        }
    }
};

QTEST_MAIN(TestChangesPanel)
#include "tst_changespanel.moc"
