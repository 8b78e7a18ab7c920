#include "CoreTable.h"
#include "core/form/Columns.h"
#include "core/form/Grid.h"

#include <QtTest>

using Colours::Fixed, Colours::Open;

class TestGrid : public QObject {
    Q_OBJECT
private slots:

    void modelStaysConsistentThroughChanges()
    {
        Grid grid(LineColumnCount, 2, Open, 300);
        QAbstractItemModelTester tester(&grid,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        grid.setRows(6);
        for (int16_t r = 1; r < 6; ++r)
            grid.setText(r, ColName, QString::number(r));
        grid.setRowBackground(2, 1, 17, Fixed);
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
        Grid grid(LineColumnCount, 4, Open, 300);
        grid.setText(3, ColName, QStringLiteral("last"));
        grid.setCellAlignment(3, ColName, Qt::AlignRight);
        QSignalSpy heights(&grid, &Grid::rowHeightChanged);
        QSignalSpy changed(&grid, &Grid::dataChanged);
        QSignalSpy removed(&grid, &Grid::rowsRemoved);
        QSignalSpy widths(&grid, &Grid::columnWidthChanged);
        for (const int row : {-1, 4}) {
            grid.removeRow(row);
            grid.setRowHeight(row, 600);
            grid.setBackground(row, ColName, Fixed);
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

    void resumingRedrawAnnouncesOneRange()
    {
        Grid grid(LineColumnCount, 5, Open, 300);
        QSignalSpy changed(&grid, &Grid::dataChanged);
        QSignalSpy moved(&grid, &Grid::currentCellChanged);
        grid.setRedraw(false);
        grid.setText(1, ColName, QStringLiteral("Кефир"));
        grid.setCurrentCell(3, 1);
        grid.setBackground(3, ColPackageId, Fixed);
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
