#include "ui/editing/LineTableView.h"

#include "core/actions/CellEditor.h"
#include "core/actions/Confirmation.h"
#include "core/form/Columns.h"
#include "ui/editing/CellEditorBox.h"

#include <QKeyEvent>
#include <QMouseEvent>

LineTableView::LineTableView(Confirmation& form, QWidget* parent)
    : GridView(form.lines(), parent), m_form(form),
      m_box(new CellEditorBox(form.editor(), viewport()))
{
    setObjectName(QStringLiteral("grdPozycje"));
    CellEditor& editor = form.editor();
    connect(&editor, &CellEditor::visibleChanged, this, [this](bool visible) {
        if (visible) {
            placeEditor();
            m_box->show();
            m_box->setFocus(Qt::OtherFocusReason);
            m_box->end(false);
        } else {
            // Hiding the box while it has the focus would let the focus chain move the
            // current cell on to the next column.
            if (m_box->hasFocus())
                setFocus(Qt::OtherFocusReason);
            m_box->hide();
        }
    });
    connect(&editor, &CellEditor::focusToTable, this, [this] { setFocus(Qt::OtherFocusReason); });
}

void LineTableView::openEditor()
{
    m_form.editor().open();
}

void LineTableView::placeEditor()
{
    const QRect cell = cellRect(m_form.editor().row(), ColConfirmed);
    m_box->setGeometry(cell.adjusted(0, 0, -1, -1));
}

void LineTableView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        setCurrentIndex(index);
    openEditor();
}

namespace {

// A digit, a sign or a decimal separator starts a quantity, as in a spreadsheet.
bool startsANumber(const QKeyEvent& event)
{
    const QString text = event.text();
    return text.size() == 1 && QStringLiteral("0123456789+-,.").contains(text.front()) &&
           !(event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

} // namespace

void LineTableView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openEditor();
        return;
    }
    if (startsANumber(*event)) {
        m_form.editor().openTyping(event->text());
        return;
    }
    GridView::keyPressEvent(event);
}

void LineTableView::keyboardSearch(const QString&) {}

void LineTableView::focusInEvent(QFocusEvent* event)
{
    m_form.editor().commit();
    GridView::focusInEvent(event);
}

void LineTableView::scrollContentsBy(int dx, int dy)
{
    GridView::scrollContentsBy(dx, dy);
    if (m_form.editor().isVisible())
        placeEditor();
}

void LineTableView::leavingCell()
{
    m_form.editor().commit();
}
