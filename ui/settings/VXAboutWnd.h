#pragma once
// The about window: the program's version and build date.

#include "ui/VxDialog.h"

#include <memory>

namespace Ui {
class VxAboutWnd;
}

namespace vx {

class CVXAboutWnd : public CVxDialog
{
    Q_OBJECT

public:
    static constexpr const char* kClassName = "__VEXORA_ABOUT_WND_";

    explicit CVXAboutWnd(QWidget* owner);
    ~CVXAboutWnd() override;

    // "版本号：%s ( %s  %s)" with the version, the build date and the build time.
    static QString VersionText();
    static QStringList RequiredControls();

protected:
    void OnNotify(TNotifyUI& msg) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    std::unique_ptr<Ui::VxAboutWnd> m_form;
};

} // namespace vx
