#pragma once

#include <QRect>

class QWidget;

// Where the host window opens: where the user left it, else at its default size, and
// always inside the screen's available area so that its bottom row can be reached.
namespace WindowPlacement {

// The rectangle moved, and shrunk where it must be, to lie inside the available area.
QRect fitted(const QRect& wanted, const QRect& available);
// Gives the window its remembered geometry, or the default size centred on its screen,
// fitted to the screen's available area less the frame the window manager adds.
void restore(QWidget& window, QSize defaultSize);
// Remembers the window's geometry for the next window.
void remember(const QWidget& window);

} // namespace WindowPlacement
