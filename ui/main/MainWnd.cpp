#include "ui/main/MainWnd.h"

#include "app/LogFile.h"
#include "platform/FileLock.h"
#include "platform/PowerRequest.h"
#include "platform/Process.h"
#include "space/SpaceController.h"
#include "ui/DesktopShell.h"
#include "ui/HintEditUI.h"
#include "ui/SpaceLinks.h"
#include "ui/VXMenuWnd.h"
#include "ui/VxMessageWnd.h"
#include "ui/VxSpaceInfoWnd.h"
#include "ui/VxSpaceMsgWnd.h"
#include "ui/lists/ConverDoneListUI.h"
#include "ui/lists/LCCheckBox.h"
#include "ui/lists/LCListView.h"
#include "ui/login/LoginWnd.h"
#include "ui/main/MainRequests.h"
#include "ui/main/MainSpaceModels.h"
#include "ui/settings/AutoShutDownWnd.h"
#include "ui/settings/SetDataWnd.h"
#include "ui/settings/StartSetWnd.h"
#include "ui/settings/VXAboutWnd.h"
#include "ui/space/UserSpaceView.h"
#include "ui_MainWnd.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QButtonGroup>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSessionManager>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace vx {

namespace {

const char* const kCourseHeaders[] = {"ProcessFileName", "lcsize", "lcstate"};
const char* const kDoneHeaders[] = {"doneFileName", "doneStatus", "doneSize",
                                    "duration",     "donebit",    "doneTime"};

// Names the sort headers of a list after the form's names, in column order.
template <size_t N> void NameHeaders(CRecordListView* list, const char* const (&names)[N])
{
    size_t i = 0;
    for (const ColumnSpec& c : list->Columns()) {
        if (c.sortColumn <= 0 || i >= N)
            continue;
        if (CLCCheckBox* h = list->Header(c.sortColumn))
            h->setObjectName(QString::fromLatin1(names[i]));
        ++i;
    }
}

// The three tabs are page tabs to assistive technology, named by their page (their text adds the
// count); the window itself is a frame.
class CPageTabAccessible : public QAccessibleWidget
{
public:
    explicit CPageTabAccessible(QAbstractButton* tab) : QAccessibleWidget(tab, QAccessible::PageTab) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Description)
            return Tab()->text();
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return Tab()->text();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.selected = Tab()->isChecked();
        return s;
    }
    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override
    {
        if (action == pressAction())
            Tab()->click();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QAbstractButton* Tab() const { return static_cast<QAbstractButton*>(widget()); }
};

QAccessibleInterface* MainWindowAccessible(const QString&, QObject* object)
{
    if (auto* tab = qobject_cast<QAbstractButton*>(object); tab && tab->property("pageTab").toBool())
        return new CPageTabAccessible(tab);
    if (auto* w = qobject_cast<CMainWnd*>(object))
        return new QAccessibleWidget(w, QAccessible::Window);
    return nullptr;
}

} // namespace

