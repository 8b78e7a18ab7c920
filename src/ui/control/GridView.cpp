#include "ui/control/GridView.h"

#include "core/form/Columns.h"
#include "core/form/Grid.h"
#include "ui/control/GridDelegate.h"
#include "ui/control/Twips.h"

#include <QHeaderView>

GridView::GridView(Grid& grid, QWidget* parent)
    : QTableView(parent), m_grid(grid), m_delegate(new GridDelegate(this))
{
    setModel(&grid);
    setItemDelegate(m_delegate);
    m_delegate->setWordWrap(grid.wordWrap());
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectItems);
    setWordWrap(grid.wordWrap());
    setCornerButtonEnabled(false);
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollMode(ScrollPerPixel);
    setFont(QFont(QStringLiteral("Verdana"), 8));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(Twips::toPixels(grid.rowHeight(1)));
    QHeaderView* header = horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
    header->setHighlightSections(false);
    QFont headerFont = font();
    headerFont.setPointSizeF(7.5);
    header->setFont(headerFont);
    header->setFixedHeight(2 * QFontMetrics(headerFont).height() + 10);
    const QString fixed = QColor::fromRgb(Colours::FixedCell).name();
    const QString lines = QColor::fromRgb(Colours::GridLine).name();
    setStyleSheet(QStringLiteral("QTableView { gridline-color: %2; background: %1; }"
                                 "QHeaderView::section { background: %1; color: white;"
                                 " border: 0px; border-right: 1px solid %2;"
                                 " border-bottom: 1px solid %2; padding: 2px; }")
                      .arg(fixed, lines));
    setRowHidden(0, true);
    for (int c = 0; c < grid.columns(); ++c)
        applyWidth(c, grid.columnWidth(c));
    for (int r = 1; r < grid.rows(); ++r) {
        if (grid.rowHeight(r) != grid.rowHeight(1))
            applyHeight(r, grid.rowHeight(r));
    }
    connect(&grid, &Grid::columnWidthChanged, this, &GridView::applyWidth);
    connect(&grid, &Grid::rowHeightChanged, this, &GridView::applyHeight);
    connect(&grid, &Grid::currentCellChanged, this, &GridView::showCurrentCell);
    connect(&grid, &Grid::rowsInserted, this, [this] { setRowHidden(0, true); });
    connect(&grid, &Grid::modelReset, this, [this] { setRowHidden(0, true); });
    showCurrentCell(grid.currentRow(), grid.currentColumn());
}

QRect GridView::cellRect(int row, int column) const
{
    return visualRect(m_grid.index(row, column));
}

void GridView::applyWidth(int column, int twips)
{
    setColumnHidden(column, twips == 0);
    if (twips > 0)
        setColumnWidth(column, Twips::toPixels(twips));
}

void GridView::applyHeight(int row, int twips)
{
    setRowHeight(row, Twips::toPixels(twips));
}

void GridView::showCurrentCell(int row, int column)
{
    if (m_syncing || row < 1 || row >= m_grid.rows())
        return;
    m_syncing = true;
    setCurrentIndex(m_grid.index(row, column));
    m_syncing = false;
}

void GridView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (m_syncing || !current.isValid())
        return;
    m_syncing = true;
    leavingCell();
    m_grid.setCurrentCell(current.row(), current.column());
    m_syncing = false;
}
