#pragma once
// The start-up settings window, shown modally after a login until the user has completed it
// once: the conversion and upload options on one scrolling page. It can only be left once
// videos of unknown size have a size; until then the error labels show and the page scrolls
// to the size controls.

#include "account/StartSetEditor.h"
#include "ui/VxDialog.h"
#include "ui/settings/SetDataControls.h"

#include <memory>

namespace Ui {
class StartSetWnd;
}

namespace vx {

class CStartSetWnd : public CVxDialog
{
    Q_OBJECT

public:
    static constexpr const char* kClassName = "StartSetWnd";

    CStartSetWnd(QWidget* owner, CAppConfig& config, CLocalDb& db);
    ~CStartSetWnd() override;

    bool SizeErrorShown() const;
    // Goes without the completion check and without telling anyone (the session it was shown
    // for has ended).
    void Dismiss();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void reject() override; // Escape, and the window's close
    void closeEvent(QCloseEvent* e) override;

private slots:
    void OnOk();
    void TryClose();

private:
    void Apply(const StartSetResult& r);
    void OnSharedSelect(CSetDataControls::Shared which, int sizeIndex, bool on);

    std::unique_ptr<Ui::StartSetWnd> m_form;
    CAppConfig& m_config;
    CLocalDb& m_db;
    CStartSetEditor m_editor;
    CSetDataControls m_controls;
    SetDataForm m_values;
    bool m_bShowing = false;
    bool m_bDone = false;
};

} // namespace vx
