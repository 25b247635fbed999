#include "ui/main/MainWnd.h"

#include "app/LogFile.h"
#include "platform/FileLock.h"
#include "platform/PowerRequest.h"
#include "platform/Process.h"
#include "space/SpaceController.h"
#include "ui/DesktopShell.h"
#include "ui/FormContract.h"
#include "ui/HintEditUI.h"
#include "ui/SpaceLinks.h"
#include "ui/VXMenuWnd.h"
#include "ui/VXOptionEx.h"
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

#include <QApplication>
#include <QButtonGroup>
#include <QFileInfo>
#include <QMenu>
#include <QScreen>
#include <QSessionManager>
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

} // namespace

QStringList CMainWnd::RequiredControls()
{
    return {"switchoverTab",
            "HandlingOp",
            "ConvertedOp",
            "UserSpaceOp",
            "AddFileBtn",
            "inprocessPageList",
            "converDownlist",
            "SpaceDirTree",
            "SpaceDirList",
            "vxSpaceAddress",
            "SpaceDirView",
            "UserSpaceView",
            "lcdelBtn",
            "uploadBtn",
            "pauseBtn",
            "stopTransBtn",
            "transAginBtn",
            "doneDel",
            "SpaceCreatedirbtn",
            "padCreatedirbtn",
            "SpaceRenamebtn",
            "padrename",
            "SpaceRefreshbtn",
            "backtoPrebtn",
            "ProcessFileName",
            "lcsize",
            "lcstate",
            "doneFileName",
            "doneStatus",
            "doneSize",
            "duration",
            "donebit",
            "doneTime",
            "SpaceFileNametbn",
            "SpaceUpTimebtn",
            "SpaceFilezidebtn",
            "ProceSearchEdit",
            "ProcesSearchBorder",
            "ProcesearchBtn",
            "QuitProcesearchBtn",
            "ProcesearchKey",
            "doneSearchEdit",
            "doneSearchBorder",
            "doneSearchBtn",
            "QuitdoneSearchBtn",
            "DonesearchKey",
            "SpaceSearchtext",
            "SpaceSearchbtn",
            "QuitSpaceSearchbtn",
            "SpacesearchKey",
            "searchErrTab",
            "searchtext",
            "spaceCourseInfo",
            "username",
            "orgname",
            "CaptionBar",
            "minbtn",
            "maxbtn",
            "restorebtn",
            "closebtn"};
}

