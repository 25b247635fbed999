#pragma once
// The main window: three pages (course files on their way, converted files, the remote space),
// a caption with the user's and organisation's names and the settings combo, a search box per
// page and a tray icon. The window hosts the two course lists and the space page and drives
// the course pipeline: it implements the pipeline's user interface here and its folder-tree and
// space-list models over the space page (CMainSpaceModels). Its controls' signals are connected
// in BindControls; its messages on the program's loop (login granted, user info, window
// commands, searches, course details, sign-out) are handled in OnMessage. The tabs are page tabs
// to assistive technology and the window a frame; Ctrl+F goes to the shown page's search box.
//
// Closing normally only hides the window; the program ends through "exit", or the close button
// when the options say so, and always passes through the pipeline's OnClose.

#include "account/AccountMessages.h"
#include "account/AccountStore.h"
#include "app/AppConfig.h"
#include "net/SpaceApi.h"
#include "pipeline/CourseIntake.h"
#include "pipeline/CoursePipeline.h"
#include "platform/MessageLoop.h"
#include "store/LocalDb.h"
#include "ui/VXMenuWnd.h"
#include "ui/VxSpaceInfoWnd.h"
#include "ui/login/LoginWnd.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <set>
#include <string>

namespace Ui {
class MainWnd;
}
class QSystemTrayIcon;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QMouseEvent;
class QTimer;

namespace vx {

class CLCListView;
class CRecordListView;
class CConverDoneListUI;
class CLoginWnd;
class CLoopListHost;
class CMainRequests;
class CMainSpaceModels;
class CSpaceController;
class CUserSpaceView;
class CVXMenuWnd;
class CVxSpaceInfoWnd;
class CHintEditUI;

// The window's own messages (WM_USER + 2008 … 2018).
constexpr uint32_t WM_WINDOW_COMMAND = WM_USER + 2008; // 3032: 0 settings, 1 about, 2 sign out, 3 exit
constexpr uint32_t WM_TRAY_NOTIFY = WM_USER + 2010;    // 3034
constexpr uint32_t WM_COURSE_DETAIL = WM_USER + 2017;  // 3041: payload the file index
constexpr uint32_t WM_SEARCH = WM_USER + 2018;         // 3042: wParam the page (1, 2, 3)

class CMainWnd : public QWidget, public IMsgHandler, public IPipelineUi
{
    Q_OBJECT

public:
    static constexpr const char* kClassName = "_VexoraV2MainWnd_";
    // Search pages of m_nSearchPage and WM_SEARCH.
    enum
    {
        kSearchNone,
        kSearchCourse,
        kSearchDone,
        kSearchSpace
    };

    // What the window needs beyond the process's singletons; tests give their own.
    struct Deps
    {
        CAppConfig& config;
        CLocalDb& db;
        CMessageLoop& loop;
        CAccountStore* accounts = nullptr; // remembered accounts of the login window
        IPowerRequest* power = nullptr;    // null: the system's inhibitor
        PipelineTuning tuning;
        bool trayIcon = true;
        // Whether the desktop shows tray icons now (a panel may come and go); empty: ask Qt.
        std::function<bool()> trayAvailable;
    };
    explicit CMainWnd(const Deps& deps, QWidget* parent = nullptr);
    ~CMainWnd() override;

    MsgTarget Target() const { return m_target; }
    CCoursePipeline& Pipeline() { return *m_pPipeline; }
    CCourseIntake& Intake() { return *m_pIntake; }
    CSpaceController& Space() { return *m_pSpace; }
    CUserSpaceView* SpaceView() const { return m_pSpaceView; }
    CLCListView* CourseList() const { return m_pCourseProcessList; }
    CConverDoneListUI* DoneList() const { return m_pConverDoneList; }
    QSystemTrayIcon* Tray() const { return m_pTray; }
    CLoginWnd* Login() const { return m_pLogin; }
    CVxSpaceInfoWnd* SpaceInfo() const { return m_pSpaceInfo; }
    int SearchPage() const { return m_nSearchPage; }
    bool HasSession() const;

