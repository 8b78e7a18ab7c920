// An order taken, its response written and that response loaded back.
#include "FuzzSupport.h"

#include "control/Confirmation.h"
#include "control/Startup.h"
#include "documents/ResponseLoader.h"
#include "documents/ResponseWriter.h"
#include "documents/XmlDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    freshProcess();
    const XmlDocument order = XmlDocument::fromBytes(bytesOf(data, size));
    if (order.isEmpty())
        return 0;
    ProcessState::instance().user.iln = QStringLiteral("4607000000024");
    SilentMessages messages;
    Confirmation form(messages);
    form.setPartnerIln(QStringLiteral("4607000000017"));
    Startup::takeOrder(form, order);
    const std::optional<XmlDocument> response = MakeOrderResponse(form);
    if (!response)
        return 0;
    Confirmation loaded(messages);
    loaded.setPartnerIln(QStringLiteral("4607000000017"));
    loadResponseFile(loaded, asFile(response->toUtf8()));
    return 0;
}