CMainWnd::CMainWnd(const Deps& d, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_config(d.config), m_db(d.db), m_loop(d.loop),
      m_pAccounts(d.accounts), m_form(std::make_unique<Ui::MainWnd>())
{
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
    m_missing = MissingControls(this, RequiredControls());
    for (const QString& name : m_missing)
        Log(g_log, "Error : MainWnd lacks the control %s", name.toUtf8().constData());

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
    ConnectButtonClicks(this);
    f.searchtext->setReadOnly(true);
    f.searchtext->setEnabled(false);
    f.HandlingOp->SetGroup(QStringLiteral("mainTabs"));
    f.ConvertedOp->SetGroup(QStringLiteral("mainTabs"));
    f.UserSpaceOp->SetGroup(QStringLiteral("mainTabs"));
    for (CVXOptionEx* tab : {f.HandlingOp, f.ConvertedOp, f.UserSpaceOp}) {
        tab->SetAttribute(QStringLiteral("textcolor"), QStringLiteral("#FF444444"));
        tab->SetAttribute(QStringLiteral("seltextcolor"), QStringLiteral("#FFFFFFFF"));
        tab->SetAttribute(QStringLiteral("selectbkcolor"), QStringLiteral("#FF328CDF"));
        tab->SetAttribute(QStringLiteral("bkcolor"), QStringLiteral("#FFE4EEF8"));
        tab->SetAttribute(QStringLiteral("align"), QStringLiteral("center"));
    }
    f.UserSpaceOp->SetInitialCheck(true);
    f.switchoverTab->setCurrentIndex(2);
    f.restorebtn->hide();
    f.QuitProcesearchBtn->hide();
    f.QuitdoneSearchBtn->hide();
    f.searchErrTab->hide();
    f.ProceSearchEdit->SetHintText(QStringLiteral("搜索课件"));
    f.doneSearchEdit->SetHintText(QStringLiteral("搜索课件"));
    f.ProcesearchBtn->setIcon(QIcon(QStringLiteral(":/icons/search.svg")));
    f.doneSearchBtn->setIcon(QIcon(QStringLiteral(":/icons/search.svg")));
    f.QuitProcesearchBtn->setText(QStringLiteral("✕"));
    f.QuitdoneSearchBtn->setText(QStringLiteral("✕"));
    f.logo->setPixmap(QIcon(QStringLiteral(":/icons/vexora_32.png")).pixmap(28, 28));
    BindSettingsMenu();
    // The no-result banners: white over the list, the key first, then what it means.
    f.searchErrTab->setAutoFillBackground(true);
    QPalette bannerPalette = f.searchErrTab->palette();
    bannerPalette.setColor(QPalette::Window, Qt::white);
    f.searchErrTab->setPalette(bannerPalette);
    for (QWidget* page : {f.searchErrPage0, f.searchErrPage1, f.searchErrPage2})
        if (auto* column = qobject_cast<QVBoxLayout*>(page->layout()))
            column->addStretch(1);
    for (QLabel* key : {f.ProcesearchKey, f.DonesearchKey, f.SpacesearchKey})
        key->setStyleSheet(QStringLiteral("color: #CC3333; font-weight: bold;"));
    m_pSpaceView->SearchEdit()->installEventFilter(this);
    SetSearchFocusLook(m_pSpaceView->SearchEdit(), false);
    for (CHintEditUI* edit : {f.ProceSearchEdit, f.doneSearchEdit}) {
        SetSearchFocusLook(edit, false);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::returnPressed, this,
                [this, edit] { SearchUi(true, SearchPageOf(edit->objectName()), false); });
        connect(edit, &QLineEdit::textChanged, this, [this, edit](const QString& text) {
            if (text.isEmpty())
                SearchUi(false, SearchPageOf(edit->objectName()), false);
        });
    }
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
    m_form->HandlingOp->SetText(label(2058, m_pCourseProcessList->List()->Count()));
    m_form->ConvertedOp->SetText(label(2059, m_pConverDoneList->List()->Count()));
    m_form->UserSpaceOp->SetText(Text(2060));
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
    CVXOptionEx* tab = page == 0 ? m_form->HandlingOp : page == 1 ? m_form->ConvertedOp : m_form->UserSpaceOp;
    if (!tab->IsSelected())
        tab->SetInitialCheck(true);
    for (CVXOptionEx* other : {m_form->HandlingOp, m_form->ConvertedOp, m_form->UserSpaceOp})
        if (other != tab && other->IsSelected())
            other->SetInitialCheck(false);
    m_form->searchErrTab->hide();
    ShowSpaceInfoWindow();
}

void CMainWnd::Notify(TNotifyUI& msg)
{
    const QString& name = msg.senderName;
    if (msg.sType == QLatin1String("click")) {
        OnClick(name, msg.pSender);
    } else if (msg.sType == QLatin1String("selectchanged")) {
        OnSelectChanged(name, msg);
    } else if (msg.sType == QLatin1String("delete")) {
        // The menu's "删除" deletes the selected rows as the Delete key does; the key's own
        // notification has asked already.
        auto* list = qobject_cast<CRecordListView*>(msg.pSender.data());
        if (list && msg.lParam != CRecordListView::kDeleteKey)
            list->DeleteSelected();
    } else {
        OnMenuEntry(msg.sType, msg.pSender);
    }
}