    // Start-up and sign-out: the login window over the hidden main window.
    void OpenLogin(bool startup);
    // Brings the login window (when open) or the main window (during a session) to the front;
    // false when neither is there to show.
    bool RaiseForSecondInstance();

    void OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload) override;

    // IPipelineUi
    int MessageBox(const std::string& text, int type) override;
    void SpaceWarning(int64_t spaceLeft, const std::string& title) override;
    void RevealFile(const std::string& path) override;
    void DropSkipped(const std::vector<std::pair<std::string, std::string>>& entries) override;
    void OfferShutdown() override;
    void CountsChanged() override { RefreshTabCounts(); }
    void SignedOut() override;
    void SessionStarted() override;
    // The start-up settings window, window-modal over this one; done once it is closed.
    void AskStartSettings(std::function<void()> done) override;

    // The end of the desktop session (SIGTERM, the session manager's request to save): the
    // orderly close of "exit", without the question about running conversions, so records are
    // written back and encoders ended within the few seconds the session manager allows.
    void EndOfSession(const std::string& why);

    // Helpers of the window, public for its tests.
    void RefreshTabCounts();
    void EnableCourseButtons(int checked, int status);
    void SearchUi(bool start, int page, bool clear);
    void ShowSearchBanner(const QString& key, bool found);
    void ShowSpaceInfoWindow();
    void CloseChildWindows();
    void SignOut(bool kicked);
    // "closebtn": hides (the first time storing option bit 0x100) or, with bit 0x04, closes.
    void OnCloseButton();
    // The tray's notifications (double click, right-button release), as the system sends them.
    void OnTrayNotify(int event);
    // Whether a point of the window (its coordinates) drags the window.
    bool IsCaptionPoint(const QPoint& pos) const;
    // Adds files as the add-file dialog or a drop does (the drop's folder trees included). The
    // checks run now; the free space and a dropped tree's folders are asked of the server off
    // this thread, and the records appear when the answer is applied here, in the order of the
    // additions.
    void AddFiles(const QStringList& paths);
    void DropPaths(const QStringList& paths);
    // Whether an addition still waits for the server.
    bool IsAddingFiles() const;
    // Reads the space figures again (off this thread) and shows them in the information window.
    void RefreshSpaceInfo();
    // The add-file dialog; tests replace it.
    using FilePicker = std::function<QStringList(QWidget* owner)>;
    void SetFilePicker(FilePicker picker) { m_picker = std::move(picker); }
    // Message boxes shown through the pipeline; tests answer them.
    using BoxHook = std::function<int(const QString& text, int type)>;
    void SetMessageBoxHook(BoxHook hook) { m_boxHook = std::move(hook); }
    // Called instead of quitting the application when the window ends the program.
    void SetQuitHook(std::function<void()> hook) { m_quit = std::move(hook); }
    // Desktop notifications (the tray icon's messages); tests record them.
    using NotifyHook = std::function<void(const QString& title, const QString& text)>;
    void SetNotifyHook(NotifyHook hook) { m_notifyHook = std::move(hook); }
    // A tray icon the desktop shows: the window can hide and come back from there.
    bool HasTray() const;
    // The open start-up settings window (null when none).
    QWidget* StartSettings() const { return m_pStartSet; }

