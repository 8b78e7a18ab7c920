#pragma once

#include <QString>

// The working folder is a per-user setting: organisation "WEXA", group "WexaActiveX",
// key "OffLinePath". The control only reads it at start-up and writes back what it read.
namespace WorkingFolder {
QString read();
void write(const QString& folder);
// A path inside the working folder, joined with the native separator as the control
// joins them: nothing is normalised, so a folder ending in a separator gives a double one.
QString file(const QString& folder, const QString& name);
} // namespace WorkingFolder