void CMainWnd::OnClick(const QString& name, QWidget* sender)
{
    Q_UNUSED(sender);
    CCoursePipeline& p = *m_pPipeline;
    if (name == QLatin1String("lcdelBtn"))
        m_loop.PostMsg(p.Target(), WM_DELETE_ITEMS, 1, MakePayload(m_pCourseProcessList->List()->Checked()));
    else if (name == QLatin1String("doneDel"))
        m_loop.PostMsg(p.Target(), WM_DELETE_ITEMS, 2, MakePayload(m_pConverDoneList->List()->Checked()));
    else if (name == QLatin1String("uploadBtn"))
        p.CourseUpLoadFile(m_pCourseProcessList->List()->Checked());
    else if (name == QLatin1String("pauseBtn"))
        p.PauseUpload(m_pCourseProcessList->List()->Checked());
    else if (name == QLatin1String("stopTransBtn"))
        p.CoursePauseConvertFile(m_pCourseProcessList->List()->Checked());
    else if (name == QLatin1String("transAginBtn"))
        p.CourseConvertFile(m_pCourseProcessList->List()->Checked());
    else if (name == QLatin1String("closebtn"))
        OnCloseButton();
    else if (name == QLatin1String("minbtn"))
        showMinimized();
    else if (name == QLatin1String("maxbtn"))
        showMaximized();
    else if (name == QLatin1String("restorebtn"))
        showNormal();
    else if (name == QLatin1String("ProcesearchBtn") || name == QLatin1String("doneSearchBtn"))
        SearchUi(true, SearchPageOf(name), false);
    else if (name == QLatin1String("QuitProcesearchBtn") || name == QLatin1String("QuitdoneSearchBtn"))
        SearchUi(false, SearchPageOf(name), true);
    else if (name == QLatin1String("HandlingOp"))
        SelectPage(0);
    else if (name == QLatin1String("ConvertedOp"))
        SelectPage(1);
    else if (name == QLatin1String("UserSpaceOp"))
        SelectPage(2);
    if (name == QLatin1String("lcdelBtn") || name.startsWith(QLatin1String("upload")) ||
        name == QLatin1String("pauseBtn") || name == QLatin1String("stopTransBtn") ||
        name == QLatin1String("transAginBtn") || name == QLatin1String("doneDel"))
        RefreshTabCounts();
}

void CMainWnd::OnSelectChanged(const QString& name, TNotifyUI& msg)
{
    if (name == QLatin1String("HandlingOp"))
        SelectPage(0);
    else if (name == QLatin1String("ConvertedOp"))
        SelectPage(1);
    else if (name == QLatin1String("UserSpaceOp"))
        SelectPage(2);
    else if (name == QLatin1String("inprocessPageList"))
        EnableCourseButtons(static_cast<int>(msg.wParam), static_cast<int>(msg.lParam));
    else if (name == QLatin1String("converDownlist"))
        m_form->doneDel->setEnabled(msg.wParam > 0);
}

void CMainWnd::OnMenuEntry(const QString& entry, QWidget* sender)
{
    if (entry == QLatin1String("trayshow")) {
        ShowNormal();
        return;
    }
    if (entry == QLatin1String("exit")) {
        m_loop.PostMsg(m_target, WM_CLOSE);
        return;
    }
    auto* list = qobject_cast<CRecordListView*>(sender);
    if (!list)
        return;
    const std::string index = list->MenuFileIndex();
    const _sLCItemData* r = list == m_pCourseProcessList
                                ? m_pCourseProcessList->List()->Find(index)
                                : static_cast<_sLCItemData*>(m_pConverDoneList->List()->Find(index));
    if (!r)
        return;
    const QString source = QString::fromStdString(r->strFilePath);
    const QString converted = QString::fromStdString(r->strConvertPath);
    const QString outFolder = QString::fromStdString(m_config.m_setData.strConvertPath);
    if (entry == QLatin1String("opendirectory")) {
        QFileInfo(source).exists() ? (void)Desktop().RevealFile(source)
                                   : (void)Desktop().RevealFile(outFolder);
    } else if (entry == QLatin1String("openconverfile")) {
        QFileInfo(converted).exists() ? (void)Desktop().RevealFile(converted)
                                      : (void)Desktop().RevealFile(outFolder);
    } else if (entry == QLatin1String("coursefilepath")) {
        if (QFileInfo(source).exists())
            Desktop().RevealFile(source);
        else
            Log(g_log, "%s ,file is not exist ~", r->strFilePath.c_str());
    } else if (entry == QLatin1String("coursedetail")) {
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
    f.searchtext->setFocus();
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
