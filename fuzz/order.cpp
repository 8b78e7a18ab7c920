// An order as the start-up takes it from the server.
#include "FuzzSupport.h"

#include "core/actions/Confirmation.h"
#include "core/rules/XmlDocument.h"
#include "core/session/Startup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    freshProcess();
    const XmlDocument order = XmlDocument::fromBytes(bytesOf(data, size));
    if (order.isEmpty())
        return 0;
    SilentMessages messages;
    Confirmation form(messages, fuzzProcess());
    Startup::takeOrder(form, order);
    return 0;
}
