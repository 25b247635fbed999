#include "ui/VxSpaceInfoWnd.h"

#include "ui/DesktopShell.h"
#include "ui_VXSpaceInfoWnd.h"

#include <QLabel>
#include <QProgressBar>

namespace vx {

CVxSpaceInfoWnd::CVxSpaceInfoWnd(QWidget* owner, const SpaceLinks& links)
    : CVxDialog(owner, Qt::Tool), m_form(std::make_unique<Ui::VXSpaceInfoWnd>()), m_links(links)
{
    m_form->setupUi(this);
    BindForm("VXSpaceInfoWnd", RequiredControls(), 0);
    setWindowOpacity(216.0 / 255.0); // stays opaque where the window system has no opacity
    SetSpace(0, 0);
}

CVxSpaceInfoWnd::~CVxSpaceInfoWnd() = default;

QStringList CVxSpaceInfoWnd::RequiredControls()
{
    return {QStringLiteral("SpaceInfoLabel"), QStringLiteral("SpaceInfoProg"),
            QStringLiteral("PurchaseSpaceBtn"), QStringLiteral("MangeSpaceBtn")};
}

void CVxSpaceInfoWnd::SetSpace(int64_t usedGb, int64_t totalGb)
{
    if (auto* l = Control<QLabel>("SpaceInfoLabel"))
        l->setText(QStringLiteral("已用%1G,共%2G").arg(usedGb).arg(totalGb));
    if (auto* p = Control<QProgressBar>("SpaceInfoProg")) {
        p->setRange(0, 100);
        p->setValue(SpacePercent(usedGb, totalGb));
    }
}

int CVxSpaceInfoWnd::Percent() const
{
    auto* p = Control<QProgressBar>("SpaceInfoProg");
    return p ? p->value() : -1;
}

QString CVxSpaceInfoWnd::Text() const
{
    auto* l = Control<QLabel>("SpaceInfoLabel");
    return l ? l->text() : QString();
}

void CVxSpaceInfoWnd::OnNotify(TNotifyUI& msg)
{
    if (msg.sType != QLatin1String("click"))
        return;
    if (msg.senderName == QLatin1String("PurchaseSpaceBtn"))
        Desktop().OpenUrl(m_links.PurchaseUrl());
    else if (msg.senderName == QLatin1String("MangeSpaceBtn"))
        Desktop().OpenUrl(m_links.ManageUrl());
}

} // namespace vx
