#pragma once

#include "core/rules/LineChanges.h"

#include <QAbstractTableModel>
#include <QList>
#include <QTimer>

class Form;

// The lines that differ from the order or deserve a second look, one row each, kept up
// to date with the confirmation: a change is taken once the action that made it has run
// (or at once through update()), and only the lines it touched are looked at again.
class ChangesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { LineNumber, Ean, Name, Ordered, Confirmed, Difference, Note, ColumnCount };
    enum class Filter { All, Changed, Refused, Attention };
    enum Role { LineRowRole = Qt::UserRole + 1, AttentionRole, KindRole };

    struct Counts {
        int listed = 0;
        int changed = 0;
        int refused = 0;
        int attention = 0; // failing the line check or warned

        bool operator==(const Counts&) const = default;
        int of(Filter filter) const;
    };

    explicit ChangesModel(Form& form, QObject* parent = nullptr);

    Filter filter() const { return m_filter; }
    void setFilter(Filter filter);
    const Counts& counts() const { return m_counts; }
    // The line-table row of a row of this model.
    int lineRow(int row) const;
    // Takes what changed since the last look now instead of once the action is over.
    void update();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    void countsChanged();

private:
    void touched(int top, int bottom);
    void reshaped();
    void rebuild();
    void refreshRows(int top, int bottom);
    bool shows(const LineChanges::Line& line) const;
    void setCounts(const Counts& counts);

    Form& m_form;
    Filter m_filter = Filter::All;
    // Every listed line by row, and those the filter shows.
    QList<LineChanges::Line> m_all;
    QList<LineChanges::Line> m_shown;
    Counts m_counts;
    QTimer m_pending;
    bool m_whole = true;
    int m_top = 0;
    int m_bottom = -1;
};
