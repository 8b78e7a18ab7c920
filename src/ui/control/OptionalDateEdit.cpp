#include "ui/control/OptionalDateEdit.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>

OptionalDateEdit::OptionalDateEdit(const QString& displayFormat, QWidget* parent)
    : QWidget(parent), m_switch(new QCheckBox(this)), m_edit(new QDateEdit(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_switch);
    layout->addWidget(m_edit, 1);
    m_edit->setDisplayFormat(displayFormat);
    m_edit->setCalendarPopup(true);
    m_switch->setChecked(true);
    m_switch->setToolTip(tr("Дата задана"));
    setFocusProxy(m_edit);
    connect(m_switch, &QCheckBox::toggled, this, [this](bool on) {
        m_edit->setEnabled(on);
        // Without a date the focus goes to the box that switches one on.
        setFocusProxy(on ? static_cast<QWidget*>(m_edit) : m_switch);
        if (!m_updating)
            emit dateEdited(date());
    });
    connect(m_edit, &QDateEdit::dateChanged, this, [this] {
        if (!m_updating)
            emit dateEdited(date());
    });
}

std::optional<QDate> OptionalDateEdit::date() const
{
    if (!m_switch->isChecked())
        return std::nullopt;
    return m_edit->date();
}

void OptionalDateEdit::setDate(std::optional<QDate> date)
{
    m_updating = true;
    m_switch->setChecked(date.has_value());
    m_edit->setEnabled(date.has_value());
    setFocusProxy(date ? static_cast<QWidget*>(m_edit) : m_switch);
    if (date)
        m_edit->setDate(*date);
    m_updating = false;
}
