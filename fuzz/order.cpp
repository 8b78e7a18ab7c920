// An order as the start-up takes it from the server.
#include "FuzzSupport.h"

#include "control/Confirmation.h"
#include "control/Startup.h"
#include "documents/XmlDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    freshProcess();
    const XmlDocument order = XmlDocument::fromBytes(bytesOf(data, size));
    if (order.isEmpty())
        return 0;
    SilentMessages messages;
    Confirmation form(messages);
    Startup::takeOrder(form, order);
    return 0;
}
