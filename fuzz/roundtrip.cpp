// An order taken, its response written and that response loaded back.
#include "FuzzSupport.h"

#include "core/actions/Confirmation.h"
#include "core/actions/LoadResponse.h"
#include "core/rules/ResponseWriter.h"
#include "core/rules/XmlDocument.h"
#include "core/session/Startup.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    freshProcess();
    const XmlDocument order = XmlDocument::fromBytes(bytesOf(data, size));
    if (order.isEmpty())
        return 0;
    // The direct writer writes what libxml2 writes, or leaves the tree to it.
    if (order.toUtf8() != order.toUtf8ByLibrary())
        std::abort();
    fuzzProcess().user.iln = QStringLiteral("4607000000024");
    SilentMessages messages;
    Confirmation form(messages, fuzzProcess());
    form.setPartnerIln(QStringLiteral("4607000000017"));
    Startup::takeOrder(form, order);
    const std::optional<XmlDocument> response = MakeOrderResponse(form);
    if (!response)
        return 0;
    if (response->toUtf8() != response->toUtf8ByLibrary())
        std::abort();
    Confirmation loaded(messages, fuzzProcess());
    loaded.setPartnerIln(QStringLiteral("4607000000017"));
    loadResponseFile(loaded, asFile(response->toUtf8()));
    return 0;
}
