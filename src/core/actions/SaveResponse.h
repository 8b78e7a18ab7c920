#pragma once

class ChooserPort;
class Confirmation;

// Saves the confirmation's order response to a file the user names in the chooser. The
// file is replaced only once the whole document is written, so a failed save leaves the
// previous file as it was.
void btnZapisz_Click(Confirmation& form, ChooserPort& chooser);
