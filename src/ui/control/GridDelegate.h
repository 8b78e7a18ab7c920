#pragma once

#include <QStyledItemDelegate>

// Paints a grid cell as the control's tables show it: the cell's own background, the
// fixed column in the header colours, the current cell highlighted, long text wrapped.
class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void setWordWrap(bool on) { m_wordWrap = on; }
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    bool m_wordWrap = false;
};
