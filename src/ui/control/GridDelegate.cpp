#include "control/GridDelegate.h"

#include "control/Columns.h"
#include "control/Grid.h"

#include <QPainter>

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const
{
    const bool fixed = index.data(Grid::FixedCellRole).toBool();
    const bool current =
        option.state & QStyle::State_HasFocus || option.state & QStyle::State_Selected;
    QColor background = QColor::fromRgb(index.data(Grid::BackgroundRgbRole).toUInt());
    QColor foreground = Qt::black;
    if (fixed || current) {
        background = QColor::fromRgb(Colours::FixedCell);
        foreground = Qt::white;
    }
    painter->fillRect(option.rect, background);
    const auto alignment = index.data(Qt::TextAlignmentRole).value<Qt::Alignment>();
    int flags = int(alignment);
    if (m_wordWrap)
        flags |= Qt::TextWordWrap;
    painter->save();
    if (current && !fixed) {
        // A frame keeps the current cell visible whatever colour its line has.
        painter->setPen(QPen(QColor(255, 196, 0), 2));
        painter->drawRect(option.rect.adjusted(1, 1, -1, -1));
    }
    painter->setPen(foreground);
    painter->setFont(option.font);
    painter->drawText(option.rect.adjusted(3, 1, -3, -1), flags,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
}
