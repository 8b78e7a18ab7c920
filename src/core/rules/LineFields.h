#pragma once

#include "core/rules/XmlDocument.h"

#include <QString>

#include <array>
#include <cstdint>

class Grid;

// How the elements of one document line fill columns 0 to 17 of a line-table row. The
// order and a saved response read their lines the same way, each with its own layout.
namespace LineFields {

enum class Rule {
    Text,        // as read
    Quantity,    // number text with 3 decimals
    Discount,    // number text with 2 decimals
    CopyOrdered, // the text column 3 received
    Today,       // today's date, "yyyy-mm-dd"
    UnitOrEmpty, // as read, but "" when only blanks
    UnitOrPce,   // as read, but "PCE" when only blanks
    Empty,       // not read
};

struct Field {
    XmlPath path; // below the line's Line-Item
    bool emptyIfMissing;
    Rule rule;
};

using Layout = std::array<Field, 18>;

const Layout& orderLayout(const QString& partnerIln);
const Layout& responseLayout(const QString& partnerIln);

// Writes row `row` from one child node of the lines element. Only an element named Line
// yields values: every other child reads as missing elements. `today` is the text the
// Today columns take; the caller works it out once for the whole document, since asking
// the clock for the local date consults the time-zone database every time.
void writeRow(Grid& lines, int16_t row, const XmlNode& line, const Layout& layout,
              const QString& today);

} // namespace LineFields
