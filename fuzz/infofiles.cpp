// The user and partner information files of the working folder.
#include "FuzzSupport.h"

#include "core/form/RuntimeError.h"
#include "core/session/InfoFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = asFile(bytesOf(data, size));
    UserInfo user;
    PartnerInfo partner;
    try {
        InfoFiles::readUserInfo(fuzzProcess(), path, user);
    } catch (const RuntimeError&) {
    }
    try {
        InfoFiles::readPartnerInfo(fuzzProcess(), path, partner);
    } catch (const RuntimeError&) {
    }
    return 0;
}
