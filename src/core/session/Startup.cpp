#include "core/session/Startup.h"

#include "core/actions/Confirmation.h"
#include "core/actions/ResetForm.h"
#include "core/form/Columns.h"
#include "core/form/Partners.h"
#include "core/form/ProcessState.h"
#include "core/rules/DebugLog.h"
#include "core/rules/LineCheck.h"
#include "core/rules/OrderReader.h"
#include "core/rules/ResponseType.h"
#include "core/rules/SafeNames.h"

namespace Startup {

void setParties(Confirmation& form)
{
    const ProcessState& process = form.process();
    form.setParties({form.partnerIln(), process.partner.name, process.user.iln, process.user.name});
    form.setField(Confirmation::Field::lblILNKupWart, form.parties().buyerName);
    form.setField(Confirmation::Field::lblILNSprzedWart, form.parties().sellerName);
}

bool takeOrder(Confirmation& form, const XmlDocument& order)
{
    const bool read = Wczytaj_Zamowienie(form, order);
    checkLines(form);
    return read;
}

void checkLines(Confirmation& form)
{
    Grid& lines = form.lines();
    // The current row passes over every line; a table on screen follows only its end.
    RedrawPause pause(lines);
    int16_t valid = 0;
    for (int16_t r = 1; r <= form.lineCount(); ++r) {
        lines.setCurrentRow(r);
        if (LineIsValid(form, r))
            ++valid;
        else
            lines.setRowBackground(r, ColEan, ColDeliveryTime, Colours::Failing);
    }
    form.setValidLineCount(valid);
    lines.setCurrentCell(1, 1);
}

bool openOrder(Confirmation& form, const XmlDocument& order)
{
    ResetForm(form);
    form.set(Confirmation::Switch::btnPrzeslijEnabled, true);
    setParties(form);
    const bool read = takeOrder(form, order);
    finish(form);
    return read;
}

void finish(Confirmation& form)
{
    const QString partner = form.partnerIln();
    if (Partners::showsPrices(partner))
        form.lines().setColumnWidth(ColPrice, Columns::PriceWidthForGrossBuyer);
    form.SetHeader();
    const int16_t type =
        form.lineCount() == form.validLineCount() ? ResponseType::Accept : ResponseType::Change;
    form.selectCboxTyp(type);
    ResponseType::applyType(form, type);
    DebugLog::WriteLog(form.process(),
                       QStringLiteral("Czy PARTNER_ILN = ") + SafeNames::oneLine(partner) +
                           QStringLiteral(" = DERUVE_ILN = ") + Partners::ShowsPrices,
                       4);
}

} // namespace Startup
