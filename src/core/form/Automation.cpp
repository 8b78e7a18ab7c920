#include "core/form/Automation.h"

namespace Automation {
namespace {

// The safety options each known interface is marked with; 0 for any other.
uint32_t optionsOf(const QUuid& iid)
{
    const QString text = iid.toString(QUuid::WithBraces).toUpper();
    if (text == QLatin1String("{00020400-0000-0000-C000-000000000046}")) // IDispatch
        return SafeForScripting;
    if (text == QLatin1String("{0000010A-0000-0000-C000-000000000046}") || // IPersistStorage
        text == QLatin1String("{00000109-0000-0000-C000-000000000046}") || // IPersistStream
        text == QLatin1String("{37D84F60-42CB-11CE-8135-00AA004BB851}"))   // IPersistPropertyBag
        return SafeForInitializing;
    return 0;
}

} // namespace

uint32_t GetInterfaceSafetyOptions(const std::optional<QUuid>& iid, uint32_t& supported,
                                   uint32_t& enabled)
{
    supported = SafeForScripting | SafeForInitializing;
    if (!iid)
        return Ok;
    const uint32_t options = optionsOf(*iid);
    if (options == 0)
        return NoInterface;
    enabled = options;
    return Ok;
}

uint32_t SetInterfaceSafetyOptions(const std::optional<QUuid>& iid, uint32_t mask, uint32_t options)
{
    if (!iid)
        return Ok;
    const uint32_t known = optionsOf(*iid);
    if (known == 0)
        return NoInterface;
    return (mask & options) == known ? Ok : Fail;
}

} // namespace Automation
