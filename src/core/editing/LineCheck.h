#pragma once

#include <QString>

#include <cstdint>

class Confirmation;

// Whether a line is complete and correct, and the checks of a typed quantity.
namespace LineCheck {

// The quantity check: passes unless both read as numbers and the value is above the
// ordered quantity for a buyer that does not accept more than ordered.
bool quantityPasses(const QString& value, const QString& ordered, const QString& partnerIln);

// The value check of the cell editor: normalises `text` and shows the number or the
// quantity message when it fails.
bool valueCheck(Confirmation& form, QString& text, const QString& ordered);

// Re-checks every line after a commit: passing lines turn white, the valid lines are
// counted and the totals recomputed; the current cell is kept.
void recolourAndRecount(Confirmation& form);
// Colours columns 1 to 17 of a line: light pink while it fails the line check, else the
// colour of the chosen response type.
void markLine(Confirmation& form, int16_t row);
// Counts the valid lines and recomputes the totals; the current cell is kept.
void recount(Confirmation& form);

} // namespace LineCheck

bool LineIsValid(const Confirmation& form, int16_t row);
