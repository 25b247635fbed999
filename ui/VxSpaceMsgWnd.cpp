#include "ui/VxSpaceMsgWnd.h"

#include "ui/DesktopShell.h"
#include "ui_VxSpaceMsgWnd.h"

namespace vx {

CVxSpaceMsgWnd::CVxSpaceMsgWnd(QWidget* owner, const QString& text, const SpaceLinks& links)
    : CVxDialog(owner), m_form(std::make_unique<Ui::VxSpaceMsgWnd>()), m_links(links)
{
    m_form->setupUi(this);
    SetCaptionHeight(32);
    QString shown = text;
    shown.replace(QLatin1String("@n@n"), QLatin1String("\n\n"))
        .replace(QLatin1String("@n"), QLatin1String("\n"));
    m_form->infor->setText(shown);
    connect(m_form->PurchaseSpace, &QPushButton::clicked, this, &CVxSpaceMsgWnd::OnPurchase);
    connect(m_form->ManageSpace, &QPushButton::clicked, this, &CVxSpaceMsgWnd::OnManage);
    connect(m_form->closebtn, &QPushButton::clicked, this, [this] { done(1); });
    m_form->PurchaseSpace->setFocus();
    // The window grows downwards with a longer text (a language's explanation of two paragraphs).
    adjustSize();
    CenterOverOwner();
}

CVxSpaceMsgWnd::~CVxSpaceMsgWnd() = default;

void CVxSpaceMsgWnd::OnPurchase()
{
    Desktop().OpenUrl(m_links.PurchaseUrl());
}

void CVxSpaceMsgWnd::OnManage()
{
    Desktop().OpenUrl(m_links.ManageUrl());
}

} // namespace vx
