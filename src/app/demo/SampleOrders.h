#pragma once

#include <QByteArray>
#include <QString>

// Orders as a buyer's system sends them, for the demo and the benchmark: indented,
// Cyrillic names, quantities with decimals for goods sold by weight, prices, pack sizes
// and some discounts. The same arguments give the same order.
namespace SampleOrders {

struct Parties {
    QString buyer = QStringLiteral("4607000000017");
    QString seller = QStringLiteral("4607000000024");
};

QByteArray generate(int lines, const QString& orderNumber, unsigned seed,
                    const Parties& parties = {});

} // namespace SampleOrders
