#pragma once

#include "core/rules/LineDialogChecks.h"

class Confirmation;

// Opens the dialog for the current line and writes the line back on confirmation.
void btnEdytuj_Click(Confirmation& form, LineDialogPort& dialog);
void ZatwierdzPozycje(Confirmation& form, int16_t row, const LineDialogFields& fields);
