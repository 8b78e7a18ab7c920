#pragma once

class QWidget;

// The window's undo and redo keys (Ctrl+Z, Ctrl+Shift+Z, Ctrl+Y) reach the window from the
// date and time fields: their text boxes would take the keys for an undo of their own
// that keeps nothing the clerk could want back.
namespace UndoKeys {
void passToWindow(QWidget& control);
} // namespace UndoKeys
