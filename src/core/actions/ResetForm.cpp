#include "core/actions/ResetForm.h"

#include "core/actions/Confirmation.h"
#include "core/form/Columns.h"
#include "core/form/ProcessState.h"
#include "core/rules/Conversions.h"
#include "core/rules/Totals.h"

using Field = Confirmation::Field;

void ResetForm(Confirmation& form)
{
    for (Field field :
         {Field::txtNrPotw, Field::lblNrZamWart, Field::lblDataZamWart, Field::lblILNKupWart,
          Field::lblILNMiejscaDostWart, Field::lblILNSprzedWart, Field::txtUwagi})
        form.setField(field, QString());
    form.setTxtDataPotwText(Conversions::FormatDate(form.process().today()));
    Confirmation::Parties parties = form.parties();
    parties.buyerName.clear();
    parties.sellerName.clear();
    form.setParties(parties);
    Confirmation::Remembered remembered = form.remembered();
    remembered.deliveryPointName.clear();
    form.remember(remembered);

    Grid& lines = form.lines();
    lines.setRows(2);
    lines.setCurrentRow(1);
    for (int16_t c = 0; c < lines.columns(); ++c) {
        lines.setText(1, c, QString());
        if (c >= 1) {
            lines.setCurrentColumn(c);
            lines.setBackground(1, c, Colours::Open);
        }
    }
    form.setLineCount(0);
    form.setValidLineCount(0);
    Totals::clearSummary(form);
}
