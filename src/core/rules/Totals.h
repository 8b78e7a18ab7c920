#pragma once

class Form;

// The summary table: the number of lines and the sum of the confirmed quantities.
namespace Totals {
void clearSummary(Form& form);
} // namespace Totals

void PoprawGrdSuma(Form& form);
