#pragma once

#include "core/form/Rgb.h"
#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <cstdint>

// A grid of text cells with a fixed header row 0 and a fixed column 0. The cells live at
// their cell index (columns x row + column): that index is the storage index, and the
// 16-bit form of it is what the rest of the control addresses cells by.
//
// The model's rows and columns are the grid's own, header row included; a view hides
// row 0 and shows it as its horizontal header.
class Grid : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role { BackgroundRgbRole = Qt::UserRole + 1, FixedCellRole };

    // Everything a grid holds that the user sees: cells, colours, sizes and the current
    // cell. Copies share their lists until one of them changes.
    struct State {
        int rows = 0;
        QList<QString> cells;
        QList<Rgb> backgrounds;
        QList<int> widths;
        QList<int> heights;
        int row = 0;
        int column = 0;

        // The same cells, colours, widths and row count; the current cell and the row
        // heights are how the grid is looked at, not what it holds.
        bool sameContent(const State& other) const;
    };

    Grid(int columns, int rows, Rgb cellBackground, int defaultRowHeight,
         QObject* parent = nullptr);

    State state() const;
    // Puts a state back as one change: a reset when the row count differs, otherwise one
    // ranged dataChanged.
    void restore(const State& state);

    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    void setRows(int rows);
    void removeRow(int row);

    // Linear cell index in 32-bit arithmetic narrowed to 16 bits; throws the overflow
    // error when the result leaves the 16-bit range. Arguments are not checked.
    int16_t cellIndex(int16_t row, int16_t column) const;

    QString text(int16_t row, int16_t column) const;
    void setText(int16_t row, int16_t column, const QString& text);
    QString textAt(int index) const;
    void setTextAt(int index, const QString& text);

    Rgb background(int row, int column) const;
    void setBackground(int row, int column, Rgb colour);
    // Columns first..last of a row, as one change.
    void setRowBackground(int row, int first, int last, Rgb colour);

    int currentRow() const { return m_row; }
    int currentColumn() const { return m_column; }
    void setCurrentRow(int row);
    void setCurrentColumn(int column);
    void setCurrentCell(int row, int column);
    QString currentText() const;

    int columnWidth(int column) const { return m_widths.value(column); }
    void setColumnWidth(int column, int twips);
    int rowHeight(int row) const { return m_heights.value(row, m_defaultRowHeight); }
    void setRowHeight(int row, int twips);

    Qt::Alignment columnAlignment(int column) const;
    void setColumnAlignment(int column, Qt::Alignment alignment);
    Qt::Alignment cellAlignment(int row, int column) const;
    void setCellAlignment(int row, int column, Qt::Alignment alignment);
    bool wordWrap() const { return m_wordWrap; }
    void setWordWrap(bool on) { m_wordWrap = on; }

    // While redrawing is suspended changes are collected and announced at once when it
    // is resumed: one ranged dataChanged, one current-cell notification.
    bool redraw() const { return m_redraw; }
    void setRedraw(bool on);
    void repaint();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    void currentCellChanged(int row, int column);
    void columnWidthChanged(int column, int twips);
    void rowHeightChanged(int row, int twips);

private:
    void touch(int row, int column) { touch(row, column, row, column); }
    void touch(int top, int left, int bottom, int right);

    int m_columns;
    int m_rows = 0;
    Rgb m_cellBackground;
    int m_defaultRowHeight;
    QList<QString> m_cells;
    QList<Rgb> m_backgrounds;
    QList<int> m_widths;
    QList<int> m_heights;
    QList<Qt::Alignment> m_columnAlignments;
    QHash<int, Qt::Alignment> m_cellAlignments;
    bool m_wordWrap = false;
    int m_row = 0;
    int m_column = 0;

    bool m_redraw = true;
    bool m_dirty = false;
    bool m_currentMoved = false;
    int m_dirtyTop = 0, m_dirtyLeft = 0, m_dirtyBottom = 0, m_dirtyRight = 0;
};

// Suspends a grid's redrawing for a scope and puts back the state it found.
class RedrawPause {
public:
    explicit RedrawPause(Grid& grid) : m_grid(grid), m_was(grid.redraw()) { grid.setRedraw(false); }
    ~RedrawPause() { m_grid.setRedraw(m_was); }
    RedrawPause(const RedrawPause&) = delete;
    RedrawPause& operator=(const RedrawPause&) = delete;

private:
    Grid& m_grid;
    bool m_was;
};