CMainWnd::CMainWnd(const Deps& d, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_config(d.config), m_db(d.db), m_loop(d.loop),
      m_pAccounts(d.accounts), m_form(std::make_unique<Ui::MainWnd>())
{
    static const bool accessibleInstalled = (QAccessible::installFactory(&MainWindowAccessible), true);
    Q_UNUSED(accessibleInstalled);
    m_form->setupUi(this);
    setProperty("windowClass", QString::fromLatin1(kClassName));
    setWindowTitle(QStringLiteral("Vexora"));
    setAcceptDrops(true);
    // The frameless window keeps a border of its own to be resized by (and the hover cursor
    // that shows it).
    m_form->mainLayout->setContentsMargins(kResizeBorder, kResizeBorder, kResizeBorder, kResizeBorder);
    setMouseTracking(true);
    m_target = m_loop.Register(this);

    m_pCourseProcessList = m_form->inprocessPageList;
    m_pConverDoneList = m_form->converDownlist;

    // The space page: its controller reads and changes the remote folders on its own worker.
    m_pApi = std::make_unique<CSpaceApi>(m_config);
    m_pSpace = std::make_unique<CSpaceController>(m_config, m_db, m_loop, nullptr);
    m_pSpaceView = new CUserSpaceView(*m_pSpace, &m_config.Language(), m_form->spacePage);
    m_form->spacePageLayout->addWidget(m_pSpaceView);
    connect(m_pSpaceView, &CUserSpaceView::AddFilesRequested, this,
            [this] { m_loop.PostMsg(m_target, WM_ADD_FILES); });
    connect(m_pSpaceView, &CUserSpaceView::SearchBannerChanged, this, &CMainWnd::OnSpaceSearchBanner);
    m_pSpaceModels = std::make_unique<CMainSpaceModels>(*m_pSpace);

    if (!d.power)
        m_ownPower = std::make_unique<CPowerInhibitor>();
    IPowerRequest& power = d.power ? *d.power : *m_ownPower;
    PipelineDeps deps{m_loop,
                      m_config,
                      m_db,
                      *m_pApi,
                      *m_pCourseProcessList->List(),
                      *m_pConverDoneList->List(),
                      *m_pSpaceModels,
                      *m_pSpaceModels,
                      *this,
                      power};
    PipelineTuning tuning = d.tuning;
    // The window works the queue of its database only while no other program does; it takes up
    // what the others add meanwhile.
    if (!tuning.queueLock) {
        tuning.queueLock = std::make_shared<CFileLock>(QueueLockPath(m_db.Path()));
        tuning.queueOwner = "VexoraV2 (pid " + std::to_string(CurrentProcessId()) + ")";
        tuning.waitForQueue = true;
    }
    if (tuning.pickUpMs <= 0)
        tuning.pickUpMs = kQueuePickUpMs;
    if (!tuning.checkSignOut)
        tuning.checkSignOut = [this](std::function<void(bool)> done) {
            m_pSpace->CheckSignOut(std::move(done));
        };
    m_pPipeline = std::make_unique<CCoursePipeline>(deps, tuning);
    m_pIntake = std::make_unique<CCourseIntake>(*m_pPipeline);
    m_pRequests = std::make_unique<CMainRequests>(m_config, m_loop);
    m_pListHost = std::make_unique<CLoopListHost>(m_loop, m_pPipeline->Target());
    ListContext ctx{&m_config, &m_db, m_pListHost.get()};
    m_pCourseProcessList->SetContext(ctx);
    m_pConverDoneList->SetContext(ctx);
    NameHeaders(m_pCourseProcessList, kCourseHeaders);
    NameHeaders(m_pConverDoneList, kDoneHeaders);

    BindControls();
    // The end of a batch is looked for when the lists change, and then every second until the
    // pipeline has stayed idle.
    m_pBatchCheck = new QTimer(this);
    m_pBatchCheck->setSingleShot(true);
    connect(m_pBatchCheck, &QTimer::timeout, this, &CMainWnd::CheckBatch);
    auto listChanged = [this] {
        if (!m_pBatchCheck->isActive())
            m_pBatchCheck->start(kBatchCheckMs / 2);
    };
    for (QAbstractItemModel* model : {static_cast<QAbstractItemModel*>(m_pCourseProcessList->List()),
                                      static_cast<QAbstractItemModel*>(m_pConverDoneList->List())}) {
        connect(model, &QAbstractItemModel::dataChanged, this, listChanged);
        connect(model, &QAbstractItemModel::rowsInserted, this, listChanged);
        connect(model, &QAbstractItemModel::rowsRemoved, this, listChanged);
        connect(model, &QAbstractItemModel::modelReset, this, listChanged);
    }
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { EndOfSession("the desktop session ends"); });
    m_trayAvailable =
        d.trayAvailable ? d.trayAvailable : [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    if (d.trayIcon) {
        m_pTray = new QSystemTrayIcon(QApplication::windowIcon(), this);
        m_pTray->setToolTip(QStringLiteral("Vexora"));
        connect(m_pTray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
            if (r == QSystemTrayIcon::DoubleClick)
                OnTrayNotify(0x0203);
            else if (r == QSystemTrayIcon::Context || r == QSystemTrayIcon::Trigger)
                OnTrayNotify(0x0205);
        });
        m_pTray->show();
    }
}

