#pragma once

#include "core/rules/QuantityFile.h"

#include <QString>
#include <QStringList>

#include <optional>

class Confirmation;

// Confirmed quantities taken from a warehouse's list. Each line the list names gets its
// quantity through the rules of a value typed into the cell editor; what cannot be used
// is collected into a report instead of a message each, and the lines are recoloured,
// counted and totalled once at the end.
namespace QuantityFill {

// Which line column identifies the lines of the list.
enum class Key { Ean, BuyerCode, SupplierCode };

struct Columns {
    int key = -1;
    Key keyKind = Key::Ean;
    int quantity = -1;
    bool headerRow = false; // the first row names the columns and is no data
};

// The two columns read from a header row in Russian or English, or nothing.
std::optional<Columns> recognise(const QStringList& header);
// Columns the user names (0-based); the first row is taken as a header when its quantity
// cell is no number.
Columns chosen(const QuantityFile& list, int key, Key kind, int quantity);
// The columns a list's header names, else those given; nothing when neither.
std::optional<Columns> columnsOf(const QuantityFile& list, std::optional<Columns> given = {});

struct Report {
    int filled = 0;
    QStringList notInOrder; // rows of the list naming no line of the order
    QStringList notInList;  // lines of the order the list does not name
    QStringList duplicates; // names the list gives more than once: those lines are left
    QStringList refused;    // values that did not pass, with the reason

    // The report as the clerk reads it and copies it.
    QString text() const;
};

// "4,60639E+12": what a spreadsheet makes of an EAN kept as a number, its digits lost.
bool spreadsheetNumber(const QString& text);

// Fills under the response type "Изменение" only; nothing when another type is chosen.
std::optional<Report> fill(Confirmation& form, const QuantityFile& list, const Columns& columns);

} // namespace QuantityFill
