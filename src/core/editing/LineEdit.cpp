#include "editing/LineEdit.h"

#include "control/Clock.h"
#include "control/Columns.h"
#include "control/Confirmation.h"
#include "control/RuntimeError.h"
#include "documents/Conversions.h"
#include "documents/ResponseLoader.h"
#include "editing/CellEditor.h"
#include "editing/LineCheck.h"

namespace {

const char* const UnitCodes[] = {"PCE", "KGM", "MTR", "KMT", "PA", "SET", "PR", "TNE", "LTR"};

void warn(MessageSink& messages, const QString& text)
{
    messages.show({Messages::Title, text, Message::Icon::Critical});
}

} // namespace

namespace LineEdit {

const QStringList& unitNames()
{
    static const QStringList names = {
        QStringLiteral("Sztuka"),   QStringLiteral("Kilogram"),       QStringLiteral("Metr"),
        QStringLiteral("Kilometr"), QStringLiteral("Opakowanie"),     QStringLiteral("Komplet"),
        QStringLiteral("Para"),     QStringLiteral("Tona metryczna"), QStringLiteral("Litr"),
    };
    return names;
}

QString symbolJednostkiMiary(int16_t index, const QString& comboText)
{
    if (index == -1)
        return comboText;
    if (index >= 0 && index < int16_t(std::size(UnitCodes)))
        return QString::fromLatin1(UnitCodes[index]);
    return {};
}

int16_t indexJednostkiMiary(const QString& symbol)
{
    for (int16_t i = 0; i < int16_t(std::size(UnitCodes)); ++i) {
        if (symbol.compare(QLatin1String(UnitCodes[i]), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString leaveTextBox(const QString& text, int decimals)
{
    QString trimmed = text.trimmed();
    return Conversions::NormalizeNumber(trimmed, decimals);
}

Field Walidacja(LineDialogFields& fields, MessageSink& messages)
{
    fields.confirmed = leaveTextBox(fields.confirmed, 3);
    if (!Conversions::readsAsNumber(fields.confirmed)) {
        warn(messages, QStringLiteral("Brak lub bікdna wartoњж dla pola 'Potwierdzana iloњж'"));
        return Field::txtIloscPotw;
    }
    if (fields.unitText.isEmpty()) {
        warn(messages, QStringLiteral("Brak wartoњci dla pola 'Jednostka miary'."));
        return Field::cboxJednostkaMiary;
    }
    fields.price = leaveTextBox(fields.price, 2);
    if (!fields.price.trimmed().isEmpty() && !Conversions::readsAsNumber(fields.price)) {
        warn(messages, QStringLiteral("Bікdna wartoњж dla pola 'Cena Netto'"));
        return Field::txtCenaNetto;
    }
    fields.discount = leaveTextBox(fields.discount, 2);
    if (!fields.discount.trimmed().isEmpty() && !Conversions::readsAsNumber(fields.discount)) {
        warn(messages, QStringLiteral("Bікdna wartoњж dla pola 'Rabat'"));
        return Field::txtRabat;
    }
    if (!fields.deliveryDate) {
        warn(messages, QStringLiteral("Brak wartoњci dla pola 'Potwierdzona data dostawy'"));
        return Field::dtDataDostawy;
    }
    return Field::None;
}

} // namespace LineEdit

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
    fields.deliveryDate =
        Conversions::toDate(date.isEmpty() ? Conversions::FormatDate(Clock::today()) : date);
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

void btnUsun_Click(Confirmation& form)
{
    if (form.lineCount() == 0)
        return;
    Grid& lines = form.lines();
    try {
        // A value still open in the cell editor lands in its cell before the row goes.
        form.editor().commit();
        RedrawPause pause(lines);
        if (form.lineCount() != 1) {
            const int row = lines.currentRow();
            if (row < 1)
                throw RuntimeError(RuntimeError::Generic,
                                   QStringLiteral("Нельзя удалить строку заголовка"));
            form.setLineCount(int16_t(form.lineCount() - 1));
            lines.removeRow(row);
            lines.setRows(form.lineCount() + 1);
        } else {
            form.setLineCount(0);
            ResetForm(form);
        }
        LineCheck::recount(form);
        form.requestFocus(QStringLiteral("grdPozycje"));
    } catch (const RuntimeError& e) {
        form.reportError(Messages::ErrorIn, QStringLiteral("btnUsun_Click()"), e.description());
    }
}