CMainWnd::~CMainWnd()
{
    m_loop.Unregister(m_target);
    CloseChildWindows();
    if (m_pLogin)
        delete m_pLogin.data();
    // The pipeline ends its workers while the lists and the space page it talks to still live;
    // the page goes before the controller it shows. No answer of the window's own requests is
    // applied once they are gone.
    m_pRequests.reset();
    m_pIntake.reset();
    m_pPipeline.reset();
    delete m_pSpaceView;
    m_pSpaceView = nullptr;
    m_pSpace.reset();
}

void CMainWnd::BindControls()
{
    Ui::MainWnd& f = *m_form;
    f.searchtext->setReadOnly(true);
    f.searchtext->setEnabled(false);

    // The tabs: one checked at a time; a click on the checked one shows its page again.
    m_pTabs = new QButtonGroup(this);
    m_pTabs->addButton(f.HandlingOp, 0);
    m_pTabs->addButton(f.ConvertedOp, 1);
    m_pTabs->addButton(f.UserSpaceOp, 2);
    connect(m_pTabs, &QButtonGroup::idClicked, this, &CMainWnd::SelectPage);
    f.UserSpaceOp->setChecked(true);
    f.switchoverTab->setCurrentIndex(2);

    // The course page's and the converted page's buttons; the counts follow what they did.
    CCoursePipeline& p = *m_pPipeline;
    auto courseAction = [this](QPushButton* button,
                               std::function<void(const std::vector<std::string>&)> act) {
        connect(button, &QPushButton::clicked, this, [this, act] {
            act(m_pCourseProcessList->List()->Checked());
            RefreshTabCounts();
        });
    };
    courseAction(f.lcdelBtn, [this, &p](const std::vector<std::string>& checked) {
        m_loop.PostMsg(p.Target(), WM_DELETE_ITEMS, 1, MakePayload(checked));
    });
    courseAction(f.uploadBtn, [&p](const std::vector<std::string>& checked) { p.CourseUpLoadFile(checked); });
    courseAction(f.pauseBtn, [&p](const std::vector<std::string>& checked) { p.PauseUpload(checked); });
    courseAction(f.stopTransBtn,
                 [&p](const std::vector<std::string>& checked) { p.CoursePauseConvertFile(checked); });
    courseAction(f.transAginBtn,
                 [&p](const std::vector<std::string>& checked) { p.CourseConvertFile(checked); });
    connect(f.doneDel, &QPushButton::clicked, this, [this, &p] {
        m_loop.PostMsg(p.Target(), WM_DELETE_ITEMS, 2, MakePayload(m_pConverDoneList->List()->Checked()));
        RefreshTabCounts();
    });
    connect(m_pCourseProcessList, &CRecordListView::SelectChanged, this, &CMainWnd::EnableCourseButtons);
    connect(m_pConverDoneList, &CRecordListView::SelectChanged, this,
            [this](int count, int) { m_form->doneDel->setEnabled(count > 0); });
    for (CRecordListView* list : {static_cast<CRecordListView*>(m_pCourseProcessList),
                                  static_cast<CRecordListView*>(m_pConverDoneList)})
        connect(list, &CRecordListView::MenuEntryChosen, this,
                [this, list](CVXMenuWnd::Entry entry) { OnListMenuEntry(list, entry); });

    // The caption.
    connect(f.closebtn, &QPushButton::clicked, this, &CMainWnd::OnCloseButton);
    connect(f.minbtn, &QPushButton::clicked, this, &QWidget::showMinimized);
    connect(f.maxbtn, &QPushButton::clicked, this, &QWidget::showMaximized);
    connect(f.restorebtn, &QPushButton::clicked, this, &QWidget::showNormal);
    f.restorebtn->hide();
    BindSettingsMenu();

    // The search boxes of the two list pages; Ctrl+F goes to the search box of the page shown.
    f.QuitProcesearchBtn->hide();
    f.QuitdoneSearchBtn->hide();
    f.searchErrTab->hide();
    f.ProceSearchEdit->SetHintText(QStringLiteral("搜索课件"));
    f.doneSearchEdit->SetHintText(QStringLiteral("搜索课件"));
    f.QuitProcesearchBtn->setText(QStringLiteral("✕"));
    f.QuitdoneSearchBtn->setText(QStringLiteral("✕"));
    f.logo->setPixmap(QIcon(QStringLiteral(":/icons/vexora_32.png")).pixmap(28, 28));
    for (QWidget* page : {f.searchErrPage0, f.searchErrPage1, f.searchErrPage2})
        if (auto* column = qobject_cast<QVBoxLayout*>(page->layout()))
            column->addStretch(1);
    m_pSpaceView->SearchEdit()->installEventFilter(this);
    SetSearchFocusLook(m_pSpaceView->SearchEdit(), false);
    const struct
    {
        CHintEditUI* edit;
        QPushButton* search;
        QPushButton* quit;
        int page;
    } searches[] = {{f.ProceSearchEdit, f.ProcesearchBtn, f.QuitProcesearchBtn, kSearchCourse},
                    {f.doneSearchEdit, f.doneSearchBtn, f.QuitdoneSearchBtn, kSearchDone}};
    for (const auto& s : searches) {
        SetSearchFocusLook(s.edit, false);
        s.edit->installEventFilter(this);
        const int page = s.page;
        connect(s.edit, &QLineEdit::returnPressed, this, [this, page] { SearchUi(true, page, false); });
        connect(s.edit, &QLineEdit::textChanged, this, [this, page](const QString& text) {
            if (text.isEmpty())
                SearchUi(false, page, false);
        });
        connect(s.search, &QPushButton::clicked, this, [this, page] { SearchUi(true, page, false); });
        connect(s.quit, &QPushButton::clicked, this, [this, page] { SearchUi(false, page, true); });
    }
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        const int page = m_form->switchoverTab->currentIndex();
        if (page == 2) {
            m_pSpaceView->FocusSearch();
            return;
        }
        CHintEditUI* edit = page == 0 ? m_form->ProceSearchEdit : m_form->doneSearchEdit;
        edit->setFocus(Qt::ShortcutFocusReason);
        edit->selectAll();
    });
    // Inside the space page its own Ctrl+F answers; two would cancel each other out.
    connect(qApp, &QApplication::focusChanged, find,
            [find, space = QPointer<CUserSpaceView>(m_pSpaceView)](QWidget*, QWidget* now) {
                find->setEnabled(!(space && space->isAncestorOf(now)));
            });
    f.CaptionBar->installEventFilter(this);
    RefreshTabCounts();
    EnableCourseButtons(0, 0);
    f.doneDel->setEnabled(false);
}

