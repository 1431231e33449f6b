#include "ConnectionSecurity.h"

#include "logic/frame/SettingsKeys.h"

namespace rq {

ConnectionSecurity storedSecurity()
{
    // As "Local Connection": any stored text but "0" ticks the box.
    const auto ticked = [](const char* key) { return settings::stored(key, "0") != QLatin1String("0"); };
    return {ticked(settings::kTrustServerCertificate), ticked(settings::kAllowUnencrypted)};
}

} // namespace rq
