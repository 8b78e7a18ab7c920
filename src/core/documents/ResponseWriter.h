#pragma once

#include "documents/XmlDocument.h"

#include <QString>

#include <optional>

class Confirmation;

// The order response the control's confirmation becomes. The writer only reads the form.
struct ResponseLine {
    QString lineNumber;
    QString ean;
    QString supplierItemCode;
    QString buyerItemCode;
    QString description;
    QString ordered;
    QString confirmed;
    QString unit;
    QString price;
    bool grossPrice = false;
};

// The response, or nothing when the build failed (its error box has been shown).
std::optional<XmlDocument> MakeOrderResponse(Confirmation& form);

XmlDocument MakeResponseSkeleton();
void AddXMLElement(XmlDocument& document, const XmlPath& parentPath, const QString& name,
                   const QString& value);
void AddResponseLine(XmlDocument& document, const ResponseLine& line, const QString& status);
QString JednostkiMiaryNazwaToSymbol(const QString& nazwa);
