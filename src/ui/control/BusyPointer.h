#pragma once

#include <QCursor>

// The control's own hourglass pointer, 32 by 32 with its hot spot in the centre.
namespace BusyPointer {
QCursor cursor();
} // namespace BusyPointer
