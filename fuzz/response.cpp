// A saved response loaded from a file, the single-byte retry included.
#include "FuzzSupport.h"

#include "core/actions/Confirmation.h"
#include "core/actions/LoadResponse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    freshProcess();
    fuzzProcess().user.iln = QStringLiteral("4607000000024");
    SilentMessages messages;
    Confirmation form(messages, fuzzProcess());
    form.setPartnerIln(QStringLiteral("4607000000017"));
    loadResponseFile(form, asFile(bytesOf(data, size)));
    return 0;
}
