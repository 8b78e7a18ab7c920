#pragma once

#include <QIcon>

// The pictures of the control's picture buttons and panels, drawn rather than shipped.
namespace Icons {
enum class Picture { Send, Save, Load, Edit, Remove, Recalculate, Header, Lines, Totals, Remarks };
QIcon icon(Picture picture);
} // namespace Icons
