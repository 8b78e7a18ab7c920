#include "app/host/JournalModel.h"

#include <QLocale>

void JournalModel::setEntries(QList<Journal::Entry> entries)
{
    beginResetModel();
    m_entries = std::move(entries);
    endResetModel();
}

const Journal::Entry* JournalModel::entryAt(int row) const
{
    return row >= 0 && row < m_entries.size() ? &m_entries[row] : nullptr;
}

int JournalModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int JournalModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JournalModel::data(const QModelIndex& index, int role) const
{
    const Journal::Entry* e = entryAt(index.row());
    if (!e)
        return {};
    if (role == Qt::TextAlignmentRole &&
        (index.column() == Lines || index.column() == Ordered || index.column() == Confirmed))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    const QLocale locale;
    switch (index.column()) {
    case Received:
        return e->received.toString(QStringLiteral("dd.MM.yyyy HH:mm"));
    case State:
        return WorkStates::label(e->state);
    case OrderNumber:
        return e->orderNumber;
    case OrderDate:
        return e->orderDate;
    case Confirmation:
        return e->responseNumber.isEmpty() ? e->confirmationNumber : e->responseNumber;
    case Buyer:
        return e->buyerName.isEmpty() ? e->buyerIln : e->buyerName;
    case Lines:
        return e->lines;
    case Ordered:
        return locale.toString(e->orderedTotal, 'f', 3);
    case Confirmed:
        return e->responseNumber.isEmpty() ? QString() : locale.toString(e->confirmedTotal, 'f', 3);
    case Answer:
        return e->answer;
    default:
        return {};
    }
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const QStringList labels = {
        QStringLiteral("Получен"),       QStringLiteral("Состояние"),
        QStringLiteral("Номер заказа"),  QStringLiteral("Дата заказа"),
        QStringLiteral("Подтверждение"), QStringLiteral("Покупатель"),
        QStringLiteral("Строк"),         QStringLiteral("Заказано"),
        QStringLiteral("Подтверждено"),  QStringLiteral("Ответ площадки")};
    return labels.value(section);
}
