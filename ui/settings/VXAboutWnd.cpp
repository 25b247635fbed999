#include "ui/settings/VXAboutWnd.h"

#include "app/Utils.h"
#include "ui_VxAboutWnd.h"

#include <QKeyEvent>
#include <QLabel>

namespace vx {

CVXAboutWnd::CVXAboutWnd(QWidget* owner) : CVxDialog(owner), m_form(std::make_unique<Ui::VxAboutWnd>())
{
    m_form->setupUi(this);
    setWindowTitle(QStringLiteral("Vexora"));
    setProperty("windowClass", QString::fromLatin1(kClassName));
    BindForm("VxAboutWnd", RequiredControls(), 10000);
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    m_form->VxverInfo->setText(VersionText());
    CenterOverOwner();
}

CVXAboutWnd::~CVXAboutWnd() = default;

QString CVXAboutWnd::VersionText()
{
    return QString::asprintf("版本号：%s ( %s  %s)", GetAppVersion().c_str(), __DATE__, __TIME__);
}

QStringList CVXAboutWnd::RequiredControls()
{
    return {QStringLiteral("VxverInfo"), QStringLiteral("closebtn"), QStringLiteral("okbtn")};
}

void CVXAboutWnd::OnNotify(TNotifyUI& msg)
{
    if (msg.sType == QLatin1String("click") &&
        (msg.senderName == QLatin1String("closebtn") || msg.senderName == QLatin1String("canclebtn") ||
         msg.senderName == QLatin1String("okbtn")))
        done(kResultClose);
}

bool CVXAboutWnd::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)
            return true;
    }
    return CVxDialog::eventFilter(watched, e);
}

} // namespace vx
