#pragma once

#include <QTableView>

class Grid;
class GridDelegate;

// Shows a Grid: its row 0 as the header, its widths (a width of 0 hides the column) and
// row heights, its colours, and its current cell, kept in step both ways. Rows have fixed
// heights so that a table of thousands of lines stays quick.
class GridView : public QTableView {
    Q_OBJECT
public:
    explicit GridView(Grid& grid, QWidget* parent = nullptr);

    Grid& grid() const { return m_grid; }
    // The rectangle of a grid cell in viewport coordinates.
    QRect cellRect(int row, int column) const;

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    // Called before the view moves the grid's current cell to another cell.
    virtual void leavingCell() {}

private:
    void applyWidth(int column, int twips);
    void applyHeight(int row, int twips);
    void showCurrentCell(int row, int column);

    Grid& m_grid;
    GridDelegate* m_delegate;
    bool m_syncing = false;
};
