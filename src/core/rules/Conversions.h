#pragma once

#include "core/rules/DecimalText.h"

#include <QDate>
#include <QString>
#include <QTime>

#include <optional>

class XmlDocument;
class XmlNode;
class XmlPath;

// Numbers, dates and times travel as text: in the tables and fields with the user's
// decimal separator and a fixed number of decimals, in documents with a point.
// Rounding works on the decimal text, half away from zero, so no binary noise creeps in.
namespace Conversions {

// The user's decimal separator, determined once when a control is created: the second
// character of one half formatted in the user's locale.
QChar decimalSeparator();
void determineDecimalSeparator();

QString GetNodeValue(const XmlNode& node, const XmlPath& path, bool emptyIfMissing);
QString GetNodeValue(const XmlDocument& document, const XmlPath& path, bool emptyIfMissing);

QString FormatDate(const QDate& date);
QString FormatTime(const QTime& time);

// Replaces "," and "." in text by the decimal separator (the caller's text keeps that)
// and returns it with exactly `decimals` decimals; text that is no number comes back
// as it is.
QString NormalizeNumber(QString& text, int decimals);
QString FormatNumberText(const QString& text, int decimals);
// The number form of documents: a point, "-1" for an empty text.
QString FormatXmlNumber(QString& text, int decimals);

// Whether the text reads as a number with the user's decimal separator: blanks around
// it, an optional sign, digits with at most one separator, an optional exponent. With
// Separators::Any, "," and "." count as the separator too.
bool readsAsNumber(QStringView text, DecimalText::Separators which = DecimalText::Separators::User);
// The text as a number; throws the type-mismatch error when it is none.
double toNumber(const QString& text);
// A number as text with up to 15 significant digits and the user's separator.
QString numberToText(double value);
// Compares two texts as numbers, after rounding both to `decimals` decimals: negative,
// zero or positive as a is below, equal to or above b; nothing when either is no number.
std::optional<int> compareNumbers(QStringView a, QStringView b, int decimals,
                                  DecimalText::Separators which = DecimalText::Separators::User);

// What the date and time pickers accept: "yyyy-mm-dd" (with or without a time after
// it) and the user's short date form; "hh:mm", "hh:mm:ss" and the user's short time
// form. The throwing forms raise the type-mismatch error the way a picker does.
std::optional<QDate> parseDate(const QString& text);
std::optional<QTime> parseTime(const QString& text);
QDate toDate(const QString& text);
QTime toTime(const QString& text);
// The user's short date form, used when the confirmation date is copied into the lines.
QString shortDate(const QDate& date);

// Text as a search compares it: letter case folded and "ё" read as "е".
QString searchForm(const QString& text);

} // namespace Conversions
