#include "ui/settings/AutoShutDownWnd.h"

#include "account/AccountMessages.h"
#include "ui/VxMessageWnd.h"
#include "ui_AutoShutDownWnd.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>

namespace vx {

CAutoShutDownWnd::CAutoShutDownWnd(QWidget* owner, MsgTarget mainTarget, const std::string& command,
                                   ShutdownRunner runner, CMessageLoop& loop, int tickMs)
    : CVxDialog(owner), m_form(std::make_unique<Ui::AutoShutDownWnd>()), m_mainTarget(mainTarget),
      m_loop(loop), m_pCountdown(std::make_unique<CAutoShutDown>(command, std::move(runner), loop))
{
    m_form->setupUi(this);
    setWindowTitle(QStringLiteral("Vexora"));
    setProperty("windowClass", QString::fromLatin1(kClassName));
    BindForm("AutoShutDownWnd", RequiredControls(), 10000);
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);

    m_form->infor->setText(QString::fromStdString(m_pCountdown->CountdownText()));
    m_pCountdown->SetTickCallback(
        [this](int) { m_form->infor->setText(QString::fromStdString(m_pCountdown->CountdownText())); });
    m_pCountdown->SetDoneCallback([this](bool ran, const std::string& error) { Finished(ran, error); });
    m_pCountdown->Start(tickMs);
    CenterOverOwner();
}

CAutoShutDownWnd::~CAutoShutDownWnd()
{
    m_pCountdown->Cancel();
}

QStringList CAutoShutDownWnd::RequiredControls()
{
    return {QStringLiteral("infor"), QStringLiteral("closebtn"), QStringLiteral("canclebtn"),
            QStringLiteral("Autoshutdown")};
}

void CAutoShutDownWnd::Finished(bool ran, const std::string& error)
{
    if (!ran) {
        // Nothing shuts the computer down: say so and leave the program running.
        ShowMessageBox(this, QString(), QStringLiteral("自动关机失败：") + QString::fromStdString(error),
                       MB_VX_OK | MB_VX_ERROR, false);
        done(kResultClose);
        return;
    }
    done(kResultShutDown);
    m_loop.PostMsg(m_mainTarget, WM_CLOSE);
}

void CAutoShutDownWnd::OnNotify(TNotifyUI& msg)
{
    if (msg.sType != QLatin1String("click"))
        return;
    if (msg.senderName == QLatin1String("closebtn") || msg.senderName == QLatin1String("canclebtn")) {
        m_pCountdown->Cancel();
        done(kResultClose);
    } else if (msg.senderName == QLatin1String("Autoshutdown")) {
        m_pCountdown->ShutDownNow();
    }
}

bool CAutoShutDownWnd::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)
            return true;
    }
    return CVxDialog::eventFilter(watched, e);
}

void CAutoShutDownWnd::reject()
{
    // Escape is swallowed by the filter; anything else that rejects is taken as a cancel.
    m_pCountdown->Cancel();
    CVxDialog::reject();
}

void CAutoShutDownWnd::closeEvent(QCloseEvent* e)
{
    m_pCountdown->Cancel();
    CVxDialog::closeEvent(e);
}

} // namespace vx
