#include "core/actions/EditLine.h"

#include "core/actions/CellEditor.h"
#include "core/actions/Confirmation.h"
#include "core/form/Columns.h"
#include "core/form/ProcessState.h"
#include "core/form/RuntimeError.h"
#include "core/rules/Conversions.h"
#include "core/rules/LineCheck.h"

namespace {

LineDialogFields fieldsOfRow(const Confirmation& form, int16_t r)
{
    const Grid& lines = form.lines();
    LineDialogFields fields;
    fields.ean = lines.text(r, ColEan);
    fields.name = lines.text(r, ColName);
    const QString unit = lines.text(r, ColUnit);
    fields.unitIndex = LineEdit::indexJednostkiMiary(unit);
    fields.unitText = fields.unitIndex == -1 ? unit : LineEdit::unitNames().at(fields.unitIndex);
    fields.ordered = lines.text(r, ColOrdered);
    fields.confirmed = lines.text(r, ColConfirmed);
    fields.price = lines.text(r, ColPrice);
    fields.discount = lines.text(r, ColDiscount);
    const QString date = lines.text(r, ColDeliveryDate);
    fields.deliveryDate = Conversions::toDate(
        date.isEmpty() ? Conversions::FormatDate(form.process().today()) : date);
    fields.title = QStringLiteral("Позиция номер ") + lines.text(r, ColNumber);
    return fields;
}

} // namespace

void btnEdytuj_Click(Confirmation& form, LineDialogPort& dialog)
{
    if (form.lineCount() < 1)
        return;
    form.editor().commit();
    form.setEnabled(false);
    try {
        Grid& lines = form.lines();
        LineDialogFields fields = fieldsOfRow(form, int16_t(lines.currentRow()));
        if (dialog.run(fields) == 1) {
            RedrawPause pause(lines);
            const auto row = int16_t(lines.currentRow());
            ZatwierdzPozycje(form, row, fields);
            // The written line shows at once whether it is complete.
            LineCheck::markCommitted(form, row);
            lines.setCurrentCell(row, ColDeliveryTime);
        }
    } catch (const RuntimeError& e) {
        form.reportError(Messages::ErrorIn, QStringLiteral("btnEdytuj_Click()"), e.description());
    }
    form.setEnabled(true);
}

void ZatwierdzPozycje(Confirmation& form, int16_t row, const LineDialogFields& fields)
{
    try {
        Grid& lines = form.lines();
        lines.setText(row, ColUnit,
                      LineEdit::symbolJednostkiMiary(fields.unitIndex, fields.unitText));
        for (int16_t c = ColSubstituteEan; c <= ColSubstituteSupplierCode; ++c)
            lines.setText(row, c, QString());
        lines.setText(row, ColConfirmed, Conversions::FormatNumberText(fields.confirmed, 3));
        lines.setText(row, ColPrice, Conversions::FormatNumberText(fields.price, 3));
        lines.setText(row, ColDiscount, Conversions::FormatNumberText(fields.discount, 2));
        lines.setText(row, ColDeliveryDate,
                      fields.deliveryDate ? Conversions::FormatDate(*fields.deliveryDate)
                                          : QString());
        lines.setCurrentRow(row);
        LineCheck::recolourAndRecount(form);
    } catch (const RuntimeError& e) {
        form.reportError(Messages::ErrorIn, QStringLiteral("ZatwierdzPozycje()"), e.description());
    }
}
