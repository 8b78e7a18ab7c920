#pragma once

#include <QString>

#include <cstdint>

class Form;

// Whether a line is complete and correct, and the checks of a typed quantity.
namespace LineCheck {

// The quantity check: passes unless both read as numbers and the value is above the
// ordered quantity for a buyer that does not accept more than ordered.
bool quantityPasses(const QString& value, const QString& ordered, const QString& partnerIln);

enum class Value { Passes, NotANumber, AboveOrdered };
// The value check without messages: normalises `text` to three decimals and judges it.
Value judgeValue(QString& text, const QString& ordered, const QString& partnerIln);
// The value check of the cell editor: judges `text` and shows the number or the quantity
// message when it fails.
bool valueCheck(Form& form, QString& text, const QString& ordered);

// Re-checks every line after a commit: each line is coloured (markCommitted), the valid
// lines are counted and the totals recomputed; the current cell is kept.
void recolourAndRecount(Form& form);
// Colours columns 1 to 17 of a line after a commit: white when it passes the line check,
// whatever the response type, and light pink while it fails, so that a line that still
// needs the user's attention stays visible.
void markCommitted(Form& form, int16_t row);
// Colours a line as applying a response type does: light pink while it fails the line
// check, else the colour of the type (white for a change, the fixed colour for a refusal
// or full acceptance).
void markLine(Form& form, int16_t row, bool valid, int responseType);
// Counts the valid lines and recomputes the totals; the current cell is kept.
void recount(Form& form);

} // namespace LineCheck

bool LineIsValid(const Form& form, int16_t row);
