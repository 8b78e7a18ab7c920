#include "ui/control/GridDelegate.h"

#include "core/form/Columns.h"
#include "core/form/Grid.h"

#include <QPainter>
#include <QTextLayout>

#include <algorithm>

QString GridDelegate::fittedText(const QString& text, const QFont& font, QSize size)
{
    const QFontMetrics metrics(font);
    const int room = std::max(1, size.height() / metrics.lineSpacing());
    QTextLayout layout(text, font);
    QTextOption wrap;
    // Numbers and codes are not broken: a word longer than the line is elided instead.
    wrap.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(wrap);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(size.width());
        if (int(lines.size()) + 1 == room) {
            lines.append(metrics.elidedText(text.mid(line.textStart()).simplified(), Qt::ElideRight,
                                            size.width()));
            break;
        }
        lines.append(metrics.elidedText(text.mid(line.textStart(), line.textLength()).trimmed(),
                                        Qt::ElideRight, size.width()));
    }
    layout.endLayout();
    return lines.join(QLatin1Char('\n'));
}

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
    const QRect textRect = option.rect.adjusted(Padding, 1, -Padding, -1);
    // A long name shows the whole lines its row holds and "…" where it is cut.
    const QString text = m_wordWrap ? fittedText(index.data(Qt::DisplayRole).toString(),
                                                 option.font, textRect.size())
                                    : index.data(Qt::DisplayRole).toString();
    painter->save();
    if (current && !fixed) {
        // A frame keeps the current cell visible whatever colour its line has.
        painter->setPen(QPen(QColor(255, 196, 0), 2));
        painter->drawRect(option.rect.adjusted(1, 1, -1, -1));
    }
    painter->setPen(foreground);
    painter->setFont(option.font);
    painter->drawText(textRect, int(alignment), text);
    painter->restore();
}
