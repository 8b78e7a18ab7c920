#pragma once

#include "core/rules/XmlDocument.h"

#include <QString>

#include <cstdint>
#include <optional>

class Form;
class Grid;

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
std::optional<XmlDocument> MakeOrderResponse(Form& form);

XmlDocument MakeResponseSkeleton();
void AddXMLElement(XmlDocument& document, const XmlPath& parentPath, const QString& name,
                   const QString& value);
// Appends the line to OrderResponse-Lines. A line of plain values is built as nodes; any
// other is built as text and parsed, which fails the build when the text is not XML.
void AddResponseLine(XmlDocument& document, const ResponseLine& line, const QString& status);
// The line built as text and parsed, whatever its values: what AddResponseLine does with
// a line it cannot build as nodes, and what it must match when it can.
void AddResponseLineAsText(XmlDocument& document, const ResponseLine& line, const QString& status);
QString JednostkiMiaryNazwaToSymbol(const QString& nazwa);
// The status a response line carries, from the number forms of its confirmed and ordered
// quantities: "7" nothing confirmed, "5" confirmed as ordered, "3" anything else.
QString lineStatus(const QString& confirmed, const QString& ordered);
QString lineStatusOfRow(const Grid& lines, int16_t row);
