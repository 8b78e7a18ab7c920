#include "documents/Conversions.h"

#include "control/RuntimeError.h"
#include "documents/XmlDocument.h"

#include <QLocale>
#include <QRegularExpression>

#include <cstdlib>

namespace {

QChar g_decimalSeparator = QLatin1Char('.');

// A number read from text: sign, integer digits without leading zeros, fraction digits.
struct Decimal {
    bool negative = false;
    QString integer;
    QString fraction;
};

bool isDigit(QChar ch)
{
    return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
}

std::optional<Decimal> parseDecimal(QStringView text, QChar separator)
{
    text = text.trimmed();
    Decimal number;
    qsizetype i = 0;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        number.negative = text[i++] == QLatin1Char('-');
    while (i < text.size() && isDigit(text[i]))
        number.integer += text[i++];
    if (i < text.size() && text[i] == separator) {
        ++i;
        while (i < text.size() && isDigit(text[i]))
            number.fraction += text[i++];
    }
    if (number.integer.isEmpty() && number.fraction.isEmpty())
        return std::nullopt;
    if (i < text.size() && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
            negativeExponent = text[i++] == QLatin1Char('-');
        int exponent = 0;
        const qsizetype digitsFrom = i;
        while (i < text.size() && isDigit(text[i]) && exponent <= 400)
            exponent = exponent * 10 + text[i++].digitValue();
        if (i == digitsFrom || exponent > 400)
            return std::nullopt;
        QString digits = number.integer + number.fraction;
        qsizetype point = number.integer.size() + (negativeExponent ? -exponent : exponent);
        if (point < 0) {
            digits.prepend(QString(-point, QLatin1Char('0')));
            point = 0;
        } else if (point > digits.size()) {
            digits.append(QString(point - digits.size(), QLatin1Char('0')));
        }
        number.integer = digits.left(point);
        number.fraction = digits.mid(point);
    }
    if (i != text.size())
        return std::nullopt;
    qsizetype zeros = 0;
    while (zeros < number.integer.size() && number.integer[zeros] == QLatin1Char('0'))
        ++zeros;
    number.integer.remove(0, zeros);
    return number;
}

bool isZero(const Decimal& number)
{
    for (QChar ch : number.integer + number.fraction) {
        if (ch != QLatin1Char('0'))
            return false;
    }
    return true;
}

// Rounds half away from zero to `decimals` fraction digits, working on the digits.
Decimal rounded(Decimal number, int decimals)
{
    if (number.fraction.size() <= decimals) {
        number.fraction += QString(decimals - number.fraction.size(), QLatin1Char('0'));
        return number;
    }
    const bool up = number.fraction[decimals] >= QLatin1Char('5');
    QString digits = number.integer + number.fraction.left(decimals);
    if (up) {
        qsizetype i = digits.size() - 1;
        for (; i >= 0; --i) {
            if (digits[i] == QLatin1Char('9')) {
                digits[i] = QLatin1Char('0');
                continue;
            }
            digits[i] = QChar(digits[i].unicode() + 1);
            break;
        }
        if (i < 0) {
            digits.prepend(QLatin1Char('1'));
            number.integer.prepend(QLatin1Char('0'));
        }
    }
    number.integer = digits.left(number.integer.size());
    number.fraction = digits.mid(number.integer.size());
    qsizetype zeros = 0;
    while (zeros < number.integer.size() && number.integer[zeros] == QLatin1Char('0'))
        ++zeros;
    number.integer.remove(0, zeros);
    return number;
}

QString toText(const Decimal& number, QChar separator)
{
    QString text;
    if (number.negative && !isZero(number))
        text += QLatin1Char('-');
    text += number.integer.isEmpty() ? QStringLiteral("0") : number.integer;
    if (!number.fraction.isEmpty())
        text += separator + number.fraction;
    return text;
}

int compareMagnitude(const Decimal& a, const Decimal& b)
{
    if (a.integer.size() != b.integer.size())
        return a.integer.size() < b.integer.size() ? -1 : 1;
    if (const int c = a.integer.compare(b.integer); c != 0)
        return c < 0 ? -1 : 1;
    const qsizetype width = std::max(a.fraction.size(), b.fraction.size());
    const QString fa = a.fraction.leftJustified(width, QLatin1Char('0'));
    const QString fb = b.fraction.leftJustified(width, QLatin1Char('0'));
    const int c = fa.compare(fb);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

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

QString CommaToDot(QString text)
{
    return text.replace(QLatin1Char(','), QLatin1Char('.'));
}

QString DotToComma(QString text)
{
    return text.replace(QLatin1Char('.'), QLatin1Char(','));
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
    const std::optional<Decimal> number = parseDecimal(text, g_decimalSeparator);
    if (!number)
        return text;
    return toText(rounded(*number, decimals), g_decimalSeparator);
}

QString FormatXmlNumber(QString& text, int decimals)
{
    text = FormatNumberText(text, decimals);
    if (text.isEmpty())
        text = QStringLiteral("-1");
    return QString(text).replace(g_decimalSeparator, QLatin1Char('.'));
}

bool readsAsNumber(const QString& text)
{
    return parseDecimal(text, g_decimalSeparator).has_value();
}

double toNumber(const QString& text)
{
    const std::optional<Decimal> number = parseDecimal(text, g_decimalSeparator);
    if (!number)
        throw RuntimeError::notANumber(text);
    const QByteArray c = toText(*number, QLatin1Char('.')).toLatin1();
    return std::strtod(c.constData(), nullptr);
}

QString numberToText(double value)
{
    return QString::number(value, 'g', 15).replace(QLatin1Char('.'), g_decimalSeparator);
}

int compareNumbers(const QString& a, const QString& b, int decimals)
{
    const Decimal x = rounded(parseDecimal(a, g_decimalSeparator).value_or(Decimal{}), decimals);
    const Decimal y = rounded(parseDecimal(b, g_decimalSeparator).value_or(Decimal{}), decimals);
    const bool xNegative = x.negative && !isZero(x);
    const bool yNegative = y.negative && !isZero(y);
    if (xNegative != yNegative)
        return xNegative ? -1 : 1;
    const int magnitude = compareMagnitude(x, y);
    return xNegative ? -magnitude : magnitude;
}

std::optional<QDate> parseDate(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    const QLocale locale;
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    QString longYear = shortFormat;
    if (!longYear.contains(QLatin1String("yyyy")))
        longYear.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    const QString datePart = t.section(QRegularExpression(QStringLiteral("[T ]")), 0, 0);
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

} // namespace Conversions
