#pragma once

class Confirmation;

// Empties the header, the lines and the totals before a load, and when the only line is
// removed.
void ResetForm(Confirmation& form);
