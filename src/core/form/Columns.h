#pragma once

#include "core/form/Rgb.h"
#include <QString>
#include <QStringList>

// Columns of the line table; the numbers are the cell-index columns.
enum LineColumn : int16_t {
    ColNumber = 0,
    ColEan = 1,
    ColName = 2,
    ColOrdered = 3,
    ColConfirmed = 4,
    ColPrice = 5,
    ColBuyerCode = 6,
    ColSupplierCode = 7,
    ColPackageId = 8,
    ColUnit = 9,
    ColPackSize = 10,
    ColSubstituteEan = 11,
    ColSubstituteName = 12,
    ColSubstituteBuyerCode = 13,
    ColSubstituteSupplierCode = 14,
    ColDiscount = 15,
    ColDeliveryDate = 16,
    ColDeliveryTime = 17,
    ColSpare = 18,
    LineColumnCount = 19
};

enum SummaryColumn : int16_t { SumLineCount = 0, SumConfirmed = 1, SummaryColumnCount = 2 };

namespace Colours {
constexpr Rgb Open = rgb(255, 255, 255);
constexpr Rgb Fixed = rgb(37, 145, 170);
constexpr Rgb Failing = rgb(255, 192, 192);
constexpr Rgb FixedCell = rgb(30, 134, 159);
constexpr Rgb GridLine = rgb(192, 192, 192);
} // namespace Colours

namespace Columns {
// Header labels of line-table columns 0 to 17; column 18 has none.
const QStringList& lineLabels();
const QStringList& summaryLabels();
// Widths in twips at creation.
inline constexpr int LineWidths[LineColumnCount] = {
    525, 1450, 3420, 1850, 2700, 0, 2500, 2500, 0, 1000, 0, 0, 0, 0, 0, 0, 0, 0, 0};
inline constexpr int SummaryWidths[SummaryColumnCount] = {1800, 3300};
inline constexpr int PriceWidthForGrossBuyer = 2000;
} // namespace Columns
