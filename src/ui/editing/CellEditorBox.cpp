#include "ui/editing/CellEditorBox.h"

#include "core/actions/CellEditor.h"

#include <QApplication>
#include <QKeyEvent>

CellEditorBox::CellEditorBox(CellEditor& editor, QWidget* parent)
    : QLineEdit(parent), m_editor(editor)
{
    setObjectName(QStringLiteral("txtEdycja"));
    setFrame(false);
    hide();
    connect(this, &QLineEdit::textEdited, &editor, &CellEditor::setText);
    connect(&editor, &CellEditor::textChanged, this, [this](const QString& text) {
        if (text != this->text())
            setText(text);
    });
}

void CellEditorBox::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_editor.pressEnter();
        return;
    case Qt::Key_Escape:
        m_editor.pressEscape();
        return;
    case Qt::Key_Up:
        m_editor.pressUp();
        return;
    case Qt::Key_Down:
        m_editor.pressDown();
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

void CellEditorBox::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // A message box or another window taking the focus is not the user leaving the box.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    m_editor.leave();
}
