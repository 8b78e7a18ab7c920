#include "CoreTable.h"
#include "RecordingMessages.h"
#include "core/form/Columns.h"
#include "core/form/Form.h"
#include "core/form/Grid.h"
#include "core/form/ProcessState.h"
#include "core/form/RuntimeError.h"

#include <QtTest>

namespace {
constexpr Rgb White = rgb(255, 255, 255);
constexpr Rgb Teal = rgb(37, 145, 170);
constexpr auto ReportToQtTest = QAbstractItemModelTester::FailureReportingMode::QtTest;
} // namespace

class TestGrid : public QObject {
    Q_OBJECT
private slots:

    void modelStaysConsistentThroughChanges()
    {
        Grid grid(LineColumnCount, 2, White, 300);
        QAbstractItemModelTester tester(&grid, ReportToQtTest);
        grid.setRows(6);
        for (int16_t r = 1; r < 6; ++r)
            grid.setText(r, ColName, QString::number(r));
        grid.setRowBackground(2, 1, 17, Teal);
        grid.setCellAlignment(1, ColConfirmed, Qt::AlignRight);
        grid.removeRow(3);
        grid.removeRow(grid.rows() - 1);
        {
            RedrawPause pause(grid); // the collected range must not outlive the rows
            grid.setText(1, ColEan, QStringLiteral("4601234567893"));
            grid.setText(3, ColEan, QStringLiteral("4601234567909"));
            grid.setRows(3);
        }
        grid.repaint();
        grid.setRows(0);
        grid.setRows(2);
        for (int16_t c = 0; c < grid.columns(); ++c)
            QCOMPARE(grid.text(1, c), QString());
    }

    // What lies outside the grid is left alone, and rows that go take their own settings
    // with them: a row added again starts as any new row.
    void callsOutsideTheGridChangeNothing()
    {
        Grid grid(LineColumnCount, 4, White, 300);
        grid.setText(3, ColName, QStringLiteral("last"));
        grid.setCellAlignment(3, ColName, Qt::AlignRight);
        QSignalSpy heights(&grid, &Grid::rowHeightChanged);
        QSignalSpy changed(&grid, &Grid::dataChanged);
        QSignalSpy removed(&grid, &Grid::rowsRemoved);
        QSignalSpy widths(&grid, &Grid::columnWidthChanged);
        for (const int row : {-1, 4}) {
            grid.removeRow(row);
            grid.setRowHeight(row, 600);
            grid.setBackground(row, ColName, Teal);
        }
        grid.setRows(4);
        grid.setColumnWidth(-1, 700);
        grid.setColumnWidth(grid.columns(), 700);
        grid.setColumnWidth(ColName, grid.columnWidth(ColName));
        QCOMPARE(grid.rows(), 4);
        QCOMPARE(grid.text(3, ColName), QStringLiteral("last"));
        QCOMPARE(heights.size() + changed.size() + removed.size() + widths.size(), 0);
        QCOMPARE(grid.data(QModelIndex(), Qt::DisplayRole), QVariant());
        QCOMPARE(grid.data(grid.index(4, 0), Qt::DisplayRole), QVariant());

        grid.setRows(3);
        grid.setRows(4);
        QCOMPARE(grid.text(3, ColName), QString());
        QCOMPARE(grid.cellAlignment(3, ColName), grid.columnAlignment(ColName));
    }

    void cellIndex_data()
    {
        // `index`: -1: the overflow error
        columns<bool, int, int, int>("summary", "row", "column", "index");
        QTest::newRow("a summary row is two cells wide") << true << 1 << 1 << 3;
        QTest::newRow("the last addressable cell") << false << 1724 << 11 << 32767;
        QTest::newRow("one cell further overflows") << false << 1724 << 12 << -1;
        QTest::newRow("the summary overflows at its own stride") << true << 16384 << 0 << -1;
    }
    void cellIndex()
    {
        const auto [summary, row, column, index] =
            fetch<bool, int, int, int>("summary", "row", "column", "index");
        RecordingMessages messages;
        ProcessState process;
        const Form form(messages, process);
        const auto r = int16_t(row), c = int16_t(column);
        try {
            QCOMPARE(int(summary ? form.IndexGrdSuma(r, c) : form.IndexGrdPozycje(r, c)), index);
        } catch (const RuntimeError& e) {
            QCOMPARE(index, -1);
            QCOMPARE(e.number(), int(RuntimeError::Overflow));
        }
    }

    void resumingRedrawAnnouncesOneRange()
    {
        Grid grid(LineColumnCount, 5, White, 300);
        QSignalSpy changed(&grid, &Grid::dataChanged);
        QSignalSpy moved(&grid, &Grid::currentCellChanged);
        grid.setRedraw(false);
        grid.setText(1, ColName, QStringLiteral("Кефир"));
        grid.setCurrentCell(3, 1);
        grid.setBackground(3, ColPackageId, Teal);
        grid.setText(2, ColConfirmed, QStringLiteral("4,000"));
        grid.setCurrentCell(1, 1);
        QCOMPARE(changed.count() + moved.count(), 0);

        grid.setRedraw(true);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed[0][0].toModelIndex(), grid.index(1, ColName));
        QCOMPARE(changed[0][1].toModelIndex(), grid.index(3, ColPackageId));
        QCOMPARE(moved.count(), 1);
        QCOMPARE(moved[0], (QVariantList{1, 1}));
        // A pause with nothing done in it announces nothing.
        grid.setRedraw(false);
        grid.setRedraw(true);
        QCOMPARE(changed.count() + moved.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestGrid)
#include "tst_grid.moc"
