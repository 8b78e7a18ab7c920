#pragma once

#include <QPair>
#include <QStringList>

class Confirmation;

// Order and response texts for the document tests, and edits of single elements.
namespace DocumentTexts {

inline const QString BuyerIln = QStringLiteral("4607000000017");
inline const QString SellerIln = QStringLiteral("4600000000010");
inline const QString DeliveryIln = QStringLiteral("4607000000031");

using Elements = QList<QPair<QString, QString>>;

// Line n ordered 10 x n, net price 12.5, gross price 15, PCE; a response line confirms 8 x n.
Elements orderItem(int n);
QString line(const Elements& item);
// Compact documents (no text between elements) between the parties above.
QString order(const QStringList& lines, const QString& number = QStringLiteral("ZK-1"));
QString order(int lineCount);
QString response(int lineCount);

// The element at a path such as "DeliveryPoint/ILN" (each step searched from the previous)
// taken out, or given that text (taken out too when the text is null).
QString without(const QString& xml, const QString& path);
QString withText(QString xml, const QString& path, const QString& text);

// The user is the seller above, the partner the buyer above unless given.
void useParties(Confirmation& form, const QString& partnerIln = BuyerIln);
// The start-up after an order has been fetched; false when the reader reported an error.
bool readOrder(Confirmation& form, const QString& orderText);

} // namespace DocumentTexts
