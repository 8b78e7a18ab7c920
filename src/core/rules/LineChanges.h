#pragma once

#include <QString>

#include <cstdint>
#include <optional>

class Form;

// How a line stands against the order, and what in it deserves a second look although
// the control's own checks let it through. The clerk's overview lists every line that
// differs from the order, fails the line check or carries a warning.
namespace LineChanges {

// By the status the line would carry in the response.
enum class Kind { AsOrdered, Changed, Refused };

enum Warning : unsigned {
    NegativeQuantity = 1U << 0,
    // 4,5 pieces: a unit counted in whole pieces with a fraction confirmed.
    FractionOfPiece = 1U << 1,
    // The line's confirmed delivery date lies before the confirmation date.
    DateBeforeConfirmation = 1U << 2,
};

struct Line {
    int16_t row = 0;
    // The line's texts as the table held them when it was judged; only for a listed line.
    QString number;
    QString ean;
    QString name;
    QString ordered;
    QString confirmed;
    Kind kind = Kind::AsOrdered;
    bool failing = false;
    unsigned warnings = 0;
    // Confirmed less ordered, signed, with the user's separator; empty when either is
    // no number, and for a line that is not listed.
    QString difference;

    bool needsAttention() const { return failing || warnings != 0; }
    bool listed() const { return kind != Kind::AsOrdered || needsAttention(); }
    // What is wrong or changed, in a few words for the clerk.
    QString note() const;
};

Line of(const Form& form, int16_t row);
// The last row whose cells the cell index reaches, so that no look at the lines throws.
int16_t lastAddressableRow(const Form& form);

// A quantity in thousandths, read as its three-decimal text says; nothing for a text that
// is no number or too long to add up exactly.
std::optional<qint64> thousandths(const QString& text);
// Thousandths as the clerk reads a quantity, with the user's separator; `sign` puts "+"
// before a positive one.
QString quantityText(qint64 thousandths, bool sign = false);
// Confirmed less ordered as the clerk reads it ("+2,000", "-7,500", "0,000").
std::optional<QString> difference(const QString& confirmed, const QString& ordered);
// Units counted in whole pieces: pieces, pairs, sets and packages, by code or by name.
bool countsPieces(const QString& unit);
// The confirmed delivery date of the header lies before the confirmation date.
bool deliveryBeforeConfirmation(const Form& form);

} // namespace LineChanges
