#include "ui/editing/LineDialog.h"

#include "ui/control/OptionalDateEdit.h"
#include "ui/control/SharedDialog.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* caption(const QString& text)
{
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLabel* value(const QString& name)
{
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setMinimumWidth(160);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QLineEdit* textBox(const QString& name)
{
    auto* box = new QLineEdit;
    box->setObjectName(name);
    return box;
}

QWidget* required(QWidget* field)
{
    auto* holder = new QWidget;
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(field, 1);
    row->addWidget(new QLabel(QStringLiteral("*")));
    return holder;
}

} // namespace

LineDialog& LineDialog::instance(MessageSink& messages)
{
    static LineDialog* dialog = new LineDialog(messages);
    dialog->m_messages = &messages;
    return *dialog;
}

LineDialog::LineDialog(MessageSink& messages)
    : m_messages(&messages), m_title(new QLabel(QStringLiteral("Pozycja towarowa nr "))),
      m_name(value(QStringLiteral("lblNazwaProdWart"))),
      m_ean(value(QStringLiteral("lblEANProdWart"))),
      m_ordered(value(QStringLiteral("lblIloscZamWart"))), m_unit(new QComboBox),
      m_price(textBox(QStringLiteral("txtCenaNetto"))),
      m_discount(textBox(QStringLiteral("txtRabat"))),
      m_confirmed(textBox(QStringLiteral("txtIloscPotw"))),
      m_date(new OptionalDateEdit(QStringLiteral("yyyy-MM-dd")))
{
    setObjectName(QStringLiteral("DlgDodaj"));
    setWindowTitle(QStringLiteral("Potwierdџ pozycjк towarow№"));
    setFont(QFont(QStringLiteral("Verdana"), 8));
    setModal(true);
    m_title->setObjectName(QStringLiteral("lblPozycjaTow"));
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_unit->setObjectName(QStringLiteral("cboxJednostkaMiary"));
    m_unit->setEditable(true);
    m_unit->setInsertPolicy(QComboBox::NoInsert);
    // A typed unit is stored as typed: nothing completes it to an entry's name.
    m_unit->setCompleter(nullptr);
    m_unit->addItems(LineEdit::unitNames());
    m_unit->setToolTip(QStringLiteral("W przypadku wprowadzania nie predefiniowanej jednostki "
                                      "miary proszк o podanie jej symbolu zamiast nazwy"));
    m_date->setObjectName(QStringLiteral("dtDataDostawy"));

    auto* fields = new QGridLayout;
    fields->addWidget(caption(QStringLiteral("Nazwa produktu:")), 0, 0);
    fields->addWidget(m_name, 0, 1, 1, 3);
    fields->addWidget(caption(QStringLiteral("EAN produktu:")), 1, 0);
    fields->addWidget(m_ean, 1, 1);
    fields->addWidget(caption(QStringLiteral("Jednostka miary:")), 2, 0);
    fields->addWidget(required(m_unit), 2, 1);
    fields->addWidget(caption(QStringLiteral("Cena netto:")), 2, 2);
    fields->addWidget(m_price, 2, 3);
    fields->addWidget(caption(QStringLiteral("Zamawiana iloњж:")), 3, 0);
    fields->addWidget(m_ordered, 3, 1);
    fields->addWidget(caption(QStringLiteral("Rabat :")), 3, 2);
    fields->addWidget(m_discount, 3, 3);
    fields->addWidget(caption(QStringLiteral("Potwierdzana iloњж:")), 4, 0);
    fields->addWidget(required(m_confirmed), 4, 1);
    fields->addWidget(caption(QStringLiteral("Potwierdzona data dostawy:")), 4, 2);
    fields->addWidget(m_date, 4, 3);

    auto* confirm = new QPushButton(QStringLiteral("&Zatwierdџ"));
    confirm->setObjectName(QStringLiteral("btnDodaj"));
    confirm->setAutoDefault(false);
    auto* cancel = new QPushButton(QStringLiteral("&Anuluj"));
    cancel->setObjectName(QStringLiteral("btnZamknij"));
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(confirm);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addLayout(fields);
    layout->addWidget(new QLabel(QStringLiteral("Uwaga: pola oznaczone * s№ obowi№zkowe")));
    layout->addLayout(buttons);

    for (QLineEdit* box : {m_confirmed, m_price, m_discount})
        box->installEventFilter(this);
    // The combo would choose the entry that a typed text spells once the typing ends.
    QObject::disconnect(m_unit->lineEdit(), &QLineEdit::editingFinished, m_unit, nullptr);
    connect(m_unit->lineEdit(), &QLineEdit::textEdited, this, [this] { m_unitTyped = true; });
    connect(m_unit, &QComboBox::activated, this, [this] { m_unitTyped = false; });
    connect(confirm, &QPushButton::clicked, this, &LineDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, &LineDialog::reject);
}

void LineDialog::setOwner(QWidget* owner)
{
    SharedDialog::setOwner(*this, owner);
}

int16_t LineDialog::run(LineDialogFields& fields)
{
    m_shown = fields;
    fill(fields);
    // The control is disabled while the dialog is open, and that disables the dialog too,
    // since the control is its parent.
    setEnabled(true);
    m_confirmed->setFocus();
    QDialog::exec();
    if (m_result == 1)
        fields = collect();
    return m_result;
}

void LineDialog::fill(const LineDialogFields& fields)
{
    m_title->setText(fields.title);
    m_ean->setText(fields.ean);
    m_name->setText(fields.name);
    m_unitTyped = fields.unitIndex < 0 || fields.unitIndex >= m_unit->count();
    if (m_unitTyped)
        m_unit->setEditText(fields.unitText);
    else
        m_unit->setCurrentIndex(fields.unitIndex);
    m_ordered->setText(fields.ordered);
    m_confirmed->setText(fields.confirmed);
    m_price->setText(fields.price);
    m_discount->setText(fields.discount);
    m_date->setDate(fields.deliveryDate);
}

LineDialogFields LineDialog::collect() const
{
    LineDialogFields fields = m_shown;
    fields.unitText = m_unit->currentText();
    fields.unitIndex = int16_t(m_unitTyped ? -1 : m_unit->currentIndex());
    fields.confirmed = m_confirmed->text();
    fields.price = m_price->text();
    fields.discount = m_discount->text();
    fields.deliveryDate = m_date->date();
    return fields;
}

void LineDialog::confirm()
{
    LineDialogFields fields = collect();
    const LineEdit::Field failing = LineEdit::Walidacja(fields, *m_messages);
    m_confirmed->setText(fields.confirmed);
    m_price->setText(fields.price);
    m_discount->setText(fields.discount);
    switch (failing) {
    case LineEdit::Field::None:
        m_result = 1;
        hide();
        QDialog::done(Accepted);
        return;
    case LineEdit::Field::txtIloscPotw:
        m_confirmed->setFocus();
        break;
    case LineEdit::Field::cboxJednostkaMiary:
        if (m_unit->isEnabled())
            m_unit->setFocus();
        break;
    case LineEdit::Field::txtCenaNetto:
        m_price->setFocus();
        break;
    case LineEdit::Field::txtRabat:
        m_discount->setFocus();
        break;
    case LineEdit::Field::dtDataDostawy:
        m_date->setFocus();
        break;
    }
}

void LineDialog::reject()
{
    // Cancel, Esc and the window's close button alike leave the line as it was.
    m_result = 0;
    QDialog::reject();
}

bool LineDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        auto* box = qobject_cast<QLineEdit*>(watched);
        if (box)
            box->setText(LineEdit::leaveTextBox(box->text(), box == m_confirmed ? 3 : 2));
    }
    return QDialog::eventFilter(watched, event);
}
