#include "ui/settings/VXAboutWnd.h"

#include "app/Utils.h"
#include "ui_VXAboutWnd.h"

#include <QKeyEvent>
#include <QLabel>

namespace vx {

CVXAboutWnd::CVXAboutWnd(QWidget* owner) : CVxDialog(owner), m_form(std::make_unique<Ui::VXAboutWnd>())
{
    m_form->setupUi(this);
    setWindowTitle(QStringLiteral("Vexora"));
    setProperty("windowClass", QString::fromLatin1(kClassName));
    SetCaptionHeight(10000); // any free spot drags the window
    connect(m_form->okbtn, &QPushButton::clicked, this, &CVxDialog::CloseWithoutAnswer);
    connect(m_form->closebtn, &QPushButton::clicked, this, &CVxDialog::CloseWithoutAnswer);
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    m_form->VxverInfo->setText(VersionText());
    m_form->okbtn->setFocus();
    CenterOverOwner();
}

CVXAboutWnd::~CVXAboutWnd() = default;

QString CVXAboutWnd::VersionText()
{
    return QString::asprintf("版本号：%s ( %s  %s)", GetAppVersion().c_str(), __DATE__, __TIME__);
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
