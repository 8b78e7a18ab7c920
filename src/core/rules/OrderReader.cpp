#include "core/rules/OrderReader.h"

#include "core/form/Form.h"
#include "core/form/ProcessState.h"
#include "core/form/RuntimeError.h"
#include "core/rules/Conversions.h"
#include "core/rules/LineFields.h"
#include "core/rules/XmlDocument.h"

#include <limits>

namespace {

using Field = Form::Field;

// "" or a number equal to -1 stands for a value the order does not give.
bool isUnset(const QString& text)
{
    return text.isEmpty() || (Conversions::readsAsNumber(text) &&
                              Conversions::compareNumbers(text, QStringLiteral("-1"), 3) == 0);
}

void read(Form& form, const XmlDocument& order)
{
    using Conversions::GetNodeValue;
    form.setField(Field::lblNrZamWart,
                  GetNodeValue(order, "/Document-Order/Order-Header/OrderNumber", false));
    form.setField(Field::lblDataZamWart,
                  GetNodeValue(order, "/Document-Order/Order-Header/OrderDate", false));
    form.setField(Field::txtNrPotw, QStringLiteral("Пз_") + form.field(Field::lblNrZamWart));

    Form::Remembered remembered = form.remembered();
    remembered.deliveryPointName =
        GetNodeValue(order, "/Document-Order/Order-Parties/DeliveryPoint/Name", true);
    remembered.deliveryPointAddress =
        GetNodeValue(order, "/Document-Order/Order-Parties/DeliveryPoint/Address", true);
    remembered.deliveryPointIln =
        GetNodeValue(order, "/Document-Order/Order-Parties/DeliveryPoint/ILN", true);
    form.remember(remembered);
    form.setField(Field::lblNazwaMiejscaDostWart, remembered.deliveryPointName);
    form.setField(Field::lblAdresMiejscaDostWart, remembered.deliveryPointAddress);
    form.setField(Field::lblILNMiejscaDostWart, remembered.deliveryPointIln);

    const QString date =
        GetNodeValue(order, "/Document-Order/Order-Header/ExpectedDeliveryDate", true);
    form.setTxtDataDost(Conversions::toDate(
        isUnset(date) ? Conversions::FormatDate(form.process().today()) : date));
    remembered.deliveryDate = Conversions::FormatDate(*form.txtDataDost());
    form.remember(remembered);

    const QString time =
        GetNodeValue(order, "/Document-Order/Order-Header/ExpectedDeliveryTime", true);
    form.setTxtCzasDost(Conversions::toTime(isUnset(time) ? QStringLiteral("00:00:00") : time));
    remembered.deliveryTime = Conversions::FormatTime(*form.txtCzasDost());
    form.remember(remembered);

    form.setField(Field::txtUwagi,
                  GetNodeValue(order, "/Document-Order/Order-Header/Remarks", true));

    const XmlNode linesElement = order.selectSingleNode("/Document-Order/Order-Lines");
    if (linesElement.isNull())
        throw RuntimeError(RuntimeError::ObjectMissing,
                           QStringLiteral("В заказе нет элемента Order-Lines"));
    const QList<XmlNode> children = linesElement.childNodes();
    const LineFields::Layout& layout = LineFields::orderLayout(form.partnerIln());

    Grid& lines = form.lines();
    if (children.isEmpty()) {
        lines.setRows(2);
        return;
    }
    if (children.size() > std::numeric_limits<int16_t>::max())
        throw RuntimeError::overflow();
    const auto n = int16_t(children.size());
    lines.setRows(n + 1);
    form.setLineCount(n);
    RedrawPause pause(lines);
    const QString today = Conversions::FormatDate(form.process().today());
    for (int16_t i = 0; i < n; ++i)
        LineFields::writeRow(lines, int16_t(i + 1), children[i], layout, today);
    lines.setCurrentCell(1, 1);
}

} // namespace

bool Wczytaj_Zamowienie(Form& form, const XmlDocument& order)
{
    form.setEnabled(false);
    try {
        read(form, order);
    } catch (const RuntimeError& e) {
        form.reportError(Messages::ErrorIn, QStringLiteral("Wczytaj_Zamowienie()"),
                         e.description());
        form.setEnabled(true);
        return false;
    }
    form.setEnabled(true);
    return true;
}
