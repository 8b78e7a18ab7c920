#include "app/print/ConfirmationPrint.h"

#include "core/actions/Confirmation.h"
#include "core/rules/FileWriter.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <array>

namespace ConfirmationPrint {
namespace {

using Sheet = ConfirmationSheet;

// Shares of the page's width, by column.
constexpr std::array<double, Sheet::ColumnCount> Widths = {0.045, 0.11,  0.1, 0.1,  0.3,
                                                           0.055, 0.095, 0.1, 0.095};
// A name longer than this many lines is cut, so that every line fits on a page.
constexpr int MostNameLines = 6;
// Names wrap between words; codes, which have none, anywhere.
int wrapOf(int column)
{
    return column == Sheet::Name ? Qt::TextWordWrap : Qt::TextWordWrap | Qt::TextWrapAnywhere;
}

struct Page {
    int first = 0; // rows [first, last)
    int last = 0;
    bool header = false;
    bool totals = false;
};

// Sizes in the device's units, from its resolution.
class Layout {
public:
    explicit Layout(QPagedPaintDevice& device)
        : m_device(device), body(QStringLiteral("DejaVu Sans"), 8),
          bold(QStringLiteral("DejaVu Sans"), 8, QFont::Bold),
          title(QStringLiteral("DejaVu Sans"), 13, QFont::Bold)
    {
        area = QRectF(0, 0, device.width(), device.height());
        const QFontMetricsF metrics(body, &device);
        line = metrics.lineSpacing();
        pad = line * 0.25;
        footer = line * 1.8;
        double left = 0;
        for (int c = 0; c < Sheet::ColumnCount; ++c) {
            columns[c] = QRectF(left, 0, area.width() * Widths[c], 0);
            left += columns[c].width();
        }
    }

    double textHeight(const QFont& font, double width, const QString& text, int mostLines,
                      int flags = Flags) const
    {
        const QFontMetricsF metrics(font, &m_device);
        const QRectF bounds = metrics.boundingRect(QRectF(0, 0, width, 1e6), flags, text);
        return std::min(bounds.height(), mostLines * metrics.lineSpacing());
    }
    double rowHeight(const Sheet::Row& row) const
    {
        double height = line;
        for (int c : {Sheet::Ean, Sheet::BuyerCode, Sheet::SupplierCode, Sheet::Name}) {
            if (!row[c].isEmpty())
                height = std::max(height,
                                  textHeight(body, cellWidth(c), row[c], MostNameLines, wrapOf(c)));
        }
        return height + 2 * pad;
    }
    double headerRowHeight() const
    {
        double height = line;
        for (int c = 0; c < Sheet::ColumnCount; ++c)
            height = std::max(height, textHeight(bold, cellWidth(c), Sheet::columnLabels()[c], 3,
                                                 Qt::TextWordWrap));
        return height + 2 * pad;
    }
    double pairsHeight(const Sheet::Pairs& pairs) const
    {
        double height = 0;
        for (const auto& [caption, value] : pairs)
            height +=
                textHeight(body, valueWidth(), value.isEmpty() ? QStringLiteral(" ") : value, 20) +
                pad;
        return height;
    }
    double cellWidth(int column) const { return columns[column].width() - 2 * pad; }
    double captionWidth() const { return area.width() * 0.2; }
    double valueWidth() const { return area.width() * 0.75; }

    static constexpr int Flags = Qt::TextWordWrap | Qt::TextWrapAnywhere;

