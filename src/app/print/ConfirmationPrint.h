#pragma once

#include "core/rules/ConfirmationSheet.h"

#include <QByteArray>
#include <QString>

class Confirmation;
class QPagedPaintDevice;

// The confirmation on paper: A4 across, the header on the first page, the lines in a table
// whose header row starts every page, no line split between two pages, the totals after
// the last line and "Страница N из M" at the foot of each page. A printer and a PDF get
// the same pages.
namespace ConfirmationPrint {

// Lays the sheet out on the device's pages and paints them; the number of pages.
int paint(const ConfirmationSheet& sheet, QPagedPaintDevice& device);
// The sheet as a PDF document.
QByteArray pdf(const ConfirmationSheet& sheet);
// Writes the confirmation's PDF so that an interrupted write never leaves half a file;
// false with the reason when it could not.
bool writePdf(const Confirmation& form, const QString& path, QString& error);

} // namespace ConfirmationPrint
