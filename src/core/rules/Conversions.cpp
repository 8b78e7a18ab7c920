#include "core/rules/Conversions.h"

#include "core/form/RuntimeError.h"
#include "core/rules/DecimalText.h"
#include "core/rules/XmlDocument.h"

#include <QLocale>

namespace {

QChar g_decimalSeparator = QLatin1Char('.');

} // namespace

namespace Conversions {

QChar decimalSeparator()
{
    return g_decimalSeparator;
}

void determineDecimalSeparator()
{
    const QString half = QLocale().toString(1.0 / 2.0);
    g_decimalSeparator = half.size() > 1 ? half.at(1) : QLatin1Char('.');
}

QString GetNodeValue(const XmlNode& node, const XmlPath& path, bool emptyIfMissing)
{
    const XmlNode selected = node.selectSingleNode(path);
    if (selected.isNull())
        return emptyIfMissing ? QString() : QStringLiteral("-1");
    return selected.text();
}

QString GetNodeValue(const XmlDocument& document, const XmlPath& path, bool emptyIfMissing)
{
    const XmlNode selected = document.selectSingleNode(path);
    if (selected.isNull())
        return emptyIfMissing ? QString() : QStringLiteral("-1");
    return selected.text();
}

QString FormatDate(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString FormatTime(const QTime& time)
{
    return time.toString(QStringLiteral("hh:mm"));
}

QString NormalizeNumber(QString& text, int decimals)
{
    text.replace(QLatin1Char(','), g_decimalSeparator);
    text.replace(QLatin1Char('.'), g_decimalSeparator);
    return FormatNumberText(text, decimals);
}

QString FormatNumberText(const QString& text, int decimals)
{
    const std::optional<DecimalText> number = DecimalText::read(text, g_decimalSeparator);
    if (!number)
        return text;
    return number->toText(decimals, g_decimalSeparator);
}

QString FormatXmlNumber(QString& text, int decimals)
{
    text = FormatNumberText(text, decimals);
    if (text.isEmpty())
        text = QStringLiteral("-1");
    return QString(text).replace(g_decimalSeparator, QLatin1Char('.'));
}

bool readsAsNumber(QStringView text, DecimalText::Separators which)
{
    return DecimalText::read(text, g_decimalSeparator, which).has_value();
}

double toNumber(const QString& text)
{
    const std::optional<DecimalText> number = DecimalText::read(text, g_decimalSeparator);
    if (!number)
        throw RuntimeError::notANumber(text);
    return number->toDouble();
}

QString numberToText(double value)
{
    return QString::number(value, 'g', 15).replace(QLatin1Char('.'), g_decimalSeparator);
}

std::optional<int> compareNumbers(QStringView a, QStringView b, int decimals,
                                  DecimalText::Separators which)
{
    const std::optional<DecimalText> x = DecimalText::read(a, g_decimalSeparator, which);
    const std::optional<DecimalText> y = DecimalText::read(b, g_decimalSeparator, which);
    if (!x || !y)
        return std::nullopt;
    return DecimalText::compare(*x, *y, decimals);
}

namespace {

// "2026-12-06", or with one-digit month and day: the form documents carry, read without
// the general parser.
QDate plainIsoDate(QStringView text)
{
    int parts[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    int part = 0;
    for (QChar c : text) {
        if (c == QLatin1Char('-') && part < 2) {
            ++part;
        } else if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            // No part has more than four digits: a longer run is no date of this form, and
            // reading on would overflow the part.
            if (digits[part] == 4)
                return {};
            parts[part] = parts[part] * 10 + (c.unicode() - '0');
            ++digits[part];
        } else {
            return {};
        }
    }
    if (part != 2 || digits[0] != 4 || digits[1] < 1 || digits[1] > 2 || digits[2] < 1 ||
        digits[2] > 2)
        return {};
    return QDate(parts[0], parts[1], parts[2]);
}

} // namespace

std::optional<QDate> parseDate(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    qsizetype end = 0;
    while (end < t.size() && t[end] != QLatin1Char('T') && t[end] != QLatin1Char(' '))
        ++end;
    const QString datePart = t.left(end);
    if (const QDate date = plainIsoDate(datePart); date.isValid())
        return date;
    const QLocale locale;
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    QString longYear = shortFormat;
    if (!longYear.contains(QLatin1String("yyyy")))
        longYear.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    for (const QString& format : {QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy-M-d")}) {
        const QDate date = QDate::fromString(datePart, format);
        if (date.isValid())
            return date;
    }
    for (const QString& format : {longYear, shortFormat}) {
        const QDate date = locale.toDate(t, format);
        if (!date.isValid())
            continue;
        // A two-digit year is read into 1930..2029, as the date pickers take it.
        if (!format.contains(QLatin1String("yyyy")) && date.year() < 1930)
            return date.addYears(100);
        return date;
    }
    return std::nullopt;
}

std::optional<QTime> parseTime(const QString& text)
{
    QString t = text.trimmed();
    if (t.contains(QLatin1Char('T')))
        t = t.section(QLatin1Char('T'), 1);
    else if (t.contains(QLatin1Char(' ')) &&
             t.section(QLatin1Char(' '), 0, 0).contains(QLatin1Char('-')))
        t = t.section(QLatin1Char(' '), 1);
    for (const QString& format : {QStringLiteral("H:mm"), QStringLiteral("H:mm:ss")}) {
        const QTime time = QTime::fromString(t, format);
        if (time.isValid())
            return time;
    }
    const QTime time = QLocale().toTime(t, QLocale::ShortFormat);
    if (time.isValid())
        return time;
    return std::nullopt;
}

QDate toDate(const QString& text)
{
    if (const std::optional<QDate> date = parseDate(text))
        return *date;
    throw RuntimeError::notADate(text);
}

QTime toTime(const QString& text)
{
    if (const std::optional<QTime> time = parseTime(text))
        return *time;
    throw RuntimeError::notATime(text);
}

QString shortDate(const QDate& date)
{
    return QLocale().toString(date, QLocale::ShortFormat);
}

QString searchForm(const QString& text)
{
    QString out = text.toCaseFolded();
    out.replace(QChar(0x0451), QChar(0x0435));
    return out;
}

} // namespace Conversions
