#pragma once

#include <QStyledItemDelegate>

// Paints a grid cell as the control's tables show it: the cell's own background, the
// fixed column in the header colours, the current cell highlighted, long text wrapped
// and elided.
class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    // Room left between a cell's border and its text, on each side; small enough that a
    // thirteen-digit EAN fits its column whole.
    static constexpr int Padding = 2;

    void setWordWrap(bool on) { m_wordWrap = on; }
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // The text wrapped at words into the lines the size holds, one under another; when
    // some is left over, the last line ends in "…", as does a word too long for a line.
    // Always at least one line.
    static QString fittedText(const QString& text, const QFont& font, QSize size);

private:
    bool m_wordWrap = false;
};
