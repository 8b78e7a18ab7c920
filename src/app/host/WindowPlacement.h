#pragma once

#include <QRect>

class QWidget;

// Where the host window opens: where the user left it, else at its default size, and
// always inside the screen's available area so that its bottom row can be reached. A
// window opening while another stands at that place opens a little below and to the
// right of it, whichever program's process holds the other.
namespace WindowPlacement {

// The rectangle moved, and shrunk where it must be, to lie inside the available area.
QRect fitted(const QRect& wanted, const QRect& available);
// Gives the window its remembered geometry, or the default size centred on its screen,
// fitted to the screen's available area less the frame the window manager adds.
void restore(QWidget& window, QSize defaultSize);
// Remembers the window's geometry for the next window; the window is no longer open.
void remember(const QWidget& window);
// The window has started: a window opening next stands clear of it.
void announce(QWidget& window);
// The window is no longer open; its place is free for the next one.
void forget(const QWidget& window);

} // namespace WindowPlacement
