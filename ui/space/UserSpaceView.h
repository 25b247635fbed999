#pragma once
// Page 2 of the main window: the user's and the organisation's remote space — folder tree,
// address bar, content list, the page's buttons, counts and search. The form
// (UserSpaceView.ui) names the controls; their signals are wired to the controller in Wire.
// The logic is CSpaceController's: this page shows its models and forwards the user's events,
// and the controller calls back through ISpaceView. By keyboard: arrows, Enter (open a folder),
// Delete, F2 (rename), Ctrl+A, the context-menu key or Shift+F10 in the tree and the list, and
// Ctrl+F (search) anywhere on the page.

#include "space/SpaceController.h"
#include "ui/VXMenuWnd.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class QAbstractItemView;
class QFrame;
class QLineEdit;
class QPushButton;

namespace Ui {
class UserSpaceView;
}

namespace vx {

class CLanguageTable;
class CSpaceDrag;
class CSpaceListModel;
class CSpaceTreeModel;
class CVXDirAddressUI;
class CVXDirListUI;
class CVXDirTreeUI;

class CUserSpaceView : public QWidget, public ISpaceView
{
    Q_OBJECT

public:
    // texts may be null (built-in texts are used).
    CUserSpaceView(CSpaceController& controller, const CLanguageTable* texts, QWidget* parent = nullptr);
    ~CUserSpaceView() override;

    CVXDirTreeUI* Tree() const { return m_pTree; }
    CVXDirListUI* List() const { return m_pList; }
    CVXDirAddressUI* Address() const { return m_pAddress; }
    CSpaceDrag* Drag() const { return m_pDrag; }
    // The pop-up menu while it is open.
    CVXMenuWnd* PopupMenu() const { return m_pMenu; }
    // The last text shown to the user (message boxes are modeless and may be gone).
    const QString& LastMessage() const { return m_strLastMessage; }
    // The search box and its frame (the window gives them its focus look).
    QLineEdit* SearchEdit() const;
    QFrame* SearchBorder() const;
    QPushButton* SearchButton() const;
    // Sign-out: the next user finds the box empty.
    void ClearSearchText();
    // Ctrl+F: the search box takes the focus with its text selected.
    void FocusSearch();

    // ISpaceView
    void ShowMessage(const std::string& text) override;
    bool Confirm(const std::string& text) override;
    void SpaceChanged(unsigned changes) override;
    void BeginRename(const SpaceItemRef& item) override;
    void SetBusy(bool busy) override;

signals:
    // "AddFileBtn" clicked: the window opens its add-file dialog.
    void AddFilesRequested();
    // The search found nothing: key is what was searched; empty when the banner goes.
    void SearchBannerChanged(const QString& key);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void ApplyPending();
    void ApplyButtons();
    void Wire();
    void OpenMenu(QAbstractItemView* owner, const SpaceItemRef& item, bool onItem);
    static QPoint MenuPos(QAbstractItemView* view);
    void OnMenuEntry(CVXMenuWnd::Entry entry, const SpaceItemRef& item, bool onItem);
    void StartEdit(const SpaceItemRef& item);
    void StartSearch();
    SpaceItemRef ListRef(int row) const;
    QString Text(int number, const char* fallback) const;

    CSpaceController& m_controller;
    const CLanguageTable* m_pTexts;
    std::unique_ptr<Ui::UserSpaceView> m_form;
    CVXDirTreeUI* m_pTree = nullptr;
    CVXDirListUI* m_pList = nullptr;
    CVXDirAddressUI* m_pAddress = nullptr;
    CSpaceTreeModel* m_pTreeModel = nullptr;
    CSpaceListModel* m_pListModel = nullptr;
    CSpaceDrag* m_pDrag = nullptr;

    unsigned m_uPending = 0;
    bool m_bApplyQueued = false;
    QPointer<CVXMenuWnd> m_pMenu;
    QString m_strLastMessage;
    QString m_strBanner;
    int m_nTreeWidth = 300; // the tree's width when the page is wide enough
    bool m_bSizing = false;
};

} // namespace vx
