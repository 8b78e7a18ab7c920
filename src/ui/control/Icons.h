#pragma once

#include <QIcon>

class QPainter;
class QToolButton;

// The pictures of the control's picture buttons and panels, drawn rather than shipped.
namespace Icons {
// Application is the program's own icon: the send button's picture on a sheet of paper.
enum class Picture {
    Send,
    Save,
    Load,
    Edit,
    Remove,
    Recalculate,
    Header,
    Lines,
    Totals,
    Remarks,
    Application
};
QIcon icon(Picture picture);
// Draws the picture on a 32 by 32 square of the painter's coordinates.
void paint(QPainter& painter, Picture picture);
// A picture button: the picture, its name, and a tool tip that says what it does.
QToolButton* pictureButton(const QString& name, Picture picture, const QString& toolTip);
} // namespace Icons
