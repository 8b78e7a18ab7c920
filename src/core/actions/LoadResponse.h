#pragma once

#include "core/rules/Chooser.h"
#include "core/rules/XmlDocument.h"

#include <QString>

class Confirmation;

// Loading a saved order response back into the control.
enum class LoadOutcome {
    Loaded,     // the file's confirmation is in the form
    Refused,    // not XML, not a response, or not between this user and this buyer
    Incomplete, // read as far as it went and reported incomplete
    Failed,     // an error outside the reading ended the load
};

// The load button: asks for a file and loads it.
void btnWczytaj_Click(Confirmation& form, ChooserPort& chooser);
// Rebuilds the form from a saved response file: from the form reset on, everything the
// load does once a file has been chosen. Reports every outcome to the user itself.
LoadOutcome loadResponseFile(Confirmation& form, const QString& path);

// Parses a file; a file that does not parse is read again as windows-1251 text behind a
// UTF-8 declaration. `ok` tells whether the document holds the file.
XmlDocument LoadDocument(Confirmation& form, const QString& path, bool& ok);
bool IsOrderResponse(const XmlDocument& document);
