#include "core/rules/DecimalText.h"

#include <QVarLengthArray>

#include <charconv>

namespace {

bool isDigit(QChar ch)
{
    return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
}

QStringView withoutLeadingZeros(QStringView digits)
{
    qsizetype zeros = 0;
    while (zeros < digits.size() && digits[zeros] == QLatin1Char('0'))
        ++zeros;
    return digits.mid(zeros);
}

} // namespace

struct DecimalText::Digits {
    QVarLengthArray<char16_t, 48> integer;
    QVarLengthArray<char16_t, 16> fraction;
    bool negative = false;

    bool isZero() const
    {
        for (char16_t ch : integer)
            if (ch != u'0')
                return false;
        for (char16_t ch : fraction)
            if (ch != u'0')
                return false;
        return true;
    }
};

std::optional<DecimalText> DecimalText::read(QStringView text, QChar userSeparator,
                                             Separators which)
{
    auto isSeparator = [&](QChar ch) {
        return ch == userSeparator ||
               (which == Separators::Any && (ch == QLatin1Char(',') || ch == QLatin1Char('.')));
    };
    text = text.trimmed();
    DecimalText number;
    qsizetype i = 0;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        number.m_negative = text[i++] == QLatin1Char('-');
    const qsizetype integerFrom = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    QStringView integer = text.mid(integerFrom, i - integerFrom);
    QStringView fraction;
    if (i < text.size() && isSeparator(text[i])) {
        const qsizetype fractionFrom = ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        fraction = text.mid(fractionFrom, i - fractionFrom);
    }
    if (integer.isEmpty() && fraction.isEmpty())
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
        if (i == digitsFrom || exponent > 400 || i != text.size())
            return std::nullopt;
        number.m_shifted = integer.toString() + fraction.toString();
        qsizetype point = integer.size() + (negativeExponent ? -exponent : exponent);
        if (point < 0) {
            number.m_shifted.prepend(QString(-point, QLatin1Char('0')));
            point = 0;
        } else if (point > number.m_shifted.size()) {
            number.m_shifted.append(QString(point - number.m_shifted.size(), QLatin1Char('0')));
        }
        integer = QStringView(number.m_shifted).left(point);
        fraction = QStringView(number.m_shifted).mid(point);
    }
    if (i != text.size())
        return std::nullopt;
    number.m_integer = withoutLeadingZeros(integer);
    number.m_fraction = fraction;
    return number;
}

DecimalText::Digits DecimalText::rounded(int decimals) const
{
    Digits digits;
    digits.negative = m_negative;
    for (QChar ch : m_integer)
        digits.integer.append(ch.unicode());
    for (qsizetype i = 0; i < decimals; ++i)
        digits.fraction.append(i < m_fraction.size() ? m_fraction[i].unicode() : u'0');
    if (m_fraction.size() <= decimals || m_fraction[decimals] < QLatin1Char('5'))
        return digits;
    for (qsizetype i = digits.fraction.size() - 1; i >= 0; --i) {
        if (digits.fraction[i] != u'9') {
            ++digits.fraction[i];
            return digits;
        }
        digits.fraction[i] = u'0';
    }
    for (qsizetype i = digits.integer.size() - 1; i >= 0; --i) {
        if (digits.integer[i] != u'9') {
            ++digits.integer[i];
            return digits;
        }
        digits.integer[i] = u'0';
    }
    digits.integer.insert(digits.integer.cbegin(), u'1');
    return digits;
}

QString DecimalText::toText(int decimals, QChar separator) const
{
    const Digits digits = rounded(decimals);
    QString text;
    text.reserve(digits.integer.size() + digits.fraction.size() + 3);
    if (digits.negative && !digits.isZero())
        text += QLatin1Char('-');
    if (digits.integer.isEmpty())
        text += QLatin1Char('0');
    else
        text.append(reinterpret_cast<const QChar*>(digits.integer.constData()),
                    digits.integer.size());
    if (!digits.fraction.isEmpty()) {
        text += separator;
        text.append(reinterpret_cast<const QChar*>(digits.fraction.constData()),
                    digits.fraction.size());
    }
    return text;
}

double DecimalText::toDouble() const
{
    // Up to 15 digits are exact in a double, and so is every power of ten up to 10^22,
    // so one division gives the correctly rounded value.
    static constexpr double powers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (m_integer.size() + m_fraction.size() <= 15) {
        qint64 mantissa = 0;
        for (QChar ch : m_integer)
            mantissa = mantissa * 10 + (ch.unicode() - u'0');
        for (QChar ch : m_fraction)
            mantissa = mantissa * 10 + (ch.unicode() - u'0');
        const double value = double(mantissa) / powers[m_fraction.size()];
        return m_negative ? -value : value;
    }
    // Read with a point whatever the C library's numeric locale says: a window runs under
    // the user's locale, where strtod would stop at the point.
    const QByteArray text = ((m_negative ? QStringLiteral("-") : QString()) +
                             (m_integer.isEmpty() ? QStringLiteral("0") : m_integer.toString()) +
                             QLatin1Char('.') + m_fraction.toString())
                                .toLatin1();
    double value = 0;
    std::from_chars(text.constData(), text.constData() + text.size(), value);
    return value;
}

int DecimalText::compare(const DecimalText& a, const DecimalText& b, int decimals)
{
    const Digits x = a.rounded(decimals);
    const Digits y = b.rounded(decimals);
    const bool xNegative = x.negative && !x.isZero();
    const bool yNegative = y.negative && !y.isZero();
    if (xNegative != yNegative)
        return xNegative ? -1 : 1;
    int magnitude = 0;
    const QStringView xi = withoutLeadingZeros(
        QStringView(reinterpret_cast<const QChar*>(x.integer.constData()), x.integer.size()));
    const QStringView yi = withoutLeadingZeros(
        QStringView(reinterpret_cast<const QChar*>(y.integer.constData()), y.integer.size()));
    if (xi.size() != yi.size())
        magnitude = xi.size() < yi.size() ? -1 : 1;
    else if (const int c = xi.compare(yi); c != 0)
        magnitude = c < 0 ? -1 : 1;
    else if (const int f =
                 QStringView(reinterpret_cast<const QChar*>(x.fraction.constData()),
                             x.fraction.size())
                     .compare(QStringView(reinterpret_cast<const QChar*>(y.fraction.constData()),
                                          y.fraction.size()));
             f != 0)
        magnitude = f < 0 ? -1 : 1;
    return xNegative ? -magnitude : magnitude;
}
