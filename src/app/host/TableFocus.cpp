#include "app/host/TableFocus.h"

#include "core/form/Form.h"

#include <QApplication>
#include <QWidget>

TableFocus::TableFocus(Form& form, QWidget& table, QObject* parent)
    : QObject(parent), m_table(&table)
{
    // Disabling the control drops the focus of the widget inside it; nothing gives it
    // back when the control is enabled again.
    connect(&form, &Form::switchChanged, this, [this](Form::Switch what, bool on) {
        if (what != Form::Switch::ControlEnabled || on == !m_busy)
            return;
        m_busy = !on;
        on ? back() : leaving();
    });
    connect(&form, &Form::focusRequested, this, [this] { m_asked = true; });
    // Disabling clears the focus before this hears of it: where it last was counts then.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && m_table && now->window() == m_table->window())
            m_lastInTable = inTable(now);
    });
}

bool TableFocus::inTable(const QWidget* widget) const
{
    return widget && m_table && (widget == m_table || m_table->isAncestorOf(widget));
}

void TableFocus::leaving()
{
    if (m_depth++ > 0 || !m_table)
        return;
    const QWidget* focus = m_table->window()->focusWidget();
    m_wasInTable = focus ? inTable(focus) : m_lastInTable;
    m_asked = false;
}

void TableFocus::back()
{
    if (m_depth == 0 || --m_depth > 0)
        return;
    if (m_wasInTable && !m_asked)
        toTable();
}

void TableFocus::toTable()
{
    if (!m_table || !m_table->isEnabled())
        return;
    m_table->activateWindow();
    m_table->setFocus(Qt::OtherFocusReason);
}