void CMainWnd::BindSettingsMenu()
{
    // The caption's settings button: its menu's entries in the order of WM_WINDOW_COMMAND. A
    // chosen entry goes through the loop, so the menu has closed before a window opens.
    QToolButton* button = m_form->SetComBox;
    auto* menu = new QMenu(button);
    menu->setObjectName(QStringLiteral("SetMenu"));
    const struct
    {
        const char* name;
        const char* text;
    } entries[] = {{"settingsAction", "设置"},
                   {"aboutAction", "关于"},
                   {"signOutAction", "退出登录"},
                   {"exitAction", "退出"}};
    int command = 0;
    for (const auto& entry : entries) {
        QAction* action = menu->addAction(QString::fromUtf8(entry.text));
        action->setObjectName(QString::fromLatin1(entry.name));
        connect(action, &QAction::triggered, this, [this, command] { PostWindowCommand(command); });
        ++command;
    }
    button->setMenu(menu);
    // Tab reaches the button; Enter, Space and Down open its menu.
    button->installEventFilter(this);
}

void CMainWnd::PostWindowCommand(int command)
{
    m_loop.PostMsg(m_target, WM_WINDOW_COMMAND, static_cast<uint64_t>(command));
}

QString CMainWnd::Text(int number) const
{
    QString text = QString::fromStdString(m_config.GetText(number));
    if (!text.isEmpty())
        return text;
    // Without the language file the tabs still say what they are.
    switch (number) {
    case 2058:
        return QStringLiteral("正在处理");
    case 2059:
        return QStringLiteral("已转换");
    case 2060:
        return QStringLiteral("课程空间");
    case 2061:
        return QStringLiteral("添加文件");
    default:
        return text;
    }
}

bool CMainWnd::HasSession() const
{
    return m_config.m_i64UserId > 0 && !m_config.m_strCookie.empty();
}

