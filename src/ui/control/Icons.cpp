#include "ui/control/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolButton>

namespace Icons {
namespace {

const QColor Teal(30, 134, 159);
const QColor Ink(45, 55, 65);
const QColor Paper(250, 250, 246);
const QColor Red(200, 40, 40);

void arrowHead(QPainter& p, QPointF tip, QPointF from, qreal size)
{
    const QLineF axis(tip, from);
    QLineF side1 = axis;
    side1.setLength(size);
    side1.setAngle(axis.angle() + 30);
    QLineF side2 = axis;
    side2.setLength(size);
    side2.setAngle(axis.angle() - 30);
    QPainterPath head;
    head.moveTo(tip);
    head.lineTo(side1.p2());
    head.lineTo(side2.p2());
    head.closeSubpath();
    p.fillPath(head, p.pen().color());
}

void draw(QPainter& p, Picture picture)
{
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(Ink, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    switch (picture) {
    case Picture::Application: {
        QPainterPath sheet;
        sheet.addRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
        p.fillPath(sheet, Paper);
        p.setPen(QPen(Teal, 1.2));
        p.drawPath(sheet);
        p.setPen(pen);
        draw(p, Picture::Send);
        break;
    }
    case Picture::Send: {
        QPainterPath plane;
        plane.moveTo(4, 15);
        plane.lineTo(28, 5);
        plane.lineTo(20, 27);
        plane.lineTo(15, 18);
        plane.closeSubpath();
        p.fillPath(plane, Teal);
        p.drawPath(plane);
        p.drawLine(QPointF(15, 18), QPointF(28, 5));
        break;
    }
    case Picture::Save: {
        QPainterPath disk;
        disk.moveTo(5, 4);
        disk.lineTo(23, 4);
        disk.lineTo(28, 9);
        disk.lineTo(28, 28);
        disk.lineTo(5, 28);
        disk.closeSubpath();
        p.fillPath(disk, Teal);
        p.drawPath(disk);
        p.fillRect(QRectF(10, 5, 11, 8), Paper);
        p.fillRect(QRectF(9, 18, 15, 9), Paper);
        p.drawRect(QRectF(9, 18, 15, 9));
        break;
    }
    case Picture::Load: {
        QPainterPath folder;
        folder.moveTo(3, 9);
        folder.lineTo(12, 9);
        folder.lineTo(14, 12);
        folder.lineTo(29, 12);
        folder.lineTo(29, 27);
        folder.lineTo(3, 27);
        folder.closeSubpath();
        p.fillPath(folder, QColor(240, 200, 90));
        p.drawPath(folder);
        pen.setColor(Teal);
        pen.setWidthF(3);
        p.setPen(pen);
        p.drawLine(QPointF(16, 24), QPointF(16, 6));
        arrowHead(p, QPointF(16, 2), QPointF(16, 10), 7);
        break;
    }
    case Picture::Edit: {
        p.save();
        p.translate(16, 16);
        p.rotate(-45);
        p.fillRect(QRectF(-11, -4, 18, 8), QColor(240, 200, 90));
        p.drawRect(QRectF(-11, -4, 18, 8));
        p.fillRect(QRectF(7, -4, 4, 8), Red);
        QPainterPath tip;
        tip.moveTo(-11, -4);
        tip.lineTo(-17, 0);
        tip.lineTo(-11, 4);
        tip.closeSubpath();
        p.fillPath(tip, Paper);
        p.drawPath(tip);
        p.restore();
        break;
    }
    case Picture::Remove: {
        p.fillRect(QRectF(4, 7, 18, 4), Ink);
        p.fillRect(QRectF(4, 14, 18, 4), Ink);
        p.fillRect(QRectF(4, 21, 12, 4), Ink);
        pen.setColor(Red);
        pen.setWidthF(3.5);
        p.setPen(pen);
        p.drawLine(QPointF(19, 17), QPointF(29, 27));
        p.drawLine(QPointF(29, 17), QPointF(19, 27));
        break;
    }
    case Picture::Recalculate: {
        pen.setColor(Teal);
        pen.setWidthF(3.5);
        p.setPen(pen);
        const QRectF ring(5, 5, 22, 22);
        p.drawArc(ring, 100 * 16, 150 * 16);
        p.drawArc(ring, 280 * 16, 150 * 16);
        arrowHead(p, QPointF(7, 24), QPointF(5, 14), 9);
        arrowHead(p, QPointF(25, 8), QPointF(27, 18), 9);
        break;
    }
    case Picture::Header: {
        p.fillRect(QRectF(7, 3, 18, 26), Paper);
        p.drawRect(QRectF(7, 3, 18, 26));
        for (int y : {9, 14, 19, 24})
            p.drawLine(QPointF(11, y), QPointF(21, y));
        break;
    }
    case Picture::Lines: {
        for (int y : {6, 14, 22}) {
            p.fillRect(QRectF(4, y, 5, 5), Paper);
            p.drawLine(QPointF(12, y + 2.5), QPointF(28, y + 2.5));
        }
        break;
    }
    case Picture::Totals: {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(26);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Paper);
        p.drawText(QRectF(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("Σ"));
        break;
    }
    case Picture::Remarks: {
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(3, 5, 26, 17), 5, 5);
        bubble.moveTo(9, 22);
        bubble.lineTo(8, 29);
        bubble.lineTo(15, 22);
        p.fillPath(bubble.simplified(), Paper);
        p.drawPath(bubble.simplified());
        break;
    }
    }
}

} // namespace

void paint(QPainter& painter, Picture picture)
{
    painter.save();
    draw(painter, picture);
    painter.restore();
}

QIcon icon(Picture picture)
{
    QIcon result;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.scale(size / 32.0, size / 32.0);
        draw(painter, picture);
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

QToolButton* pictureButton(const QString& name, Picture picture, const QString& toolTip)
{
    auto* button = new QToolButton;
    button->setObjectName(name);
    button->setIcon(icon(picture));
    button->setIconSize(QSize(28, 28));
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    return button;
}

} // namespace Icons
