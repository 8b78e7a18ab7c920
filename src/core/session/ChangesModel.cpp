#include "core/session/ChangesModel.h"

#include "core/form/Form.h"

#include <algorithm>

using LineChanges::Kind;
using LineChanges::Line;

namespace {

void add(ChangesModel::Counts& counts, const Line& line, int sign)
{
    counts.listed += sign;
    counts.changed += line.kind == Kind::Changed ? sign : 0;
    counts.refused += line.kind == Kind::Refused ? sign : 0;
    counts.attention += line.needsAttention() ? sign : 0;
}

// The first line at or after a table row.
qsizetype firstAtOrAfter(const QList<Line>& lines, int row)
{
    return std::lower_bound(lines.begin(), lines.end(), row,
                            [](const Line& line, int r) { return line.row < r; }) -
           lines.begin();
}

} // namespace

int ChangesModel::Counts::of(Filter filter) const
{
    switch (filter) {
    case Filter::Changed:
        return changed;
    case Filter::Refused:
        return refused;
    case Filter::Attention:
        return attention;
    case Filter::All:
        break;
    }
    return listed;
}

ChangesModel::ChangesModel(Form& form, QObject* parent) : QAbstractTableModel(parent), m_form(form)
{
    m_pending.setSingleShot(true);
    connect(&m_pending, &QTimer::timeout, this, &ChangesModel::update);
    Grid& lines = form.lines();
    connect(&lines, &Grid::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                touched(topLeft.row(), bottomRight.row());
            });
    connect(&lines, &Grid::rowsInserted, this, &ChangesModel::reshaped);
    connect(&lines, &Grid::rowsRemoved, this, &ChangesModel::reshaped);
    connect(&lines, &Grid::modelReset, this, &ChangesModel::reshaped);
    // The confirmation date is what a line's delivery date is held against.
    connect(&form, &Form::datesChanged, this, &ChangesModel::reshaped);
    connect(&form, &Form::restored, this, &ChangesModel::reshaped);
    rebuild();
    m_whole = false;
}

void ChangesModel::touched(int top, int bottom)
{
    if (!m_whole) {
        m_top = m_bottom < m_top ? top : std::min(m_top, top);
        m_bottom = std::max(m_bottom, bottom);
    }
    m_pending.start(0);
}

void ChangesModel::reshaped()
{
    m_whole = true;
    m_pending.start(0);
}

void ChangesModel::update()
{
    m_pending.stop();
    if (m_whole)
        rebuild();
    else if (m_bottom >= m_top)
        refreshRows(m_top, m_bottom);
    m_whole = false;
    m_top = 0;
    m_bottom = -1;
}

bool ChangesModel::shows(const Line& line) const
{
    switch (m_filter) {
    case Filter::Changed:
        return line.kind == Kind::Changed;
    case Filter::Refused:
        return line.kind == Kind::Refused;
    case Filter::Attention:
        return line.needsAttention();
    case Filter::All:
        break;
    }
    return true;
}

void ChangesModel::rebuild()
{
    beginResetModel();
    m_all.clear();
    m_shown.clear();
    Counts counts;
    const int16_t last = LineChanges::lastAddressableRow(m_form);
    for (int16_t r = 1; r <= last; ++r) {
        Line line = LineChanges::of(m_form, r);
        if (!line.listed())
            continue;
        add(counts, line, 1);
        if (shows(line))
            m_shown.append(line);
        m_all.append(std::move(line));
    }
    endResetModel();
    setCounts(counts);
}

// Only the rows an edit touched are judged again; the rows of this model that stand for
// them are replaced in place, so that the rest keep their selection.
void ChangesModel::refreshRows(int top, int bottom)
{
    top = std::max(top, 1);
    bottom = std::min<int>(bottom, LineChanges::lastAddressableRow(m_form));
    if (bottom < top)
        return;
    QList<Line> fresh;
    QList<Line> freshShown;
    for (int r = top; r <= bottom; ++r) {
        Line line = LineChanges::of(m_form, int16_t(r));
        if (!line.listed())
            continue;
        if (shows(line))
            freshShown.append(line);
        fresh.append(std::move(line));
    }
    Counts counts = m_counts;
    const qsizetype from = firstAtOrAfter(m_all, top);
    const qsizetype to = firstAtOrAfter(m_all, bottom + 1);
    for (qsizetype i = from; i < to; ++i)
        add(counts, m_all[i], -1);
    for (const Line& line : fresh)
        add(counts, line, 1);
    m_all.remove(from, to - from);
    for (qsizetype i = 0; i < fresh.size(); ++i)
        m_all.insert(from + i, fresh[i]);

    const qsizetype shownFrom = firstAtOrAfter(m_shown, top);
    const qsizetype shownTo = firstAtOrAfter(m_shown, bottom + 1);
    const bool sameRows =
        shownTo - shownFrom == freshShown.size() &&
        std::equal(freshShown.begin(), freshShown.end(), m_shown.begin() + shownFrom,
                   [](const Line& a, const Line& b) { return a.row == b.row; });
    if (sameRows) {
        std::copy(freshShown.begin(), freshShown.end(), m_shown.begin() + shownFrom);
        if (!freshShown.isEmpty())
            emit dataChanged(index(int(shownFrom), 0), index(int(shownTo - 1), ColumnCount - 1));
    } else {
        if (shownTo > shownFrom) {
            beginRemoveRows({}, int(shownFrom), int(shownTo - 1));
            m_shown.remove(shownFrom, shownTo - shownFrom);
            endRemoveRows();
        }
        if (!freshShown.isEmpty()) {
            beginInsertRows({}, int(shownFrom), int(shownFrom + freshShown.size() - 1));
            for (qsizetype i = 0; i < freshShown.size(); ++i)
                m_shown.insert(shownFrom + i, freshShown[i]);
            endInsertRows();
        }
    }
    setCounts(counts);
}

void ChangesModel::setCounts(const Counts& counts)
{
    if (counts == m_counts)
        return;
    m_counts = counts;
    emit countsChanged();
}

void ChangesModel::setFilter(Filter filter)
{
    if (filter == m_filter)
        return;
    update();
    beginResetModel();
    m_filter = filter;
    m_shown.clear();
    for (const Line& line : std::as_const(m_all)) {
        if (shows(line))
            m_shown.append(line);
    }
    endResetModel();
}

int ChangesModel::lineRow(int row) const
{
    return row >= 0 && row < m_shown.size() ? m_shown[row].row : 0;
}

int ChangesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

int ChangesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ChangesModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Line& line = m_shown[index.row()];
    switch (role) {
    case LineRowRole:
        return line.row;
    case AttentionRole:
        return line.needsAttention();
    case KindRole:
        return int(line.kind);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(index.column() >= Ordered && index.column() <= Difference
                                       ? Qt::AlignRight | Qt::AlignVCenter
                                       : Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        break;
    default:
        return {};
    }
    switch (Column(index.column())) {
    case LineNumber:
        return line.number;
    case Ean:
        return line.ean;
    case Name:
        return line.name;
    case Ordered:
        return line.ordered;
    case Confirmed:
        return line.confirmed;
    case Difference:
        return line.difference;
    case Note:
        return line.note();
    case ColumnCount:
        break;
    }
    return {};
}

QVariant ChangesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const QStringList labels = {QStringLiteral("№"),        QStringLiteral("EAN"),
                                       QStringLiteral("Название"), QStringLiteral("Заказано"),
                                       QStringLiteral("Подтв."),   QStringLiteral("Разница"),
                                       QStringLiteral("Замечание")};
    return labels.value(section);
}
