#include "editing/ResponseType.h"

#include "control/Columns.h"
#include "control/Confirmation.h"
#include "control/Partners.h"
#include "control/RuntimeError.h"
#include "documents/Conversions.h"
#include "editing/LineCheck.h"

namespace ResponseType {

QString code(int index)
{
    switch (index) {
    case Refuse:
        return QStringLiteral("27");
    case Accept:
        return QStringLiteral("29");
    default:
        return QStringLiteral("4");
    }
}

int indexForCode(const QString& code)
{
    if (code == QLatin1String("27"))
        return Refuse;
    if (code == QLatin1String("29"))
        return Accept;
    return Change;
}

void applyType(Confirmation& form, int16_t t)
{
    Grid& lines = form.lines();
    {
        RedrawPause pause(lines);
        for (int16_t r = 1; r <= form.lineCount(); ++r) {
            switch (t) {
            case Change:
                break;
            case Refuse:
                lines.setText(r, ColConfirmed, QStringLiteral("0"));
                break;
            case Accept:
                lines.setText(r, ColConfirmed, lines.text(r, ColOrdered));
                break;
            default:
                continue;
            }
            lines.setCurrentRow(r);
            LineCheck::markLine(form, r, LineIsValid(form, r), t);
        }
        PoprawGrdSuma(form);
    }
    lines.repaint();
    lines.setCurrentCell(1, 1);
}

void typeChange(Confirmation& form)
{
    const int chosen = form.cboxTyp();
    applyType(form, int16_t(chosen));
    const bool open = chosen == Change && !Partners::fixesDelivery(form.partnerIln());
    form.set(Confirmation::Switch::DeliveryOpen, open);
    if (open)
        return;
    if (!form.remembered.deliveryDate.isEmpty())
        form.setTxtDataDostText(form.remembered.deliveryDate);
    if (!form.remembered.deliveryTime.isEmpty())
        form.setTxtCzasDostText(form.remembered.deliveryTime);
}

void clearSummary(Confirmation& form)
{
    Grid& summary = form.summary();
    summary.setRows(2);
    summary.setText(1, SumLineCount, QString());
    summary.setText(1, SumConfirmed, QString());
}

} // namespace ResponseType

void PoprawGrdSuma(Confirmation& form)
{
    if (form.lineCount() < 1)
        return;
    try {
        ResponseType::clearSummary(form);
        form.summary().setText(1, SumLineCount, QString::number(form.lineCount()));
        Grid& lines = form.lines();
        double sum = 0;
        for (int16_t r = 1; r <= form.lineCount(); ++r) {
            lines.setCurrentCell(r, ColConfirmed);
            const QString text = lines.currentText();
            if (!text.isEmpty())
                sum += Conversions::toNumber(text);
        }
        form.summary().setText(1, SumConfirmed,
                               Conversions::FormatNumberText(Conversions::numberToText(sum), 3));
    } catch (const RuntimeError& e) {
        form.reportError(Messages::ErrorInTwoBlanks, QStringLiteral("PoprawGrdSuma()"),
                         e.description());
    }
}
