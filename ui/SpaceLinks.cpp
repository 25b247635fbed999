#include "ui/SpaceLinks.h"

#include "app/AppConfig.h"

namespace vx {

SpaceLinks SpaceLinks::FromConfig(const CAppConfig& cfg)
{
    SpaceLinks l;
    l.webHost = QString::fromStdString(cfg.m_strWebHost);
    l.webPort = cfg.m_nWebPort;
    l.orgId = cfg.m_i64OrgId;
    return l;
}

QString SpaceLinks::PurchaseUrl() const
{
    return QStringLiteral("http://%1:%2/organizationAdminRedirect.do?action=toBuyFtpSpace&organizationId=%3")
        .arg(webHost)
        .arg(webPort)
        .arg(orgId);
}

QString SpaceLinks::ManageUrl() const
{
    return QStringLiteral(
               "http://%1:%2/organizationAdminRedirect.do?action=toManageCourseSpace&organizationId=%3")
        .arg(webHost)
        .arg(webPort)
        .arg(orgId);
}

int SpacePercent(int64_t usedGb, int64_t totalGb)
{
    if (usedGb <= 0)
        return 0;
    if (usedGb > totalGb)
        return 100;
    return static_cast<int>(usedGb * 100 / totalGb);
}

} // namespace vx
