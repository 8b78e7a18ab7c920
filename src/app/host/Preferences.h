#pragma once

#include <QString>

#include <functional>

class QSettings;

// The host window's own preferences in the user's settings: where the window stood, the
// changes panel, the folders the file dialogs open in. A lost preference costs the clerk a
// step, not work, and is written when nobody waits for it (the window closing, a dialog
// done): a write that does not reach the disk is said on standard error, one line each,
// instead of in a box.
namespace Preferences {

// Makes `change` in the user's settings and writes them out; says why on standard error
// and returns false when they were not written. `what` names the preference in that line.
bool write(const QString& what, const std::function<void(QSettings&)>& change);

} // namespace Preferences
