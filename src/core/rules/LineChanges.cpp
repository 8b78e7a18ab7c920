#include "core/rules/LineChanges.h"

#include "core/form/Columns.h"
#include "core/form/Form.h"
#include "core/rules/Conversions.h"
#include "core/rules/LineCheck.h"
#include "core/rules/ResponseWriter.h"

#include <QStringList>

#include <algorithm>

namespace LineChanges {
std::optional<qint64> thousandths(const QString& text)
{
    const std::optional<DecimalText> number =
        DecimalText::read(text, Conversions::decimalSeparator(), DecimalText::Separators::Any);
    if (!number)
        return std::nullopt;
    const QString plain = number->toText(3, QLatin1Char('.'));
    const bool negative = plain.startsWith(QLatin1Char('-'));
    const QStringView digits = QStringView(plain).mid(negative ? 1 : 0);
    const qsizetype point = digits.indexOf(QLatin1Char('.'));
    if (point < 1 || point > 15)
        return std::nullopt;
    bool ok = false;
    const qint64 whole = digits.left(point).toLongLong(&ok);
    const qint64 fraction = ok ? digits.mid(point + 1).toLongLong(&ok) : 0;
    if (!ok)
        return std::nullopt;
    const qint64 value = whole * 1000 + fraction;
    return negative ? -value : value;
}

QString quantityText(qint64 value, bool sign)
{
    const qint64 magnitude = value < 0 ? -value : value;
    const QString before = value < 0           ? QStringLiteral("-")
                           : value > 0 && sign ? QStringLiteral("+")
                                               : QString();
    return before + QString::number(magnitude / 1000) + Conversions::decimalSeparator() +
           QStringLiteral("%1").arg(magnitude % 1000, 3, 10, QLatin1Char('0'));
}

int16_t lastAddressableRow(const Form& form)
{
    constexpr int16_t reachable = (32767 - (LineColumnCount - 1)) / LineColumnCount;
    const int inTable = form.lines().rows() - 1;
    return int16_t(std::clamp<int>(std::min<int>(form.lineCount(), inTable), 0, reachable));
}

std::optional<QString> difference(const QString& confirmed, const QString& ordered)
{
    const std::optional<qint64> c = thousandths(confirmed);
    const std::optional<qint64> o = thousandths(ordered);
    if (!c || !o)
        return std::nullopt;
    return quantityText(*c - *o, true);
}

bool countsPieces(const QString& unit)
{
    static const QStringList pieces = {QStringLiteral("PCE"), QStringLiteral("PR"),
                                       QStringLiteral("SET"), QStringLiteral("PA")};
    return pieces.contains(JednostkiMiaryNazwaToSymbol(unit.trimmed()).toUpper());
}

bool deliveryBeforeConfirmation(const Form& form)
{
    return form.txtDataDost() && form.txtDataPotw() && *form.txtDataDost() < *form.txtDataPotw();
}

Line of(const Form& form, int16_t row)
{
    const Grid& lines = form.lines();
    Line line;
    line.row = row;
    const QString status = lineStatusOfRow(lines, row);
    line.kind = status == QLatin1String("7")   ? Kind::Refused
                : status == QLatin1String("5") ? Kind::AsOrdered
                                               : Kind::Changed;
    line.failing = !LineIsValid(form, row);
    const QString confirmed = lines.text(row, ColConfirmed);
    if (const std::optional<qint64> quantity = thousandths(confirmed)) {
        if (*quantity < 0)
            line.warnings |= NegativeQuantity;
        if (*quantity % 1000 != 0 && countsPieces(lines.text(row, ColUnit)))
            line.warnings |= FractionOfPiece;
    }
    if (form.txtDataPotw()) {
        const std::optional<QDate> date = Conversions::parseDate(lines.text(row, ColDeliveryDate));
        if (date && *date < *form.txtDataPotw())
            line.warnings |= DateBeforeConfirmation;
    }
    // Most lines of a long order stand as ordered: only a listed line is described.
    if (!line.listed())
        return line;
    line.number = lines.text(row, ColNumber);
    line.ean = lines.text(row, ColEan);
    line.name = lines.text(row, ColName);
    line.ordered = lines.text(row, ColOrdered);
    line.confirmed = confirmed;
    line.difference = difference(confirmed, line.ordered).value_or(QString());
    return line;
}

QString Line::note() const
{
    QStringList said;
    if (kind == Kind::Refused)
        said << QStringLiteral("отказ");
    else if (kind == Kind::Changed)
        said << QStringLiteral("изменено");
    if (failing)
        said << QStringLiteral("не проходит проверку строки");
    if (warnings & NegativeQuantity)
        said << QStringLiteral("отрицательное количество");
    if (warnings & FractionOfPiece)
        said << QStringLiteral("дробное количество штучного товара");
    if (warnings & DateBeforeConfirmation)
        said << QStringLiteral("дата поставки раньше даты подтверждения");
    QString text = said.join(QStringLiteral(", "));
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

} // namespace LineChanges
