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
    SetCaptionHeight(10000); // any free spot drags the window
    connect(m_form->canclebtn, &QPushButton::clicked, this, &CAutoShutDownWnd::OnCancel);
    connect(m_form->closebtn, &QPushButton::clicked, this, &CAutoShutDownWnd::OnCancel);
    connect(m_form->Autoshutdown, &QPushButton::clicked, this, &CAutoShutDownWnd::OnShutDownNow);
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);

    m_form->infor->setText(QString::fromStdString(m_pCountdown->CountdownText()));
    m_pCountdown->SetTickCallback(
        [this](int) { m_form->infor->setText(QString::fromStdString(m_pCountdown->CountdownText())); });
    m_pCountdown->SetDoneCallback([this](bool ran, const std::string& error) { Finished(ran, error); });
    m_pCountdown->Start(tickMs);
    m_form->canclebtn->setFocus(); // the safe answer
    CenterOverOwner();
}

CAutoShutDownWnd::~CAutoShutDownWnd()
{
    m_pCountdown->Cancel();
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

void CAutoShutDownWnd::OnCancel()
{
    m_pCountdown->Cancel();
    done(kResultClose);
}

void CAutoShutDownWnd::OnShutDownNow()
{
    m_pCountdown->ShutDownNow();
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
