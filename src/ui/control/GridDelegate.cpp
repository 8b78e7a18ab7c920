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
    const QRect textRect = option.rect.adjusted(3, 1, -3, -1);
    const QString text = index.data(Qt::DisplayRole).toString();
    if (m_wordWrap) {
        flags |= Qt::TextWordWrap;
        // A long name that does not fit its row shows its first lines, not a middle cut.
        if (option.fontMetrics.boundingRect(textRect, flags, text).height() > textRect.height())
            flags = (flags & ~int(Qt::AlignVertical_Mask)) | Qt::AlignTop;
    }
    painter->save();
    if (current && !fixed) {
        // A frame keeps the current cell visible whatever colour its line has.
        painter->setPen(QPen(QColor(255, 196, 0), 2));
        painter->drawRect(option.rect.adjusted(1, 1, -1, -1));
    }
    painter->setPen(foreground);
    painter->setFont(option.font);
    painter->drawText(textRect, flags, text);
    painter->restore();
}