void CMainWnd::RefreshTabCounts()
{
    auto label = [this](int text, size_t count) {
        return count == 0 ? Text(text)
                          : QString::asprintf("%s(%d)", Text(text).toUtf8().constData(), int(count));
    };
    m_form->HandlingOp->setText(label(2058, m_pCourseProcessList->List()->Count()));
    m_form->ConvertedOp->setText(label(2059, m_pConverDoneList->List()->Count()));
    m_form->UserSpaceOp->setText(Text(2060));
    // Found by the page's name, whatever the count.
    m_form->HandlingOp->setAccessibleName(Text(2058));
    m_form->ConvertedOp->setAccessibleName(Text(2059));
    m_form->UserSpaceOp->setAccessibleName(Text(2060));
}

void CMainWnd::EnableCourseButtons(int checked, int status)
{
    Ui::MainWnd& f = *m_form;
    f.lcdelBtn->setEnabled(checked > 0);
    const bool one = checked == 1;
    f.stopTransBtn->setEnabled(one && (status == 5 || status == 6));
    f.transAginBtn->setEnabled(one && (status == 4 || status == 7));
    f.uploadBtn->setEnabled(one && (status == 10 || status == 11 || status == 14));
    f.pauseBtn->setEnabled(one && (status == 12 || status == 13));
}

void CMainWnd::SelectPage(int page)
{
    m_form->switchoverTab->setCurrentIndex(page);
    if (QAbstractButton* tab = m_pTabs->button(page))
        tab->setChecked(true);
    m_form->searchErrTab->hide();
    ShowSpaceInfoWindow();
}

void CMainWnd::OnListMenuEntry(CRecordListView* list, CVXMenuWnd::Entry entry)
{
    const std::string index = list->MenuFileIndex();
    const _sLCItemData* r = list == m_pCourseProcessList
                                ? m_pCourseProcessList->List()->Find(index)
                                : static_cast<_sLCItemData*>(m_pConverDoneList->List()->Find(index));
    if (!r)
        return;
    const QString source = QString::fromStdString(r->strFilePath);
    const QString converted = QString::fromStdString(r->strConvertPath);
    const QString outFolder = QString::fromStdString(m_config.m_setData.strConvertPath);
    if (entry == CVXMenuWnd::OpenDirectory) {
        QFileInfo(source).exists() ? (void)Desktop().RevealFile(source)
                                   : (void)Desktop().RevealFile(outFolder);
    } else if (entry == CVXMenuWnd::OpenConvertedFile) {
        QFileInfo(converted).exists() ? (void)Desktop().RevealFile(converted)
                                      : (void)Desktop().RevealFile(outFolder);
    } else if (entry == CVXMenuWnd::CourseFilePath) {
        if (QFileInfo(source).exists())
            Desktop().RevealFile(source);
        else
            Log(g_log, "%s ,file is not exist ~", r->strFilePath.c_str());
    } else if (entry == CVXMenuWnd::CourseDetail) {
        m_loop.PostMsg(m_target, WM_COURSE_DETAIL, 0, MakePayload(index));
    }
}

void CMainWnd::OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload)
{
    switch (id) {
    case WM_FILESERVER_LIST: // the login was granted
        ShowNormal();
        raise();
        activateWindow();
        m_pPipeline->OnFileServerList(); // SessionStarted follows once the records are listed
        break;
    case WM_USER_INFO:
        OnUserInfo();
        break;
    case WM_CLOSE:
        if (!HasSession() || m_pPipeline->OnClose())
            Quit();
        break;
    case WM_WINDOW_COMMAND:
        OnWindowCommand(static_cast<int>(wParam));
        break;
    case WM_SEARCH:
        OnSearchMessage(static_cast<int>(wParam));
        break;
    case WM_ADD_FILES:
        ShowAddFileDialog();
        break;
    case WM_COURSE_DETAIL:
        if (auto* index = PayloadAs<std::string>(payload))
            OnCourseDetail(*index);
        break;
    case WM_TRAY_NOTIFY:
        OnTrayNotify(static_cast<int>(wParam));
        break;
    case WM_ACCOUNT_CHECK_OUT:
        SignOut(true);
        break;
    default:
        break;
    }
}

