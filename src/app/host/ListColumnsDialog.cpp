#include "app/host/ListColumnsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>

ListColumnsDialog::ListColumnsDialog(const QuantityFile& list, QWidget* parent)
    : QDialog(parent), m_list(list), m_key(new QComboBox), m_kind(new QComboBox),
      m_quantity(new QComboBox)
{
    setObjectName(QStringLiteral("ListColumnsDialog"));
    setWindowTitle(QStringLiteral("Столбцы списка"));
    auto* form = new QFormLayout(this);
    auto* note = new QLabel(QStringLiteral(
        "Заголовок списка не назвал столбцы. Укажите, где стоит товар и где количество."));
    note->setWordWrap(true);
    form->addRow(note);
    const QStringList first = list.rows.isEmpty() ? QStringList() : list.rows.first().cells;
    for (int c = 0; c < first.size(); ++c) {
        const QString item = QStringLiteral("%1: %2").arg(c + 1).arg(first[c].left(40));
        m_key->addItem(item);
        m_quantity->addItem(item);
    }
    m_quantity->setCurrentIndex(std::min(1, int(first.size()) - 1));
    m_kind->addItems(
        {QStringLiteral("EAN"), QStringLiteral("код покупателя"), QStringLiteral("код продавца")});
    m_key->setObjectName(QStringLiteral("keyColumn"));
    m_kind->setObjectName(QStringLiteral("keyKind"));
    m_quantity->setObjectName(QStringLiteral("quantityColumn"));
    form->addRow(QStringLiteral("Товар в столбце:"), m_key);
    form->addRow(QStringLiteral("Это:"), m_kind);
    form->addRow(QStringLiteral("Количество в столбце:"), m_quantity);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QuantityFill::Columns ListColumnsDialog::columns() const
{
    return QuantityFill::chosen(m_list, m_key->currentIndex(),
                                QuantityFill::Key(m_kind->currentIndex()),
                                m_quantity->currentIndex());
}
