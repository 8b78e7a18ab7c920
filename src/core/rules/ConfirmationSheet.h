#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <utility>

class Form;

// The confirmation as a warehouse picks from it on paper: the header as captions and
// values, every line with its codes, name, unit, ordered and confirmed quantity and the
// difference, and the totals. Printing and the PDF lay out this, and only this.
struct ConfirmationSheet {
    enum Column {
        Number,
        Ean,
        BuyerCode,
        SupplierCode,
        Name,
        Unit,
        Ordered,
        Confirmed,
        Difference,
        ColumnCount
    };
    using Row = std::array<QString, ColumnCount>;
    using Pairs = QList<std::pair<QString, QString>>;

    QString title;
    Pairs header;
    QList<Row> rows;
    // Rows whose confirmed quantity is not the ordered one.
    QList<bool> changed;
    Pairs totals;

    static const QStringList& columnLabels();
    static ConfirmationSheet of(const Form& form);
};
