#pragma once

#include <QString>

// The working folder is a per-user setting: organisation "WEXA", group "WexaActiveX",
// key "OffLinePath". The control only reads it at start-up and writes back what it read.
namespace WorkingFolder {
QString read();
// False when the setting could not be written.
bool write(const QString& folder);
// A path inside the working folder, joined with the native separator as the control
// joins them: nothing is normalised, so a folder ending in a separator gives a double one.
// A name that could leave the folder or be cut short (a separator, "..", a control
// character, too long) gives no path at all: what was to be read or written there is not.
QString file(const QString& folder, const QString& name);
} // namespace WorkingFolder
