#pragma once
// The organisation's two space pages on the web platform (buy more space, manage the space)
// and the used/total figure the space windows show.

#include <QString>
#include <cstdint>

namespace vx {

class CAppConfig;

struct SpaceLinks
{
    QString webHost;
    int webPort = 0;
    int64_t orgId = 0;

    // From the configuration's web server and the session's organisation.
    static SpaceLinks FromConfig(const CAppConfig& cfg);
    QString PurchaseUrl() const;
    QString ManageUrl() const;
};

// used ÷ total × 100, truncated; 100 when used exceeds total; 0 when total is 0 and nothing is
// used (or figures are negative).
int SpacePercent(int64_t usedGb, int64_t totalGb);

} // namespace vx
