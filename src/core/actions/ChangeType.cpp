#include "core/actions/ChangeType.h"

#include "core/actions/Confirmation.h"
#include "core/form/Partners.h"
#include "core/rules/ResponseType.h"

namespace ChangeType {

void typeChange(Confirmation& form)
{
    const int chosen = form.cboxTyp();
    ResponseType::applyType(form, int16_t(chosen));
    const bool open = chosen == ResponseType::Change && !Partners::fixesDelivery(form.partnerIln());
    form.set(Confirmation::Switch::DeliveryOpen, open);
    if (open)
        return;
    if (!form.remembered().deliveryDate.isEmpty())
        form.setTxtDataDostText(form.remembered().deliveryDate);
    if (!form.remembered().deliveryTime.isEmpty())
        form.setTxtCzasDostText(form.remembered().deliveryTime);
}

} // namespace ChangeType
