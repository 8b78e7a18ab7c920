#pragma once

#include "core/session/Journal.h"

#include <QAbstractTableModel>

// The journal's entries as a table, newest first.
class JournalModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Received,
        State,
        OrderNumber,
        OrderDate,
        Confirmation,
        Buyer,
        Lines,
        Ordered,
        Confirmed,
        Answer,
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    void setEntries(QList<Journal::Entry> entries);
    const Journal::Entry* entryAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QList<Journal::Entry> m_entries;
};
