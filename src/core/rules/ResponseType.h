#pragma once

#include <QString>

#include <cstdint>

class Form;

// The three response types and what choosing one does to the lines.
namespace ResponseType {

enum : int16_t { Change = 0, Refuse = 1, Accept = 2 };

// The document code of a type index ("4" for anything but 1 and 2) and back.
QString code(int index);
int indexForCode(const QString& code);

// Rewrites and recolours the lines as type t dictates and recomputes the totals; ends on
// row 1, column 1.
void applyType(Form& form, int16_t t);

} // namespace ResponseType
