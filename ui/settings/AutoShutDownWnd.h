#pragma once
// The countdown before the automatic shut-down, opened by the main window when all uploads
// have finished and the user asked for it. Cancel (or the close button) leaves the computer
// running; at zero, or with "立即关机", the configured shut-down command runs and the main
// window is asked to close. A command that fails is shown and the program keeps running.

#include "account/AutoShutDown.h"
#include "ui/VxDialog.h"

#include <memory>

namespace Ui {
class AutoShutDownWnd;
}

namespace vx {

class CAutoShutDownWnd : public CVxDialog
{
    Q_OBJECT

public:
    static constexpr const char* kClassName = "__VEXORA_AUTO_SHUTDOWN_WND_";
    // The result when the shut-down command was started.
    static constexpr int kResultShutDown = 6;

    // command: the configured command line; runner: what runs it (tests give a recorder).
    CAutoShutDownWnd(QWidget* owner, MsgTarget mainTarget, const std::string& command, ShutdownRunner runner,
                     CMessageLoop& loop = CMessageLoop::Main(), int tickMs = 1000);
    ~CAutoShutDownWnd() override;

    CAutoShutDown& Countdown() { return *m_pCountdown; }

private slots:
    void OnCancel();
    void OnShutDownNow();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void reject() override;
    void closeEvent(QCloseEvent* e) override;

private:
    void Finished(bool ran, const std::string& error);

    std::unique_ptr<Ui::AutoShutDownWnd> m_form;
    MsgTarget m_mainTarget;
    CMessageLoop& m_loop;
    std::unique_ptr<CAutoShutDown> m_pCountdown;
};

} // namespace vx
