#include "app/host/FindBar.h"

#include "core/actions/Confirmation.h"
#include "core/form/Columns.h"
#include "core/rules/Conversions.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

FindBar::FindBar(Confirmation& form, QWidget* parent)
    : QWidget(parent), m_form(form), m_field(new QLineEdit), m_notFound(new QLabel)
{
    setObjectName(QStringLiteral("findBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 8, 4);
    row->addWidget(new QLabel(QStringLiteral("Найти:")));
    m_field->setObjectName(QStringLiteral("findField"));
    m_field->setPlaceholderText(QStringLiteral("EAN, код товара или часть названия"));
    m_field->setClearButtonEnabled(true);
    row->addWidget(m_field, 1);
    m_notFound->setObjectName(QStringLiteral("findNotFound"));
    m_notFound->setText(QStringLiteral("Не найдено"));
    m_notFound->setStyleSheet(QStringLiteral("color: #b00020;"));
    m_notFound->hide();
    row->addWidget(m_notFound);
    auto* next = new QToolButton;
    next->setText(QStringLiteral("Далее (F3)"));
    row->addWidget(next);
    auto* close = new QToolButton;
    close->setText(QStringLiteral("✕"));
    close->setToolTip(QStringLiteral("Закрыть (Esc)"));
    close->setAutoRaise(true);
    row->addWidget(close);
    connect(m_field, &QLineEdit::returnPressed, this, &FindBar::findNext);
    connect(m_field, &QLineEdit::textEdited, this, [this] { showFound(true); });
    connect(next, &QToolButton::clicked, this, &FindBar::findNext);
    connect(close, &QToolButton::clicked, this, [this] {
        hide();
        emit closed();
    });
    hide();
}

void FindBar::open()
{
    show();
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

int FindBar::nextMatch(const Confirmation& form, const QString& text, int after)
{
    const QString wanted = Conversions::searchForm(text.trimmed());
    const int count = std::min<int>(form.lineCount(), form.lines().rows() - 1);
    if (wanted.isEmpty() || count < 1)
        return 0;
    const Grid& lines = form.lines();
    for (int step = 1; step <= count; ++step) {
        const int row = (std::max(after, 0) + step - 1) % count + 1;
        for (int16_t column : {ColEan, ColBuyerCode, ColSupplierCode, ColName}) {
            if (Conversions::searchForm(lines.textAt(row * lines.columns() + column))
                    .contains(wanted))
                return row;
        }
    }
    return 0;
}

void FindBar::findNext()
{
    Grid& lines = m_form.lines();
    const int row = nextMatch(m_form, m_field->text(), lines.currentRow());
    showFound(row > 0 || m_field->text().trimmed().isEmpty());
    if (row > 0)
        lines.setCurrentCell(row, ColConfirmed);
}

void FindBar::showFound(bool found)
{
    m_notFound->setVisible(!found);
    m_field->setStyleSheet(found ? QString()
                                 : QStringLiteral("QLineEdit { background: #ffe0e0; }"));
}

void FindBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        hide();
        emit closed();
        return;
    }
    if (event->key() == Qt::Key_F3) {
        findNext();
        return;
    }
    QWidget::keyPressEvent(event);
}
