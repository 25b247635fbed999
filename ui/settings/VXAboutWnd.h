#pragma once
// The about window: the program's version and build date.

#include "ui/VxDialog.h"

#include <memory>

namespace Ui {
class VXAboutWnd;
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

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    std::unique_ptr<Ui::VXAboutWnd> m_form;
};

} // namespace vx
