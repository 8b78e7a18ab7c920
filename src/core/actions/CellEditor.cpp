#include "core/actions/CellEditor.h"

#include "core/actions/Confirmation.h"
#include "core/form/Columns.h"
#include "core/rules/LineCheck.h"
#include "core/rules/ResponseType.h"

CellEditor::CellEditor(Confirmation& form) : m_form(form) {}

void CellEditor::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    m_checked = false;
    emit textChanged(m_text);
}

CellEditor::Opened CellEditor::open()
{
    return open(nullptr);
}

bool CellEditor::openTyping(const QString& typed)
{
    return open(&typed) == Opened::Editor;
}

CellEditor::Opened CellEditor::open(const QString* typed)
{
    Grid& lines = m_form.lines();
    const int row = lines.currentRow();
    if (row == 0 || m_form.cboxTyp() != ResponseType::Change || m_form.lineCount() <= 0)
        return Opened::Nothing;
    if (typed && lines.currentColumn() != ColConfirmed)
        return Opened::Nothing;
    if (lines.currentColumn() == ColName) {
        const int base = m_form.baseRowHeight();
        lines.setRowHeight(row, lines.rowHeight(row) < 2 * base ? 2 * base : base);
        return Opened::RowHeightToggled;
    }
    if (lines.currentColumn() != ColConfirmed)
        return Opened::Nothing;
    m_row = row;
    m_column = ColConfirmed;
    setText(typed ? *typed : lines.currentText());
    show(true);
    return Opened::Editor;
}

bool CellEditor::checkValue()
{
    QString text = m_text;
    const bool passes =
        LineCheck::valueCheck(m_form, text, m_form.lines().text(int16_t(m_row), ColOrdered));
    setText(text);
    m_checked = passes;
    if (!passes)
        show(false);
    return passes;
}

void CellEditor::confirmAndMove(int step)
{
    if (!m_visible)
        return;
    checkValue();
    commit();
    emit focusToTable();
    Grid& lines = m_form.lines();
    const int row = lines.currentRow();
    if (step > 0 && row < lines.rows() - 1)
        lines.setCurrentRow(row + 1);
    else if (step < 0 && row > 1)
        lines.setCurrentRow(row - 1);
}

void CellEditor::pressEnter()
{
    confirmAndMove(+1);
}

void CellEditor::pressDown()
{
    confirmAndMove(+1);
}

void CellEditor::pressUp()
{
    confirmAndMove(-1);
}

void CellEditor::pressEscape()
{
    show(false);
    emit focusToTable();
}

void CellEditor::leave()
{
    if (m_visible && !m_checked)
        checkValue();
}

void CellEditor::commit()
{
    if (!m_visible)
        return;
    show(false);
    m_form.lines().setText(int16_t(m_row), int16_t(m_column), m_text);
    LineCheck::recolourAndRecount(m_form);
}

void CellEditor::show(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    emit visibleChanged(visible);
}
