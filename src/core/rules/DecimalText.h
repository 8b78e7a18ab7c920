#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// A number written as text, read where it stands: an optional sign, integer digits and
// fraction digits around one decimal separator, an optional exponent, blanks around it.
// Rounding works on the digits, half away from zero, so no binary noise creeps in.
class DecimalText {
public:
    // Which characters count as the decimal separator: the user's only, or also "," and
    // "." (the text as NormalizeNumber would read it after writing both as the user's).
    enum class Separators { User, Any };

    static std::optional<DecimalText> read(QStringView text, QChar userSeparator,
                                           Separators which = Separators::User);

    DecimalText(DecimalText&&) = default;
    DecimalText& operator=(DecimalText&&) = default;
    DecimalText(const DecimalText&) = delete;
    DecimalText& operator=(const DecimalText&) = delete;

    // Rounded to `decimals` decimals: at least one integer digit, no grouping, no sign on
    // zero.
    QString toText(int decimals, QChar separator) const;
    double toDouble() const;
    // Negative, zero or positive as a is below, equal to or above b, both rounded first.
    static int compare(const DecimalText& a, const DecimalText& b, int decimals);

private:
    DecimalText() = default;
    struct Digits;
    Digits rounded(int decimals) const;

    bool m_negative = false;
    QStringView m_integer; // without leading zeros
    QStringView m_fraction;
    QString m_shifted; // the digits an exponent moved; the views then look into it
};
