#pragma once

#include <QString>

// Buyers whose location number changes a rule of the control.
namespace Partners {
inline const QString ShowsPrices = QStringLiteral("4607149599998");
inline const QString GrossPriceOther = QStringLiteral("4607162819998");
inline const QString AcceptsMoreThanOrdered = QStringLiteral("4607175249997");
inline const QString FixedDelivery = QStringLiteral("4607163319992");

// The price column is shown for this buyer only.
inline bool showsPrices(const QString& iln)
{
    return iln == ShowsPrices;
}
// These buyers price their orders gross: the order is read from, and the response
// written to, OrderedUnitGrossPrice instead of OrderedUnitNetPrice.
inline bool usesGrossPrice(const QString& iln)
{
    return iln == ShowsPrices || iln == GrossPriceOther;
}
inline bool acceptsMoreThanOrdered(const QString& iln)
{
    return iln == AcceptsMoreThanOrdered;
}
inline bool fixesDelivery(const QString& iln)
{
    return iln == FixedDelivery;
}
} // namespace Partners
