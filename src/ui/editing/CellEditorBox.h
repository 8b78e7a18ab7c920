#pragma once

#include <QLineEdit>

class CellEditor;

// The text box of the line table's cell editor: Enter, Esc, Up and Down go to the
// editor's rules, and leaving the box for another control runs the value check.
class CellEditorBox : public QLineEdit {
    Q_OBJECT
public:
    CellEditorBox(CellEditor& editor, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    CellEditor& m_editor;
};
