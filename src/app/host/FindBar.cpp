#include "app/host/FindBar.h"

#include "core/actions/Confirmation.h"
#include "core/form/Columns.h"
#include "core/rules/Conversions.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

FindBar::FindBar(Confirmation& form, QWidget* parent)
    : QWidget(parent), m_form(form), m_field(new QLineEdit), m_notFound(new QLabel),
      m_count(new QLabel)
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
    m_count->setObjectName(QStringLiteral("findCount"));
    row->addWidget(m_count);
    auto* next = new QToolButton;
    next->setText(QStringLiteral("Далее (F3)"));
    row->addWidget(next);
    auto* close = new QToolButton;
    close->setText(QStringLiteral("✕"));
    close->setToolTip(QStringLiteral("Закрыть (Esc)"));
    close->setAutoRaise(true);
    row->addWidget(close);
    connect(m_field, &QLineEdit::returnPressed, this, [this] {
        if (const int row = findNext(); row > 0)
            emit chosen(row);
    });
    connect(m_field, &QLineEdit::textEdited, this, [this] {
        showFound(true);
        m_count->clear();
    });
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

QList<int> FindBar::matches(const Confirmation& form, const QString& text)
{
    const QString wanted = Conversions::searchForm(text.trimmed());
    const int count = std::min<int>(form.lineCount(), form.lines().rows() - 1);
    QList<int> rows;
    if (wanted.isEmpty())
        return rows;
    const Grid& lines = form.lines();
    for (int row = 1; row <= count; ++row) {
        for (int16_t column : {ColEan, ColBuyerCode, ColSupplierCode, ColName}) {
            if (Conversions::searchForm(lines.textAt(row * lines.columns() + column))
                    .contains(wanted)) {
                rows.append(row);
                break;
            }
        }
    }
    return rows;
}

int FindBar::nextMatch(const Confirmation& form, const QString& text, int after)
{
    const QList<int> rows = matches(form, text);
    const auto next = std::upper_bound(rows.begin(), rows.end(), after);
    return next != rows.end() ? *next : rows.value(0);
}

int FindBar::findNext()
{
    Grid& lines = m_form.lines();
    const QList<int> rows = matches(m_form, m_field->text());
    const int after = lines.currentRow();
    const auto next = std::upper_bound(rows.begin(), rows.end(), after);
    const bool wrapped = next == rows.end() && !rows.isEmpty();
    const int row = wrapped ? rows.first() : next != rows.end() ? *next : 0;
    showFound(row > 0 || m_field->text().trimmed().isEmpty());
    if (row == 0) {
        m_count->clear();
        return 0;
    }
    const auto rank = std::lower_bound(rows.begin(), rows.end(), row) - rows.begin() + 1;
    m_count->setText(
        wrapped && after > 0
            ? QStringLiteral("%1 из %2, поиск продолжен с начала").arg(rank).arg(rows.size())
            : QStringLiteral("%1 из %2").arg(rank).arg(rows.size()));
    lines.setCurrentCell(row, ColConfirmed);
    return row;
}

QString FindBar::countText() const
{
    return m_count->text();
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
