#include "core/rules/LineCheck.h"
#include "core/rules/Totals.h"

#include "core/form/Columns.h"
#include "core/form/Form.h"
#include "core/form/Partners.h"
#include "core/rules/Conversions.h"
#include "core/rules/ResponseType.h"

namespace {

// "," and "." both count as the decimal separator, as the texts read once NormalizeNumber
// has written either as the user's: a point and a comma locale judge a line alike.
constexpr auto AnySeparator = DecimalText::Separators::Any;

// Stores the count of valid lines and recomputes the totals; the current cell is kept.
void setValidAndRetotal(Form& form, int16_t valid)
{
    form.setValidLineCount(valid);
    Grid& lines = form.lines();
    const int row = lines.currentRow();
    const int column = lines.currentColumn();
    {
        RedrawPause pause(lines);
        PoprawGrdSuma(form);
        lines.setCurrentCell(row, column);
    }
}

} // namespace

namespace LineCheck {

bool quantityPasses(const QString& value, const QString& ordered, const QString& partnerIln)
{
    if (Partners::acceptsMoreThanOrdered(partnerIln))
        return true;
    // Either text being no number lets the check pass.
    return Conversions::compareNumbers(value, ordered, 3, AnySeparator).value_or(0) <= 0;
}

Value judgeValue(QString& text, const QString& ordered, const QString& partnerIln)
{
    text = Conversions::NormalizeNumber(text, 3);
    if (!Conversions::readsAsNumber(text))
        return Value::NotANumber; // a text that is no number passes the quantity check
    return quantityPasses(text, ordered, partnerIln) ? Value::Passes : Value::AboveOrdered;
}

bool valueCheck(Form& form, QString& text, const QString& ordered)
{
    switch (judgeValue(text, ordered, form.partnerIln())) {
    case Value::NotANumber:
        form.tell(QStringLiteral("Неправильная нумерическая величина."),
                  Message::Icon::Exclamation);
        return false;
    case Value::AboveOrdered:
        form.tell(QStringLiteral("Не возможно подтвердить большее, чем указано в заказе  "
                                 "количество товара"),
                  Message::Icon::Exclamation);
        return false;
    case Value::Passes:
        break;
    }
    return true;
}

// One pass checks each line once for both the colour and the count: the check is the
// costly part of a commit on a long order.
void recolourAndRecount(Form& form)
{
    Grid& lines = form.lines();
    int16_t valid = 0;
    {
        RedrawPause pause(lines);
        for (int16_t r = 1; r <= form.lineCount(); ++r) {
            const bool passes = LineIsValid(form, r);
            markLine(form, r, passes, ResponseType::Change);
            valid += passes ? 1 : 0;
        }
    }
    setValidAndRetotal(form, valid);
}

void markCommitted(Form& form, int16_t row)
{
    markLine(form, row, LineIsValid(form, row), ResponseType::Change);
}

void markLine(Form& form, int16_t row, bool valid, int responseType)
{
    const bool fixed = responseType == ResponseType::Refuse || responseType == ResponseType::Accept;
    const Rgb colour = !valid ? Colours::Failing : fixed ? Colours::Fixed : Colours::Open;
    form.lines().setRowBackground(row, ColEan, ColDeliveryTime, colour);
}

void recount(Form& form)
{
    int16_t valid = 0;
    for (int16_t r = 1; r <= form.lineCount(); ++r) {
        if (LineIsValid(form, r))
            ++valid;
    }
    setValidAndRetotal(form, valid);
}

} // namespace LineCheck

bool LineIsValid(const Form& form, int16_t row)
{
    const Grid& lines = form.lines();
    const QString confirmed = lines.text(row, ColConfirmed);
    if (!Conversions::readsAsNumber(confirmed, AnySeparator))
        return false;
    if (!LineCheck::quantityPasses(confirmed, lines.text(row, ColOrdered), form.partnerIln()))
        return false;
    const QString price = lines.text(row, ColPrice);
    if (!QStringView(price).trimmed().isEmpty() && !Conversions::readsAsNumber(price, AnySeparator))
        return false;
    return !QStringView(lines.text(row, ColUnit)).trimmed().isEmpty();
}
