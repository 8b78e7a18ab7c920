#include "editing/LineCheck.h"

#include "control/Columns.h"
#include "control/Confirmation.h"
#include "control/Partners.h"
#include "documents/Conversions.h"
#include "editing/ResponseType.h"

namespace {

// Writes both separators as the user's one, so a point and a comma locale judge a line
// alike.
QString withUserSeparator(QString text)
{
    Conversions::NormalizeNumber(text, 3);
    return text;
}

// Stores the count of valid lines and recomputes the totals; the current cell is kept.
void setValidAndRetotal(Confirmation& form, int16_t valid)
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
    const QString v = withUserSeparator(value);
    const QString o = withUserSeparator(ordered);
    if (!Conversions::readsAsNumber(v) || !Conversions::readsAsNumber(o))
        return true;
    if (Partners::acceptsMoreThanOrdered(partnerIln))
        return true;
    return Conversions::compareNumbers(v, o, 3) <= 0;
}

bool valueCheck(Confirmation& form, QString& text, const QString& ordered)
{
    text = Conversions::NormalizeNumber(text, 3);
    bool passes = true;
    if (!Conversions::readsAsNumber(text)) {
        form.tell(QStringLiteral("Неправильная нумерическая величина."),
                  Message::Icon::Exclamation);
        passes = false;
    }
    if (!quantityPasses(text, ordered, form.partnerIln())) {
        form.tell(QStringLiteral("Не возможно подтвердить большее, чем указано в заказе  "
                                 "количество товара"),
                  Message::Icon::Exclamation);
        passes = false;
    }
    return passes;
}

// One pass checks each line once for both the colour and the count: the check is the
// costly part of a commit on a long order.
void recolourAndRecount(Confirmation& form)
{
    Grid& lines = form.lines();
    int16_t valid = 0;
    {
        RedrawPause pause(lines);
        for (int16_t r = 1; r <= form.lineCount(); ++r) {
            const bool passes = LineIsValid(form, r);
            markLine(form, r, passes, form.cboxTyp());
            valid += passes ? 1 : 0;
        }
    }
    setValidAndRetotal(form, valid);
}

void markLine(Confirmation& form, int16_t row)
{
    markLine(form, row, LineIsValid(form, row), form.cboxTyp());
}

void markLine(Confirmation& form, int16_t row, bool valid, int responseType)
{
    const bool fixed = responseType == ResponseType::Refuse || responseType == ResponseType::Accept;
    const Rgb colour = !valid ? Colours::Failing : fixed ? Colours::Fixed : Colours::Open;
    form.lines().setRowBackground(row, ColEan, ColDeliveryTime, colour);
}

void recount(Confirmation& form)
{
    int16_t valid = 0;
    for (int16_t r = 1; r <= form.lineCount(); ++r) {
        if (LineIsValid(form, r))
            ++valid;
    }
    setValidAndRetotal(form, valid);
}

} // namespace LineCheck

bool LineIsValid(const Confirmation& form, int16_t row)
{
    const Grid& lines = form.lines();
    const QString confirmed = withUserSeparator(lines.text(row, ColConfirmed));
    if (!Conversions::readsAsNumber(confirmed))
        return false;
    if (!LineCheck::quantityPasses(confirmed, lines.text(row, ColOrdered), form.partnerIln()))
        return false;
    const QString price = lines.text(row, ColPrice).trimmed();
    if (!price.isEmpty() && !Conversions::readsAsNumber(withUserSeparator(price)))
        return false;
    return !lines.text(row, ColUnit).trimmed().isEmpty();
}