    // The frameless window's resize border: a press within it resizes the window by the edges
    // it touches (none while maximised).
    static constexpr int kResizeBorder = 4;
    Qt::Edges ResizeEdgesAt(const QPoint& pos) const;
    // The add-file dialog's filters.
    static QStringList FileFilters();

protected:
    void closeEvent(QCloseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void BindControls();
    void BindSettingsMenu();
    void PostWindowCommand(int command);
    void OnUserInfo();
    void OnWindowCommand(int index);
    void OnSearchMessage(int page);
    void OnCourseDetail(const std::string& fileIndex);
    // An entry of a list's context menu for the row the menu was opened on.
    void OnListMenuEntry(CRecordListView* list, CVXMenuWnd::Entry entry);
    void SelectPage(int page);
    void ShowNormal();
    void ShowAddFileDialog();
    void QueueAddition(std::function<bool(IntakeJob*)> begin);
    // The steps of an answered addition, one per turn of the loop, and what follows the last.
    void ContinueAddition();
    void AdditionDone();
    void ShowSpace(const SpaceQuota& q);
    void Quit();
    void UpdateMaxButtons();
    void SetSearchFocusLook(QLineEdit* edit, bool focused);
    void OnSpaceSearchBanner(const QString& key);
    QRect SearchBannerRect() const;
    // Without a tray to come back from, the close button minimises instead of hiding.
    void HideOrMinimize();
    // What an addition could not do beyond the rules the user knows (an unreadable folder, the
    // database refusing the records): shown once it is finished.
    void ReportIntakeFailures();
    // A batch is the work between the pipeline's being busy and its falling idle; its end is
    // announced on the desktop while the window is hidden.
    void CheckBatch();
    void AnnounceBatchEnd();
    // A press on the resize border starts resizing (true); the moves follow it.
    bool StartResize(QMouseEvent* e);
    bool FollowResize(QMouseEvent* e);
    QString Text(int number) const;
    CHintEditUI* SearchEdit(int page) const;

    CAppConfig& m_config;
    CLocalDb& m_db;
    CMessageLoop& m_loop;
    CAccountStore* m_pAccounts;
    std::unique_ptr<IPowerRequest> m_ownPower;
    std::unique_ptr<Ui::MainWnd> m_form;
    MsgTarget m_target = 0;

    CLCListView* m_pCourseProcessList = nullptr;
    CConverDoneListUI* m_pConverDoneList = nullptr;
    CUserSpaceView* m_pSpaceView = nullptr;
    QButtonGroup* m_pTabs = nullptr;
    QSystemTrayIcon* m_pTray = nullptr;

    std::unique_ptr<CSpaceApi> m_pApi;
    std::unique_ptr<CSpaceController> m_pSpace;
    std::unique_ptr<CMainSpaceModels> m_pSpaceModels;
    std::unique_ptr<CLoopListHost> m_pListHost;
    std::unique_ptr<CCoursePipeline> m_pPipeline;
    std::unique_ptr<CCourseIntake> m_pIntake;
    std::unique_ptr<CMainRequests> m_pRequests;

    QPointer<CLoginWnd> m_pLogin;
    QPointer<CVxSpaceInfoWnd> m_pSpaceInfo;
    QPointer<CVXMenuWnd> m_pMenu;
    QPointer<QWidget> m_pSetData, m_pAbout, m_pDetail, m_pStartSet, m_pShutdown;
    int m_nSearchPage = kSearchNone;
    bool m_bDragging = false;
    QPoint m_dragOffset;
    bool m_bQuitting = false;
    FilePicker m_picker;
    BoxHook m_boxHook;
    NotifyHook m_notifyHook;
    std::function<bool()> m_trayAvailable;
    std::function<void()> m_quit;
    struct Batch
    {
        bool bActive = false;
        int nIdleChecks = 0;                // looks in a row that found nothing in flight
        size_t uploadedBefore = 0;          // uploaded records when it began
        std::set<std::string> failedBefore; // records already failed when it began
    } m_batch;
    static constexpr int kBatchCheckMs = 1000;
    static constexpr int kBatchIdleChecks = 3;
    QTimer* m_pBatchCheck = nullptr;
    Qt::Edges m_resizeEdges; // resizing by these edges without the window manager
    QPoint m_resizeStart;
    QRect m_resizeGeometry;
};

} // namespace vx
