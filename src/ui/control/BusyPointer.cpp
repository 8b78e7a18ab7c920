#include "ui/control/BusyPointer.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QCursor BusyPointer::cursor()
{
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath glass;
    glass.moveTo(8, 3);
    glass.lineTo(24, 3);
    glass.lineTo(24, 8);
    glass.lineTo(17, 16);
    glass.lineTo(24, 24);
    glass.lineTo(24, 29);
    glass.lineTo(8, 29);
    glass.lineTo(8, 24);
    glass.lineTo(15, 16);
    glass.lineTo(8, 8);
    glass.closeSubpath();
    painter.fillPath(glass, QColor(250, 250, 246));
    QPainterPath sand;
    sand.moveTo(10, 27);
    sand.lineTo(22, 27);
    sand.lineTo(16, 20);
    sand.closeSubpath();
    painter.fillPath(sand, QColor(30, 134, 159));
    painter.setPen(QPen(Qt::black, 1.5));
    painter.drawPath(glass);
    painter.end();
    return QCursor(picture, 16, 16);
}
