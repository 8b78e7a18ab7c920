#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class Confirmation;

// Order and response texts for the document tests: a complete document to start from,
// and edits that take one element out or give it another text.
namespace DocumentTexts {

inline const QString BuyerIln = QStringLiteral("4607000000017");
inline const QString SellerIln = QStringLiteral("4600000000010");
inline const QString DeliveryIln = QStringLiteral("4607000000031");

using Elements = QList<QPair<QString, QString>>;

// Line-Item children of order line n: ordered 10 x n, net price 12.5, gross price 15, PCE.
Elements orderItem(int n);
// <Line><Line-Item>, the elements, </Line-Item></Line>: an order or a response line.
QString line(const Elements& item);
// A complete order, compact (no text between elements), holding the given line texts.
QString order(const QStringList& lines);
QString order(int lineCount);

// Line-Item children of response line n: ordered 10 x n, confirmed 8 x n, PCE.
Elements responseItem(int n);
// A complete response from the seller to the buyer above, type "4".
QString response(const QStringList& lines);
QString response(int lineCount);

// The element at a path such as "DeliveryPoint/ILN" (each step the first element of that
// name inside the previous one): taken out, or its content replaced.
QString without(const QString& xml, const QString& path);
QString withText(const QString& xml, const QString& path, const QString& text);
Elements without(Elements elements, const QString& name);
Elements with(Elements elements, const QString& name, const QString& text);

// The user is the seller above, the partner the buyer above.
void useParties(Confirmation& form, const QString& partnerIln = BuyerIln);
// The start-up after an order has been fetched; false when the reader reported an error.
bool readOrder(Confirmation& form, const QString& orderText);

} // namespace DocumentTexts