void CMainWnd::OnUserInfo()
{
    Ui::MainWnd& f = *m_form;
    const QString user = QString::fromStdString(m_config.m_strScreenName.empty() ? m_config.m_strAccountName
                                                                                 : m_config.m_strScreenName);
    const QString org = QString::fromStdString(m_config.m_strOrgName);
    f.username->setText(QStringLiteral("Vexora | %1").arg(user));
    f.username->setToolTip(user);
    f.orgname->setText(QStringLiteral("机构名称：%1").arg(org));
    f.orgname->setToolTip(org);
    for (QLabel* l : {f.username, f.orgname})
        l->setMaximumWidth(std::min(300, l->fontMetrics().horizontalAdvance(l->text()) + 4));
    SelectPage(2);

    if (!m_pSpaceInfo) {
        m_pSpaceInfo = new CVxSpaceInfoWnd(this, SpaceLinks::FromConfig(m_config));
        m_pSpaceInfo->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    }
    ShowSpace(m_pPipeline->Quota());
    RefreshSpaceInfo();

    const bool courseSorted = m_pCourseProcessList->RestoreSort();
    if (!courseSorted)
        EnableCourseButtons(0, 0);
    if (!m_pConverDoneList->RestoreSort())
        f.doneDel->setEnabled(false);
    f.searchtext->setReadOnly(false);
    f.searchtext->setEnabled(true);
    // The keyboard starts on the tab of the page shown.
    if (QAbstractButton* tab = m_pTabs->checkedButton())
        tab->setFocus(Qt::OtherFocusReason);
    m_pSpace->LoadTree(0);
    RefreshTabCounts();
    ShowSpaceInfoWindow();
}

void CMainWnd::OnWindowCommand(int index)
{
    switch (index) {
    case 0:
        if (m_pSetData) {
            m_pSetData->show();
            m_pSetData->raise();
        } else {
            auto* w = new CSetDataWnd(this, m_pPipeline->Target(), m_config, m_db, m_loop);
            w->setAttribute(Qt::WA_DeleteOnClose);
            w->CenterOverOwner();
            w->show();
            m_pSetData = w;
        }
        break;
    case 1:
        if (m_pAbout) {
            m_pAbout->show();
            m_pAbout->raise();
        } else {
            auto* w = new CVXAboutWnd(this);
            w->setAttribute(Qt::WA_DeleteOnClose);
            w->CenterOverOwner();
            w->show();
            m_pAbout = w;
        }
        break;
    case 2:
        SignOut(false);
        break;
    case 3:
        m_loop.PostMsg(m_target, WM_CLOSE);
        break;
    default:
        break;
    }
}

void CMainWnd::CloseChildWindows()
{
    // The start-up settings refuse to close until a size is set; the session they were asked
    // for has ended, so they go without the check (and without going on with it).
    if (auto* start = qobject_cast<CStartSetWnd*>(m_pStartSet.data()))
        start->Dismiss();
    for (QWidget* w : {m_pSetData.data(), m_pDetail.data(), m_pShutdown.data(), m_pAbout.data(),
                       static_cast<QWidget*>(m_pSpaceInfo.data())})
        if (w)
            w->close();
    if (m_pSpaceInfo)
        m_pSpaceInfo->deleteLater();
    m_pSpaceInfo = nullptr;
}

void CMainWnd::OpenLogin(bool startup)
{
    if (m_pLogin) {
        m_pLogin->show();
        m_pLogin->raise();
        return;
    }
    auto* w = new CLoginWnd(nullptr, m_target, m_config, m_pAccounts, startup, m_loop);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setProperty("windowClass", QString::fromLatin1(CLoginWnd::kClassName));
    w->CenterOverOwner();
    w->show();
    w->raise();
    w->activateWindow();
    m_pLogin = w;
    LogText(g_log, "Info : login window shown");
}

bool CMainWnd::RaiseForSecondInstance()
{
    if (m_pLogin && m_pLogin->isVisible()) {
        m_pLogin->raise();
        m_pLogin->activateWindow();
        return true;
    }
    if (HasSession()) {
        ShowNormal();
        raise();
        activateWindow();
        return true;
    }
    return false;
}

} // namespace vx
