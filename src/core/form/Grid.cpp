#include "core/form/Grid.h"

#include "core/form/RuntimeError.h"

#include <algorithm>
#include <limits>

Grid::Grid(int columns, int rows, Rgb cellBackground, int defaultRowHeight, QObject* parent)
    : QAbstractTableModel(parent), m_columns(columns), m_cellBackground(cellBackground),
      m_defaultRowHeight(defaultRowHeight), m_widths(columns, 0),
      m_columnAlignments(columns, Qt::AlignLeft | Qt::AlignVCenter)
{
    setRows(rows);
}

bool Grid::State::sameContent(const State& other) const
{
    return rows == other.rows && cells == other.cells && backgrounds == other.backgrounds &&
           widths == other.widths;
}

Grid::State Grid::state() const
{
    return {m_rows, m_cells, m_backgrounds, m_widths, m_heights, m_row, m_column};
}

void Grid::restore(const State& state)
{
    const qsizetype size = qsizetype(state.rows) * m_columns;
    if (state.rows < 0 || state.cells.size() != size || state.backgrounds.size() != size ||
        state.widths.size() != m_columns)
        return;
    const bool reshaped = state.rows != m_rows;
    const QList<int> oldHeights = m_heights;
    if (reshaped)
        beginResetModel();
    m_rows = state.rows;
    m_cells = state.cells;
    m_backgrounds = state.backgrounds;
    m_heights = state.heights.mid(0, m_rows);
    for (auto it = m_cellAlignments.begin(); it != m_cellAlignments.end();)
        it = it.key() >= m_rows * m_columns ? m_cellAlignments.erase(it) : std::next(it);
    if (reshaped)
        endResetModel();
    else
        repaint();
    for (int c = 0; c < m_columns; ++c) {
        if (m_widths[c] != state.widths[c]) {
            m_widths[c] = state.widths[c];
            emit columnWidthChanged(c, m_widths[c]);
        }
    }
    // A view keeps its heights over a reset, so every row whose height may differ from
    // the view's is told again.
    for (int r = 0; r < m_rows; ++r) {
        const int was = oldHeights.value(r, m_defaultRowHeight);
        if (was != rowHeight(r) || (reshaped && rowHeight(r) != m_defaultRowHeight))
            emit rowHeightChanged(r, rowHeight(r));
    }
    m_row = std::clamp(state.row, 0, std::max(m_rows - 1, 0));
    m_column = std::clamp(state.column, 0, m_columns - 1);
    if (m_redraw)
        emit currentCellChanged(m_row, m_column);
    else
        m_currentMoved = true;
}

void Grid::setRows(int rows)
{
    rows = std::max(rows, 0);
    if (rows == m_rows)
        return;
    if (rows > m_rows) {
        beginInsertRows({}, m_rows, rows - 1);
        m_cells.resize(qsizetype(rows) * m_columns);
        m_backgrounds.resize(qsizetype(rows) * m_columns, m_cellBackground);
        m_rows = rows;
        endInsertRows();
    } else {
        beginRemoveRows({}, rows, m_rows - 1);
        m_cells.resize(qsizetype(rows) * m_columns);
        m_backgrounds.resize(qsizetype(rows) * m_columns);
        if (m_heights.size() > rows)
            m_heights.resize(rows);
        for (auto it = m_cellAlignments.begin(); it != m_cellAlignments.end();)
            it = it.key() >= rows * m_columns ? m_cellAlignments.erase(it) : std::next(it);
        m_rows = rows;
        endRemoveRows();
    }
    if (m_row >= m_rows)
        setCurrentRow(std::max(m_rows - 1, 0));
}

void Grid::removeRow(int row)
{
    if (row < 0 || row >= m_rows)
        return;
    beginRemoveRows({}, row, row);
    const qsizetype first = qsizetype(row) * m_columns;
    m_cells.remove(first, m_columns);
    m_backgrounds.remove(first, m_columns);
    if (row < m_heights.size())
        m_heights.remove(row);
    --m_rows;
    endRemoveRows();
    if (m_row >= m_rows)
        setCurrentRow(std::max(m_rows - 1, 0));
}

int16_t Grid::cellIndex(int16_t row, int16_t column) const
{
    const int32_t index = int32_t(m_columns) * row + column;
    if (index < std::numeric_limits<int16_t>::min() || index > std::numeric_limits<int16_t>::max())
        throw RuntimeError::overflow();
    return int16_t(index);
}

QString Grid::text(int16_t row, int16_t column) const
{
    return textAt(cellIndex(row, column));
}

void Grid::setText(int16_t row, int16_t column, const QString& text)
{
    setTextAt(cellIndex(row, column), text);
}

QString Grid::textAt(int index) const
{
    if (index < 0 || index >= m_cells.size())
        throw RuntimeError(9, QStringLiteral("Индекс ячейки %1 вне таблицы").arg(index));
    return m_cells.at(index);
}

