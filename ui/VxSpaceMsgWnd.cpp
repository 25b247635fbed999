#include "ui/VxSpaceMsgWnd.h"

#include "ui/DesktopShell.h"
#include "ui_VXSpaceMsgWnd.h"

#include <QLabel>

namespace vx {

CVxSpaceMsgWnd::CVxSpaceMsgWnd(QWidget* owner, const QString& text, const SpaceLinks& links)
    : CVxDialog(owner), m_form(std::make_unique<Ui::VXSpaceMsgWnd>()), m_links(links)
{
    m_form->setupUi(this);
    setWindowTitle(QStringLiteral("Vexora"));
    BindForm("VXSpaceMsgWnd", RequiredControls(), 32);
    if (auto* i = Control<QLabel>("infor")) {
        QString shown = text;
        shown.replace(QLatin1String("@n@n"), QLatin1String("\n\n"))
            .replace(QLatin1String("@n"), QLatin1String("\n"));
        i->setText(shown);
    }
    // The window grows downwards with a longer text (a language's explanation of two paragraphs).
    adjustSize();
    CenterOverOwner();
}

CVxSpaceMsgWnd::~CVxSpaceMsgWnd() = default;

QStringList CVxSpaceMsgWnd::RequiredControls()
{
    return {QStringLiteral("infor"), QStringLiteral("PurchaseSpace"), QStringLiteral("ManageSpace"),
            QStringLiteral("closebtn")};
}

void CVxSpaceMsgWnd::OnNotify(TNotifyUI& msg)
{
    if (msg.sType != QLatin1String("click"))
        return;
    if (msg.senderName == QLatin1String("PurchaseSpace"))
        Desktop().OpenUrl(m_links.PurchaseUrl());
    else if (msg.senderName == QLatin1String("ManageSpace"))
        Desktop().OpenUrl(m_links.ManageUrl());
    else if (msg.senderName == QLatin1String("closebtn"))
        done(1);
}

} // namespace vx
