#include "core/rules/Totals.h"

#include "core/form/Columns.h"
#include "core/form/Form.h"
#include "core/form/RuntimeError.h"
#include "core/rules/Conversions.h"

namespace Totals {

void clearSummary(Form& form)
{
    Grid& summary = form.summary();
    summary.setRows(2);
    summary.setText(1, SumLineCount, QString());
    summary.setText(1, SumConfirmed, QString());
}

} // namespace Totals

void PoprawGrdSuma(Form& form)
{
    if (form.lineCount() < 1)
        return;
    try {
        Totals::clearSummary(form);
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