void Grid::setTextAt(int index, const QString& text)
{
    if (index < 0 || index >= m_cells.size())
        throw RuntimeError(9, QStringLiteral("Индекс ячейки %1 вне таблицы").arg(index));
    if (m_cells.at(index) == text)
        return;
    m_cells[index] = text;
    touch(index / m_columns, index % m_columns);
}

Rgb Grid::background(int row, int column) const
{
    return m_backgrounds.value(qsizetype(row) * m_columns + column, m_cellBackground);
}

void Grid::setBackground(int row, int column, Rgb colour)
{
    setRowBackground(row, column, column, colour);
}

void Grid::setRowBackground(int row, int first, int last, Rgb colour)
{
    if (row < 0 || row >= m_rows)
        return;
    first = std::max(first, 0);
    last = std::min(last, m_columns - 1);
    bool changed = false;
    for (int c = first; c <= last; ++c) {
        Rgb& cell = m_backgrounds[qsizetype(row) * m_columns + c];
        if (cell != colour) {
            cell = colour;
            changed = true;
        }
    }
    if (changed)
        touch(row, first, row, last);
}

void Grid::setCurrentRow(int row)
{
    setCurrentCell(row, m_column);
}

void Grid::setCurrentColumn(int column)
{
    setCurrentCell(m_row, column);
}

void Grid::setCurrentCell(int row, int column)
{
    if (row == m_row && column == m_column)
        return;
    m_row = row;
    m_column = column;
    if (m_redraw)
        emit currentCellChanged(m_row, m_column);
    else
        m_currentMoved = true;
}

QString Grid::currentText() const
{
    return m_cells.value(qsizetype(m_row) * m_columns + m_column);
}

void Grid::setColumnWidth(int column, int twips)
{
    if (column < 0 || column >= m_columns || m_widths[column] == twips)
        return;
    m_widths[column] = twips;
    emit columnWidthChanged(column, twips);
}

void Grid::setRowHeight(int row, int twips)
{
    if (row < 0 || row >= m_rows || rowHeight(row) == twips)
        return;
    if (m_heights.size() <= row)
        m_heights.resize(row + 1, m_defaultRowHeight);
    m_heights[row] = twips;
    emit rowHeightChanged(row, twips);
}

Qt::Alignment Grid::columnAlignment(int column) const
{
    return m_columnAlignments.value(column, Qt::AlignLeft | Qt::AlignVCenter);
}

void Grid::setColumnAlignment(int column, Qt::Alignment alignment)
{
    if (column < 0 || column >= m_columns)
        return;
    m_columnAlignments[column] = alignment;
    touch(0, column, m_rows - 1, column);
}

Qt::Alignment Grid::cellAlignment(int row, int column) const
{
    return m_cellAlignments.value(row * m_columns + column, columnAlignment(column));
}

void Grid::setCellAlignment(int row, int column, Qt::Alignment alignment)
{
    m_cellAlignments.insert(row * m_columns + column, alignment);
    touch(row, column);
}

void Grid::setRedraw(bool on)
{
    if (on == m_redraw)
        return;
    m_redraw = on;
    if (!on)
        return;
    if (m_dirty) {
        m_dirty = false;
        const int bottom = std::min(m_dirtyBottom, m_rows - 1);
        if (bottom >= m_dirtyTop)
            emit dataChanged(index(m_dirtyTop, m_dirtyLeft), index(bottom, m_dirtyRight));
    }
    if (m_currentMoved) {
        m_currentMoved = false;
        emit currentCellChanged(m_row, m_column);
    }
}

void Grid::repaint()
{
    if (m_rows > 0)
        touch(0, 0, m_rows - 1, m_columns - 1);
}

void Grid::touch(int top, int left, int bottom, int right)
{
    if (m_redraw) {
        emit dataChanged(index(top, left), index(bottom, right));
        return;
    }
    if (!m_dirty) {
        m_dirty = true;
        m_dirtyTop = top, m_dirtyLeft = left, m_dirtyBottom = bottom, m_dirtyRight = right;
        return;
    }
    m_dirtyTop = std::min(m_dirtyTop, top);
    m_dirtyLeft = std::min(m_dirtyLeft, left);
    m_dirtyBottom = std::max(m_dirtyBottom, bottom);
    m_dirtyRight = std::max(m_dirtyRight, right);
}

int Grid::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int Grid::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant Grid::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int row = index.row();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole: // a long name cut by its row shows whole under the pointer
        return m_cells.at(qsizetype(row) * m_columns + column);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(cellAlignment(row, column));
    case BackgroundRgbRole:
        return QVariant::fromValue(background(row, column));
    case FixedCellRole:
        return row == 0 || column == 0;
    default:
        return {};
    }
}

QVariant Grid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || m_rows == 0)
        return {};
    if (orientation == Qt::Horizontal && section >= 0 && section < m_columns)
        return m_cells.at(section);
    if (orientation == Qt::Vertical && section >= 0 && section < m_rows)
        return m_cells.at(qsizetype(section) * m_columns);
    return {};
}
