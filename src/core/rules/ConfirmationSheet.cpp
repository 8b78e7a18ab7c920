#include "core/rules/ConfirmationSheet.h"

#include "core/form/Columns.h"
#include "core/form/Form.h"
#include "core/rules/Conversions.h"
#include "core/rules/LineChanges.h"
#include "core/rules/LineTally.h"
#include "core/rules/ResponseType.h"

namespace {

using Field = Form::Field;

QString dateText(const std::optional<QDate>& date)
{
    return date ? Conversions::FormatDate(*date) : QString();
}

// "name, ILN number", or whichever of the two is known.
QString party(const QString& name, const QString& iln)
{
    if (iln.isEmpty())
        return name;
    return name.isEmpty() ? QStringLiteral("ILN ") + iln
                          : QStringLiteral("%1, ILN %2").arg(name, iln);
}

QString joined(const QStringList& parts)
{
    QStringList given;
    for (const QString& part : parts) {
        if (!part.trimmed().isEmpty())
            given.append(part.trimmed());
    }
    return given.join(QStringLiteral(", "));
}

} // namespace

const QStringList& ConfirmationSheet::columnLabels()
{
    static const QStringList labels = {QStringLiteral("№ п.п"),
                                       QStringLiteral("EAN продукта"),
                                       QStringLiteral("Код покупателя"),
                                       QStringLiteral("Код продавца"),
                                       QStringLiteral("Название продукта"),
                                       QStringLiteral("Ед."),
                                       QStringLiteral("Заказано"),
                                       QStringLiteral("Подтверждено"),
                                       QStringLiteral("Разница")};
    return labels;
}

ConfirmationSheet ConfirmationSheet::of(const Form& form)
{
    ConfirmationSheet sheet;
    const QString number = form.field(Field::txtNrPotw);
    sheet.title = number.isEmpty() ? QStringLiteral("Подтверждение заказа")
                                   : QStringLiteral("Подтверждение заказа № ") + number;
    const Form::Parties& parties = form.parties();
    QString delivery = dateText(form.txtDataDost());
    if (form.txtCzasDost())
        delivery += QLatin1Char(' ') + Conversions::FormatTime(*form.txtCzasDost());
    const int type = form.cboxTyp();
    sheet.header = {
        {QStringLiteral("Номер подтверждения"), number},
        {QStringLiteral("Дата подтверждения"), dateText(form.txtDataPotw())},
        {QStringLiteral("Номер заказа"), form.field(Field::lblNrZamWart)},
        {QStringLiteral("Дата заказа"), form.field(Field::lblDataZamWart)},
        {QStringLiteral("Покупатель"), party(form.field(Field::lblILNKupWart), parties.buyerIln)},
        {QStringLiteral("Продавец"), party(form.field(Field::lblILNSprzedWart), parties.sellerIln)},
        {QStringLiteral("Место доставки"),
         joined({form.field(Field::lblNazwaMiejscaDostWart),
                 form.field(Field::lblAdresMiejscaDostWart),
                 form.field(Field::lblILNMiejscaDostWart).isEmpty()
                     ? QString()
                     : QStringLiteral("ILN ") + form.field(Field::lblILNMiejscaDostWart)})},
        {QStringLiteral("Срок поставки"), delivery.trimmed()},
        {QStringLiteral("Тип подтверждения"), form.cboxTypItems().value(type)},
    };
    if (type != ResponseType::Accept)
        sheet.header.append(
            {QStringLiteral("Причина"), form.cboxPrzyczynaItems().value(form.cboxPrzyczyna())});
    sheet.header.append({QStringLiteral("Замечания"), form.field(Field::txtUwagi)});

    const Grid& lines = form.lines();
    const int16_t last = LineChanges::lastAddressableRow(form);
    sheet.rows.reserve(last);
    qint64 ordered = 0;
    qint64 confirmed = 0;
    bool exact = true;
    for (int16_t r = 1; r <= last; ++r) {
        Row row;
        row[Number] = lines.text(r, ColNumber);
        row[Ean] = lines.text(r, ColEan);
        row[BuyerCode] = lines.text(r, ColBuyerCode);
        row[SupplierCode] = lines.text(r, ColSupplierCode);
        row[Name] = lines.text(r, ColName);
        row[Unit] = lines.text(r, ColUnit);
        row[Ordered] = lines.text(r, ColOrdered);
        row[Confirmed] = lines.text(r, ColConfirmed);
        const std::optional<QString> difference =
            LineChanges::difference(row[Confirmed], row[Ordered]);
        row[Difference] = difference.value_or(QString());
        const std::optional<qint64> o = LineChanges::thousandths(row[Ordered]);
        const std::optional<qint64> c = LineChanges::thousandths(row[Confirmed]);
        exact = exact && o && c;
        ordered += o.value_or(0);
        confirmed += c.value_or(0);
        sheet.changed.append(!difference || *c != *o);
        sheet.rows.append(std::move(row));
    }

    const LineTally tally = LineTally::of(form);
    const auto quantity = [exact](qint64 value, bool sign = false) {
        return exact ? LineChanges::quantityText(value, sign) : QStringLiteral("—");
    };
    sheet.totals = {
        {QStringLiteral("Количество линий"), QString::number(form.lineCount())},
        {QStringLiteral("Заказано всего"), quantity(ordered)},
        {QStringLiteral("Подтверждено всего"), quantity(confirmed)},
        {QStringLiteral("Разница"), quantity(confirmed - ordered, true)},
        {QStringLiteral("Полностью / изменено / отказ"),
         QStringLiteral("%1 / %2 / %3").arg(tally.full).arg(tally.changed).arg(tally.refused)},
    };
    return sheet;
}
