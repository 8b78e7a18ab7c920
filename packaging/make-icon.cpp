#include "ui/control/Icons.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

// Writes what is painted as SVG paths: enough for the drawn pictures, which are filled
// and stroked paths and lines only.
class SvgEngine : public QPaintEngine {
public:
    SvgEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }
    void updateState(const QPaintEngineState& state) override
    {
        if (state.state() & QPaintEngine::DirtyPen)
            m_pen = state.pen();
        if (state.state() & QPaintEngine::DirtyBrush)
            m_brush = state.brush();
        if (state.state() & QPaintEngine::DirtyTransform)
            m_transform = state.transform();
    }
    void drawPath(const QPainterPath& path) override { write(path, true); }
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
    {
        QPainterPath path(points[0]);
        for (int i = 1; i < count; ++i)
            path.lineTo(points[i]);
        if (mode != PolylineMode)
            path.closeSubpath();
        write(path, mode != PolylineMode);
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}

    QByteArray body;

private:
    static QByteArray color(const QColor& c)
    {
        return c.name(QColor::HexRgb).toLatin1() +
               (c.alpha() < 255 ? "\" fill-opacity=\"" + QByteArray::number(c.alphaF()) : "");
    }
    void write(const QPainterPath& original, bool fill)
    {
        const QPainterPath path = m_transform.map(original);
        QByteArray d;
        for (int i = 0; i < path.elementCount(); ++i) {
            const QPainterPath::Element e = path.elementAt(i);
            const char* op = e.isMoveTo() ? "M" : e.isLineTo() ? "L" : e.isCurveTo() ? "C" : "";
            d += op + QByteArray::number(e.x, 'f', 3) + ',' + QByteArray::number(e.y, 'f', 3) + ' ';
        }
        const bool filled = fill && m_brush.style() != Qt::NoBrush;
        const bool stroked = m_pen.style() != Qt::NoPen;
        body += "<path d=\"" + d.trimmed() + "\" fill=\"" +
                (filled ? color(m_brush.color()) : QByteArray("none")) + "\"";
        if (stroked)
            body += " stroke=\"" + m_pen.color().name().toLatin1() + "\" stroke-width=\"" +
                    QByteArray::number(m_pen.widthF() * m_transform.m11(), 'f', 3) +
                    "\" stroke-linecap=\"round\" stroke-linejoin=\"round\"";
        body += "/>\n";
    }

    QPen m_pen;
    QBrush m_brush;
    QTransform m_transform;
};

class SvgDevice : public QPaintDevice {
public:
    explicit SvgDevice(int size) : m_size(size) {}
    QPaintEngine* paintEngine() const override { return &m_engine; }
    QByteArray svg() const
    {
        const QByteArray size = QByteArray::number(m_size);
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg "
               "xmlns=\"http://www.w3.org/2000/svg\" "
               "width=\"" +
               size + "\" height=\"" + size + "\" viewBox=\"0 0 " + size + ' ' + size + "\">\n" +
               m_engine.body + "</svg>\n";
    }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
        case PdmHeight:
            return m_size;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(QPaintDevice::devicePixelRatioFScale());
        default:
            return 0;
        }
    }

private:
    int m_size;
    mutable SvgEngine m_engine;
};

} // namespace

// make-icon SVG PNG SIZE: the application's icon, drawn as the control's pictures are.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: make-icon SVG PNG SIZE\n");
        return 2;
    }
    SvgDevice svg(32);
    {
        QPainter painter(&svg);
        Icons::paint(painter, Icons::Picture::Application);
    }
    const int size = QByteArray(argv[3]).toInt();
    QImage png(size, size, QImage::Format_ARGB32_Premultiplied);
    png.fill(Qt::transparent);
    {
        QPainter painter(&png);
        painter.scale(size / 32.0, size / 32.0);
        Icons::paint(painter, Icons::Picture::Application);
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly) || file.write(svg.svg()) < 0 || !file.flush() ||
        !png.save(QString::fromLocal8Bit(argv[2]), "PNG"))
        return 1;
    return 0;
}
