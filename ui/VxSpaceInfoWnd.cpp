#include "ui/VxSpaceInfoWnd.h"

#include "ui/DesktopShell.h"
#include "ui_VxSpaceInfoWnd.h"

namespace vx {

CVxSpaceInfoWnd::CVxSpaceInfoWnd(QWidget* owner, const SpaceLinks& links)
    : CVxDialog(owner, Qt::Tool), m_form(std::make_unique<Ui::VxSpaceInfoWnd>()), m_links(links)
{
    m_form->setupUi(this);
    setWindowOpacity(216.0 / 255.0); // stays opaque where the window system has no opacity
    m_form->SpaceInfoProg->setRange(0, 100);
    connect(m_form->PurchaseSpaceBtn, &QPushButton::clicked, this, &CVxSpaceInfoWnd::OnPurchase);
    connect(m_form->MangeSpaceBtn, &QPushButton::clicked, this, &CVxSpaceInfoWnd::OnManage);
    SetSpace(0, 0);
}

CVxSpaceInfoWnd::~CVxSpaceInfoWnd() = default;

void CVxSpaceInfoWnd::SetSpace(int64_t usedGb, int64_t totalGb)
{
    m_form->SpaceInfoLabel->setText(QStringLiteral("已用%1G,共%2G").arg(usedGb).arg(totalGb));
    m_form->SpaceInfoProg->setValue(SpacePercent(usedGb, totalGb));
}

int CVxSpaceInfoWnd::Percent() const
{
    return m_form->SpaceInfoProg->value();
}

QString CVxSpaceInfoWnd::Text() const
{
    return m_form->SpaceInfoLabel->text();
}

void CVxSpaceInfoWnd::OnPurchase()
{
    Desktop().OpenUrl(m_links.PurchaseUrl());
}

void CVxSpaceInfoWnd::OnManage()
{
    Desktop().OpenUrl(m_links.ManageUrl());
}

} // namespace vx