    QPagedPaintDevice& m_device;
    QFont body;
    QFont bold;
    QFont title;
    QRectF area;
    std::array<QRectF, Sheet::ColumnCount> columns;
    double line = 0;
    double pad = 0;
    double footer = 0;
};

double titleHeight(const Layout& layout, const QPagedPaintDevice& device)
{
    return QFontMetricsF(layout.title, &device).lineSpacing() * 1.5;
}

// Which rows go on which page: a row that does not fit whole starts the next page.
QList<Page> paginate(const Sheet& sheet, const Layout& layout, const QList<double>& heights,
                     double firstTop)
{
    const double bottom = layout.area.bottom() - layout.footer;
    const double header = layout.headerRowHeight();
    QList<Page> pages;
    Page page{0, 0, true, false};
    double y = firstTop + header;
    for (int r = 0; r < sheet.rows.size(); ++r) {
        if (y + heights[r] > bottom && page.last > page.first) {
            pages.append(page);
            page = Page{r, r, false, false};
            y = header;
        }
        y += heights[r];
        page.last = r + 1;
    }
    const double totals = layout.line + layout.pairsHeight(sheet.totals);
    if (y + totals > bottom) {
        pages.append(page);
        page = Page{page.last, page.last, false, false};
    }
    page.totals = true;
    pages.append(page);
    return pages;
}

void drawPairs(QPainter& painter, const Layout& layout, const Sheet::Pairs& pairs, double& y)
{
    for (const auto& [caption, value] : pairs) {
        painter.setFont(layout.bold);
        painter.drawText(QRectF(0, y, layout.captionWidth(), layout.line), Qt::AlignLeft,
                         caption + QLatin1Char(':'));
        painter.setFont(layout.body);
        const double height = layout.textHeight(layout.body, layout.valueWidth(),
                                                value.isEmpty() ? QStringLiteral(" ") : value, 20);
        painter.drawText(QRectF(layout.captionWidth(), y, layout.valueWidth(), height),
                         Layout::Flags, value);
        y += height + layout.pad;
    }
}

void drawHeaderRow(QPainter& painter, const Layout& layout, double y)
{
    const double height = layout.headerRowHeight();
    painter.fillRect(QRectF(0, y, layout.area.width(), height), QColor(220, 234, 238));
    painter.setFont(layout.bold);
    for (int c = 0; c < Sheet::ColumnCount; ++c) {
        const QRectF cell = layout.columns[c].adjusted(layout.pad, 0, -layout.pad, 0);
        painter.drawText(QRectF(cell.left(), y + layout.pad, cell.width(), height),
                         Qt::TextWordWrap | Qt::AlignHCenter, Sheet::columnLabels()[c]);
    }
    painter.drawLine(QPointF(0, y + height), QPointF(layout.area.width(), y + height));
}

void drawRow(QPainter& painter, const Layout& layout, const Sheet& sheet, int r, double y,
             double height)
{
    if (r % 2 == 1)
        painter.fillRect(QRectF(0, y, layout.area.width(), height), QColor(244, 244, 244));
    const Sheet::Row& row = sheet.rows[r];
    for (int c = 0; c < Sheet::ColumnCount; ++c) {
        const bool number = c == Sheet::Ordered || c == Sheet::Confirmed || c == Sheet::Difference;
        painter.setFont(sheet.changed.value(r) && c >= Sheet::Confirmed ? layout.bold
                                                                        : layout.body);
        const QRectF cell(layout.columns[c].left() + layout.pad, y + layout.pad,
                          layout.cellWidth(c), height - 2 * layout.pad);
        painter.drawText(cell, wrapOf(c) | (number ? Qt::AlignRight : Qt::AlignLeft), row[c]);
    }
}

void drawFooter(QPainter& painter, const Layout& layout, const Sheet& sheet, int page, int pages)
{
    painter.setFont(layout.body);
    const QRectF foot(0, layout.area.bottom() - layout.line, layout.area.width(), layout.line);
    painter.drawText(foot, Qt::AlignLeft, sheet.title);
    painter.drawText(foot, Qt::AlignRight,
                     QStringLiteral("Страница %1 из %2").arg(page).arg(pages));
}

} // namespace

int paint(const Sheet& sheet, QPagedPaintDevice& device)
{
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                     QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
    const Layout layout(device);
    QList<double> heights;
    heights.reserve(sheet.rows.size());
    for (const Sheet::Row& row : sheet.rows)
        heights.append(layout.rowHeight(row));
    const double headerTop =
        titleHeight(layout, device) + layout.pairsHeight(sheet.header) + layout.line;
    const QList<Page> pages = paginate(sheet, layout, heights, headerTop);

    QPainter painter(&device);
    for (qsizetype p = 0; p < pages.size(); ++p) {
        if (p > 0)
            device.newPage();
        const Page& page = pages[p];
        double y = 0;
        if (page.header) {
            painter.setFont(layout.title);
            painter.drawText(QRectF(0, 0, layout.area.width(), titleHeight(layout, device)),
                             Qt::AlignLeft | Qt::AlignVCenter, sheet.title);
            y = titleHeight(layout, device);
            drawPairs(painter, layout, sheet.header, y);
            y = headerTop;
        }
        drawHeaderRow(painter, layout, y);
        y += layout.headerRowHeight();
        for (int r = page.first; r < page.last; ++r) {
            drawRow(painter, layout, sheet, r, y, heights[r]);
            y += heights[r];
        }
        if (page.totals) {
            painter.drawLine(QPointF(0, y), QPointF(layout.area.width(), y));
            y += layout.line;
            drawPairs(painter, layout, sheet.totals, y);
        }
        drawFooter(painter, layout, sheet, int(p + 1), int(pages.size()));
    }
    painter.end();
    return int(pages.size());
}

QByteArray pdf(const Sheet& sheet)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(300);
        writer.setTitle(sheet.title);
        writer.setCreator(QStringLiteral("wexa-confirm"));
        paint(sheet, writer);
    }
    return buffer.data();
}

bool writePdf(const Confirmation& form, const QString& path, QString& error)
{
    return FileWriter::write(path, pdf(ConfirmationSheet::of(form)), &error);
}

} // namespace ConfirmationPrint
