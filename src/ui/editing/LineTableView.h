#pragma once

#include "ui/control/GridView.h"

class CellEditorBox;
class Confirmation;

// The line table with its cell editor: a double-click or Enter opens it on the current
// cell, and so does a number typed onto it, it follows the cell when the table scrolls,
// and the table taking the focus or leaving the cell commits it.
class LineTableView : public GridView {
    Q_OBJECT
public:
    LineTableView(Confirmation& form, QWidget* parent = nullptr);

    CellEditorBox* editorBox() const { return m_box; }
    // Typing on the table never jumps to another line.
    void keyboardSearch(const QString& search) override;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void leavingCell() override;

private:
    void openEditor();
    void placeEditor();

    Confirmation& m_form;
    CellEditorBox* m_box;
};
