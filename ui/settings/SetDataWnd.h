#pragma once
// The settings window: three pages (general; conversion and files; upload) chosen by the tab
// options on the left (arrows or Tab and Space). A page is filled when it is first shown and only shown pages
// are read back on OK; the main window learns which groups changed (3036). A refused value or a failed save
// is shown and the window stays open with the user's values.

#include "account/SetDataEditor.h"
#include "platform/MessageLoop.h"
#include "ui/VxDialog.h"
#include "ui/settings/SetDataControls.h"

#include <functional>
#include <memory>

namespace Ui {
class SetDataWnd;
}

namespace vx {

class CSetDataWnd : public CVxDialog
{
    Q_OBJECT

public:
    static constexpr const char* kClassName = "__VEXORA_SETDATA_WND_";
    using FolderPicker = std::function<QString(QWidget* owner, const QString& title, const QString& start)>;

    CSetDataWnd(QWidget* owner, MsgTarget mainTarget, CAppConfig& config, CLocalDb& db,
                CMessageLoop& loop = CMessageLoop::Main());
    ~CSetDataWnd() override;

    // The folder browser (tests give their own; the default is the desktop's folder dialog).
    void SetFolderPicker(FolderPicker picker) { m_picker = std::move(picker); }
    int CurrentPage() const;
    int LoadedPages() const { return m_editor.LoadedPages(); }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private slots:
    void Save();
    void Browse();
    void OpenFolder();

private:
    void ShowPage(int index);
    void OnSharedSelect(CSetDataControls::Shared which, int sizeIndex, bool on);
    void ShowRefusal(const SetDataCommit& r);

    std::unique_ptr<Ui::SetDataWnd> m_form;
    MsgTarget m_mainTarget;
    CAppConfig& m_config;
    CLocalDb& m_db;
    CMessageLoop& m_loop;
    CSetDataEditor m_editor;
    CSetDataControls m_controls;
    SetDataForm m_values;
    FolderPicker m_picker;
    bool m_bShowing = false;
};

} // namespace vx
