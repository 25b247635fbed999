// The session, the message handlers, the timers, keep-awake and the shut-down decision. The
// stages live in CoursePipelineStages.cpp, the user's commands in CoursePipelineCommands.cpp.

#include "pipeline/CoursePipeline.h"

#include "app/LogFile.h"
#include "media/ConvertMgr.h"
#include "media/GetFileMd5Thread.h"
#include "media/MediaInfoThread.h"
#include "pipeline/ConvertSettings.h"
#include "platform/FileLock.h"
#include "platform/Paths.h"
#include "platform/Process.h"

#include "upload/FileTransMgr.h"
#include "upload/TestNetWorkThread.h"
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>

namespace vx {

CCoursePipeline::CCoursePipeline(const PipelineDeps& deps, const PipelineTuning& tuning)
    : m_deps(deps), m_tuning(tuning), m_reports(deps.config)
{
    m_target = m_deps.loop.Register(this);
}

CCoursePipeline::~CCoursePipeline()
{
    // Only here are the requests waited for: each ends within its time-outs, and it must not
    // outlive what it posts to.
    ReapSessionRequests(true);
    ReleaseTaskS();
    m_deps.loop.Unregister(m_target);
}

void CCoursePipeline::OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload)
{
    bool statusMayChange = true;
    switch (id) {
    case WM_FILESERVER_LIST:
        OnFileServerList();
        break;
    case WM_USER_INFO:
        StartSession();
        break;
    case WM_SESSION_ANSWERS:
        if (auto* answers = PayloadAs<SessionAnswers>(payload))
            OnSessionAnswers(std::move(*answers));
        break;
    case WM_RECORDS_LOADED:
        if (auto* loaded = PayloadAs<LoadedRecords>(payload))
            OnRecordsLoaded(std::move(*loaded));
        break;
    case WM_RESTORE_STEP:
        OnRestoreStep(wParam);
        break;
    case WM_QUEUE_HELD:
        if (auto* holder = PayloadAs<std::string>(payload))
            OnQueueHeld(wParam, *holder);
        break;
    case WM_RECORDS_PICKED_UP:
        if (auto* picked = PayloadAs<LoadedRecords>(payload)) {
            if (picked->session == *m_sessionToken)
                m_bPickUpDue = false;
            if (picked->session == *m_sessionToken && m_bSession && m_bWorksQueue)
                ListPickedUp(std::move(picked->rows));
        }
        break;
    case WM_SHOW_MESSAGE:
        if (auto* text = PayloadAs<std::string>(payload)) {
            Log(g_log, "info : %s", (*text).c_str());
            m_deps.ui.MessageBox(*text, MB_INFO);
        }
        break;
    case WM_TRANS_RESULT:
        if (auto* r = PayloadAs<_sTransReport>(payload)) {
            statusMayChange = r->nCode != TR_PROGRESS;
            OnTransResult(*r);
            // An upload has ended and its slot is free: while the speed test measures, the next
            // waiting file takes it.
            if (statusMayChange)
                HandOverDuringTest();
        }
        break;
    case WM_MEDIAINFO_RESULT:
        if (auto* r = PayloadAs<_sLCItemData>(payload))
            OnMediaInfoResult(ResultCode(wParam), std::move(*r));
        break;
    case WM_MD5_RESULT:
        if (auto* r = PayloadAs<_sLCItemData>(payload))
            OnMD5Message(ResultCode(wParam), std::move(*r));
        break;
    case WM_CONVERT_RESULT:
        if (auto* r = PayloadAs<_sConvertReport>(payload)) {
            statusMayChange = r->nCode != CR_PROGRESS;
            OnConvertResult(*r);
        }
        break;
    case WM_SET_INFO_DATA:
        SetInfoData(wParam);
        break;
    case WM_ACCOUNT_CHECK_OUT:
        Log(g_log, "Info : the account was signed in elsewhere; the session ends");
        ReleaseTaskS();
        m_deps.ui.SignedOut();
        break;
    case WM_DELETE_ITEMS:
        // The request names its records: the selection may have changed since it was posted,
        // and a deletion must never reach rows the user did not choose.
        if (auto* indexes = PayloadAs<std::vector<std::string>>(payload)) {
            if (wParam == 1)
                DeleteProcessItem(*indexes);
            else if (wParam == 2)
                DeleteDoneItem(*indexes);
        } else {
            Log(g_log, "Warning : a delete request without file indexes (list %llu) is ignored",
                static_cast<unsigned long long>(wParam));
        }
        break;
    // Only the queue's worker feeds the workers; the others' records wait for it.
    case WM_CHECK_MEDIAINFO:
        if (wParam != 0 || m_bWorksQueue)
            CheckMediaInfo(wParam);
        break;
    case WM_CHECK_FILEMD5:
        if (wParam != 0 || m_bWorksQueue)
            CheckFileMd5(wParam);
        break;
    case WM_FILESERVER_FIRST:
        if (auto* c = PayloadAs<FileServerChoice>(payload))
            OnFirstFileServer(wParam, *c);
        break;
    case WM_FILESERVER_TEST: {
        FileServerChoice none;
        auto* c = PayloadAs<FileServerChoice>(payload);
        OnFileServerTest(static_cast<uint32_t>(wParam), c ? *c : none);
        break;
    }
    case WM_TIMER:
        if (wParam == TIMER_TRANS_PENDING)
            OnTransPending();
        else if (wParam == TIMER_WORK_CHECK)
            CheckCourseIsWorkToTrans();
        else if (wParam == TIMER_SESSION_CHECK)
            CheckSignOut();
        else if (wParam == TIMER_QUEUE_PICKUP)
            PickUpStored();
        else if (wParam == TIMER_QUEUE_WAIT) {
            m_deps.loop.KillTimer(m_target, TIMER_QUEUE_WAIT);
            if (!m_bSession)
                LoadRecords();
        }
        statusMayChange = false;
        break;
    default:
        statusMayChange = false;
        break;
    }
    if (statusMayChange && m_bSession)
        UpdateKeepAwake();
}

void CCoursePipeline::ReapSessionRequests(bool wait)
{
    for (auto it = m_sessionRequests.begin(); it != m_sessionRequests.end();) {
        if (wait || it->done->load()) {
            it->thread.join(); // done: it is returning
            it = m_sessionRequests.erase(it);
        } else {
            ++it;
        }
    }
}

size_t CCoursePipeline::SessionRequestsRunning() const
{
    size_t n = 0;
    for (const SessionRequests& r : m_sessionRequests)
        n += r.done->load() ? 0 : 1;
    return n;
}

void CCoursePipeline::OnFileServerList()
{
    // The file-server list (with the names it holds resolved) and the top of the folder tree are
    // asked on a thread of their own, with a configuration of its own: a slow or distant server
    // must not hold the window. The session goes on in OnSessionAnswers. An earlier start's
    // thread may still wait for a slow server (signed out and in again): it is left to end on
    // its own, its answers are for an ended session and are dropped.
    ReapSessionRequests(false);
    auto cfg = std::make_shared<CAppConfig>(m_deps.config.ConfigPath(), m_deps.config.DefaultsPath());
    m_deps.config.CopySessionTo(*cfg);
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread t([cfg, done, loop = &m_deps.loop, target = m_target, session = *m_sessionToken,
                   speedTestMs = m_tuning.speedTestMs] {
        SessionAnswers a;
        a.session = session;
        CSpaceApi api(*cfg);
        ::vx::OnFileServerList(*cfg, api, a.servers, target, &a.speedTest, &a.serversFailed, &a.serversError,
                               speedTestMs);
        a.treeOk = api.RequestForDirList(0, false, &a.top, &a.treeError);
        if (!a.treeOk && a.treeError.empty())
            a.treeError = api.GetFailureCause();
        loop->PostMsg(target, WM_SESSION_ANSWERS, 0, MakePayload(std::move(a)));
        *done = true;
    });
    m_sessionRequests.push_back({std::move(t), std::move(done)});
}

void CCoursePipeline::OnSessionAnswers(SessionAnswers&& a)
{
    if (a.session != *m_sessionToken || m_bSession) {
        if (a.speedTest)
            a.speedTest->StopEx(); // asked for a session that has ended meanwhile
        return;
    }
    m_fileServers = std::move(a.servers);
    if (!m_pTestNetWork) {
        m_pTestNetWork = std::move(a.speedTest);
        // A short test may have reported before it was handed over: its choice is applied
        // already, and nothing else will come from it.
        const bool appliedEarly = m_bTestApplied;
        ForgetSpeedTest();
        m_bTestApplied = appliedEarly && m_pTestNetWork && m_pTestNetWork->HasResult();
    } else if (a.speedTest)
        a.speedTest->StopEx();
    if (a.serversFailed && !a.serversError.empty())
        ShowMessageAsync(a.serversError);
    if (a.treeOk) {
        for (SpaceEntry& e : a.top) {
            if (e.nLevel < 0)
                e.nLevel = 0;
            m_deps.tree.AddFolder(e);
        }
    } else {
        Log(g_log, "Error : the folder tree could not be loaded: %s", a.treeError.c_str());
    }
    m_deps.loop.PostMsg(m_target, WM_USER_INFO);
}

void CCoursePipeline::SetSpeedTest(std::unique_ptr<CTestNetWorkThread> test)
{
    if (m_pTestNetWork)
        m_pTestNetWork->StopEx();
    m_pTestNetWork = std::move(test);
    ForgetSpeedTest();
}

std::string CCoursePipeline::ProgramFolder() const
{
    return m_tuning.strProgramFolder.empty() ? GetProgramFolder() : m_tuning.strProgramFolder;
}

int64_t CCoursePipeline::RootFolder() const
{
    return m_deps.tree.RootOfUser(UserId());
}

static void MeasureUnprobed(std::vector<_sLCItemData>* rows)
{
    // Records stored before their probe carry no size (older versions stored none at the
    // addition): the space check must still count them.
    for (_sLCItemData& r : *rows)
        if (r.i64FileSize <= 0 && FoldBackStatus(r.nStatus) == CS_WAIT_MEDIAINFO)
            r.i64FileSize = std::max<int64_t>(0, FileSize(r.strFilePath));
}

void CCoursePipeline::StartSession()
{
    m_deps.spaceList.SetSearching(false);
    m_deps.courseList.SetSearching(false);
    m_deps.convertedList.SetSearching(false);

    // The space figures are not read here: every addition reads them afresh before its check,
    // and a window asks for them off its own thread for display.
    m_quota = SpaceQuota();

    _sSetData options;
    m_deps.db.GetSetData(options, UserId());
    if (options.strConvertPath.empty()) {
        m_deps.db.UpDateSetData(options, UserId());
        m_deps.db.GetSetData(options, UserId());
    }
    m_deps.config.SetUserOptions(SessionOptions(options));
    m_bQueueWaitTold = false;
    if (!(options.nUinfo & kOptStartSetDone)) {
        // The workers take the size for videos of unknown size (and the rest) from the options:
        // the session waits until the user has set them.
        std::weak_ptr<uint64_t> token = m_sessionToken;
        const uint64_t session = *m_sessionToken;
        m_deps.ui.AskStartSettings([this, token, session] {
            auto alive = token.lock();
            if (!alive || *alive != session || m_bSession)
                return; // the pipeline or that session is gone
            // Stored as the user chose them; what holds for this session only is applied again.
            m_deps.config.SetUserOptions(SessionOptions(m_deps.config.m_setData));
            LoadRecords();
        });
        return;
    }
    LoadRecords();
}

_sSetData CCoursePipeline::SessionOptions(_sSetData options) const
{
    options.nUinfo &= ~kOptAutoShutdown; // the shut-down is never armed at start
    if (!m_tuning.strConvertPath.empty())
        options.strConvertPath = m_tuning.strConvertPath;
    return options;
}

void CCoursePipeline::LoadRecords()
{
    // The stored records are read off the window's thread: ten thousand take tens of
    // milliseconds, and more while a sign-out's write-back still runs. The session goes on in
    // OnRecordsLoaded. The queue is taken in the same job: jobs run in order, so a release that
    // an earlier session queued (ReleaseQueue) has happened by then.
    CMessageLoop* loop = &m_deps.loop;
    const MsgTarget target = m_target;
    const uint64_t session = *m_sessionToken;
    const int64_t user = UserId();
    m_deps.db.RunInBackground([loop, target, session, user, lock = m_tuning.queueLock,
                               owner = m_tuning.queueOwner, wait = m_tuning.waitForQueue](CLocalDb& db) {
        LoadedRecords loaded;
        loaded.session = session;
        loaded.worksQueue = !lock || lock->TryLock(owner, &loaded.holder);
        if (!loaded.worksQueue && wait) {
            loop->PostMsg(target, WM_QUEUE_HELD, session, MakePayload(std::move(loaded.holder)));
            return true;
        }
        // The worker takes the notes of records stored for it along: it lists them all now.
        loaded.ok =
            loaded.worksQueue ? db.LoadQueue(user, &loaded.rows) : db.LoadCourseFiles(user, &loaded.rows);
        MeasureUnprobed(&loaded.rows);
        const bool ok = loaded.ok;
        loop->PostMsg(target, WM_RECORDS_LOADED, 0, MakePayload(std::move(loaded)));
        return ok;
    });
}

void CCoursePipeline::OnRecordsLoaded(LoadedRecords&& loaded)
{
    if (loaded.session != *m_sessionToken || m_bSession)
        return; // read for a session that has ended meanwhile
    m_bWorksQueue = loaded.worksQueue;
    m_strQueueHolder = loaded.worksQueue ? std::string() : loaded.holder;
    if (!m_bWorksQueue)
        Log(g_log, "Info : %s works the queue; the files added here are left to it",
            m_strQueueHolder.c_str());
    if (loaded.ok) {
        // Listed a chunk per turn of the loop (WM_RESTORE_STEP), so the window keeps answering.
        SplitRestored(std::move(loaded.rows));
        m_deps.loop.PostMsg(m_target, WM_RESTORE_STEP, *m_sessionToken);
        return;
    }
    Log(g_log, "Error : the course files of user %lld could not be read from %s",
        static_cast<long long>(UserId()), (m_deps.db.Path()).c_str());
    RunSession();
}

void CCoursePipeline::OnRestoreStep(uint64_t session)
{
    if (session != *m_sessionToken || m_bSession)
        return;
    if (ListRestored(std::max<size_t>(1, m_tuning.restoreChunk)))
        m_deps.loop.PostMsg(m_target, WM_RESTORE_STEP, session);
    else
        RunSession();
}

void CCoursePipeline::RunSession()
{
    m_bSession = true;
    InItTaskS();
    if (m_bWorksQueue && m_tuning.queueLock && m_tuning.pickUpMs > 0)
        m_deps.loop.SetTimer(m_target, TIMER_QUEUE_PICKUP, m_tuning.pickUpMs);
    m_deps.ui.CountsChanged();
    if (m_tuning.checkSignOut)
        m_deps.loop.SetTimer(m_target, TIMER_SESSION_CHECK, m_tuning.sessionCheckMs);
    m_deps.ui.SessionStarted();
}

void CCoursePipeline::CheckSignOut()
{
    if (!m_tuning.checkSignOut || !m_bSession || m_bSignOutCheckDue)
        return;
    m_bSignOutCheckDue = true;
    std::weak_ptr<uint64_t> token = m_sessionToken;
    const uint64_t session = *m_sessionToken;
    m_tuning.checkSignOut([this, token, session](bool signedOut) {
        auto alive = token.lock();
        if (!alive || *alive != session)
            return; // the pipeline or that session is gone
        m_bSignOutCheckDue = false;
        if (signedOut && m_bSession)
            m_deps.loop.PostMsg(m_target, WM_ACCOUNT_CHECK_OUT);
    });
}

// What one record still holds in process, in GB: the whole file from its addition until its
// digest (before the probe, its size on disk), the upload file (or else the source) while it
// waits for or goes through the upload.
static double InProcessGb(const _sLCItemData& r)
{
    constexpr double kGB = 1024.0 * 1024.0 * 1024.0;
    if (r.nStatus >= CS_WAIT_MEDIAINFO && r.nStatus <= CS_MD5_FAILED)
        return static_cast<double>(r.i64FileSize) / kGB;
    if (r.nStatus >= CS_WAIT_UPLOAD && r.nStatus <= CS_UPLOAD_PAUSED)
        return static_cast<double>(r.i64FileEnd > 0 ? r.i64FileEnd : r.i64FileSize) / kGB;
    return 0;
}

void CCoursePipeline::RestoreRecords()
{
    std::vector<_sLCItemData> rows;
    if (!m_deps.db.LoadCourseFiles(UserId(), &rows)) {
        Log(g_log, "Error : the course files of user %lld could not be read from %s",
            static_cast<long long>(UserId()), (m_deps.db.Path()).c_str());
        return;
    }
    MeasureUnprobed(&rows);
    RestoreRecords(std::move(rows));
}

void CCoursePipeline::SplitRestored(std::vector<_sLCItemData> rows)
{
    // The session start runs on the window's thread: with ten thousand records every copy
    // counts, so a record is copied only when both lists take it.
    const int64_t root = RootFolder();
    const size_t stored = rows.size();
    double inProcess = 0;
    m_restoreConverted.clear();
    m_restoreCourse.clear();
    m_restoreCourse.reserve(rows.size());
    for (_sLCItemData& r : rows) {
        if (r.i64DirId <= 0)
            r.i64DirId = root;
        const bool inCourse = r.nStatus != CS_UPLOADED;
        if (inCourse)
            inProcess += InProcessGb(r);
        if (r.nStatus >= CS_CONVERTED && inCourse)
            m_restoreConverted.push_back(r);
        else if (r.nStatus >= CS_CONVERTED)
            m_restoreConverted.push_back(std::move(r));
        if (inCourse)
            m_restoreCourse.push_back(std::move(r));
    }
    m_restoreConvertedAt = m_restoreCourseAt = 0;
    Log(g_log, "Info : restored %zu course files, %.3f GB in process", stored, inProcess);
}

bool CCoursePipeline::ListRestored(size_t most)
{
    // In the stored order, the converted list first; a few thousand rows per insertion.
    auto take = [&most](std::vector<_sLCItemData>& from, size_t& at) {
        const size_t end = std::min(from.size(), at + most);
        std::vector<_sLCItemData> chunk(std::make_move_iterator(from.begin() + at),
                                        std::make_move_iterator(from.begin() + end));
        most -= end - at;
        at = end;
        return chunk;
    };
    if (m_restoreConvertedAt < m_restoreConverted.size())
        m_deps.convertedList.AddRecords(take(m_restoreConverted, m_restoreConvertedAt), true);
    if (most > 0 && m_restoreCourseAt < m_restoreCourse.size())
        m_deps.courseList.AddRecords(take(m_restoreCourse, m_restoreCourseAt), true);
    if (m_restoreConvertedAt < m_restoreConverted.size() || m_restoreCourseAt < m_restoreCourse.size())
        return true;
    m_restoreConverted = {};
    m_restoreCourse = {};
    return false;
}

void CCoursePipeline::RestoreRecords(std::vector<_sLCItemData> rows)
{
    SplitRestored(std::move(rows));
    ListRestored(SIZE_MAX);
}

void CCoursePipeline::InItTaskS()
{
    if (!m_bSession || !m_bWorksQueue)
        return;
    CAppConfig& cfg = m_deps.config;
    if (!m_pFileTransMgr) {
        m_pFileTransMgr = std::make_unique<CFileTransMgr>();
        _sTransInit ti;
        ti.m_uMaxWorkNum = Options().nUploadMax > 0 ? Options().nUploadMax : 2;
        ti.hWnd = m_target;
        ti.uMsgId = WM_TRANS_RESULT;
        ti.strSvrHost = cfg.m_strFileSvrHost;
        ti.usSvrPort = cfg.m_usFileSvrPort;
        ti.i64OrgId = cfg.m_i64OrgId;
        ti.i64UserId = cfg.m_i64UserId;
        bool ok = m_pFileTransMgr->Init(ti);
        Log(g_log, "Info : InItTaskS --m_pFileTransMgr->Init   %d ", ok ? 1 : 0);
    }
    if (!m_pConvertMgr) {
        m_pConvertMgr = std::make_unique<CConvertMgr>();
        m_pConvertMgr->Init(BuildConvertInit(cfg, Options(), m_target, "", ProgramFolder()));
    }
    m_deps.loop.PostMsg(m_target, WM_CHECK_MEDIAINFO, 0);
    m_deps.loop.PostMsg(m_target, WM_CHECK_FILEMD5, 0);
}

void CCoursePipeline::ReleaseTaskS()
{
    Log(g_log, "Info : ReleaseTaskS: delete m_pTestNetWork%d ", m_pTestNetWork ? 1 : 0);
    for (uint32_t t :
         {TIMER_TRANS_PENDING, TIMER_WORK_CHECK, TIMER_SESSION_CHECK, TIMER_QUEUE_WAIT, TIMER_QUEUE_PICKUP})
        m_deps.loop.KillTimer(m_target, t);
    m_retryDue.clear();
    m_bWorkCheckArmed = false;
    // An answer to a sign-out check of this session no longer counts.
    ++*m_sessionToken;
    m_bSignOutCheckDue = false;
    m_bPickUpDue = false;
    StopWorkers();
    m_bSpaceFullShown = false;
    m_fileServers = CFileServerList();
    if (m_pTestNetWork) {
        m_pTestNetWork->StopEx();
        Log(g_log, "Info : delete m_pTestNetWork%d ", 1);
        m_pTestNetWork.reset();
    }
    ForgetSpeedTest();
    m_deps.power.Release();
    m_restoreConverted = {};
    m_restoreCourse = {};
    m_bSession = false;
}

void CCoursePipeline::StopWorkers()
{
    if (m_pFileTransMgr) {
        m_pFileTransMgr->StopWork();
        m_pFileTransMgr.reset();
    }
    if (m_pConvertMgr) {
        m_pConvertMgr->StopWork();
        m_pConvertMgr.reset();
    }
    m_pGetMd5Thread.reset();
    m_pMediaThread.reset();
    m_probing.clear();
    m_digesting.clear();
    m_staleDigests.clear();
    m_busyWaits.clear();
}

bool CCoursePipeline::OnClose()
{
    Log(g_log, "Info : OnClose: delete m_pTestNetWork%d ", m_pTestNetWork ? 1 : 0);
    size_t n = m_pConvertMgr ? m_pConvertMgr->BusyCount() : 0;
    if (n > 0) {
        std::string q = Text(2052) + std::to_string(n) + Text(2050);
        if (m_deps.ui.MessageBox(q, MB_QUESTION) != 1)
            return false;
    }
    ReleaseTaskS();
    return true;
}

double CCoursePipeline::InProcessSize() const
{
    double total = 0;
    for (const std::string& idx : m_deps.courseList.Indexes())
        if (const _sLCItemData* r = m_deps.courseList.Find(idx))
            total += InProcessGb(*r);
    return total;
}

bool CCoursePipeline::IsCourseWorking() const
{
    for (const std::string& idx : m_deps.courseList.Indexes()) {
        const _sLCItemData* r = m_deps.courseList.Find(idx);
        if (r && IsWorkingStatus(r->nStatus))
            return true;
    }
    return false;
}

bool CCoursePipeline::HasWorkInFlight() const
{
    if (!m_probing.empty() || !m_digesting.empty())
        return true;
    if (m_pConvertMgr && m_pConvertMgr->QueuedCount() + m_pConvertMgr->BusyCount() > 0)
        return true;
    if (m_pFileTransMgr && m_pFileTransMgr->QueuedCount() + m_pFileTransMgr->BusyCount() > 0)
        return true;
    if (m_pTestNetWork && !m_pTestNetWork->IsDone())
        return true;
    // A hand-over of timer 103 is due (after the speed test, a rename, a refusal as busy).
    if (m_deps.loop.TimerDueMs(m_target, TIMER_TRANS_PENDING) >= 0)
        return true;
    // Records waiting for the probe: the feed that every addition and session start posts
    // takes them.
    for (const std::string& idx : m_deps.courseList.Indexes()) {
        const _sLCItemData* r = m_deps.courseList.Find(idx);
        if (r && r->nStatus == CS_WAIT_MEDIAINFO)
            return true;
    }
    return false;
}

void CCoursePipeline::UpdateKeepAwake()
{
    const bool shutdownOption = (Options().nUinfo & kOptAutoShutdown) != 0;
    const bool wanted = (m_tuning.keepAwakeWhileWorking || shutdownOption) && IsWorkPending();
    if (!wanted) {
        m_deps.power.Release();
        return;
    }
    // Work the user started again after the check found nothing to do: the check runs again, so
    // the shut-down is offered when this work is done.
    if (shutdownOption && !m_bWorkCheckArmed)
        ArmWorkCheck();
    if (m_deps.power.IsHeld())
        return;
    if (!m_deps.power.Acquire("Course files are being converted and uploaded") && !m_bPowerFailLogged) {
        // Once per session: without a system bus every attempt fails the same way.
        m_bPowerFailLogged = true;
        Log(g_log, "Warning : the computer cannot be kept awake: %s", (m_deps.power.LastError()).c_str());
    }
}

void CCoursePipeline::ArmWorkCheck()
{
    m_deps.loop.SetTimer(m_target, TIMER_WORK_CHECK, m_tuning.workCheckMs);
    m_bWorkCheckArmed = true;
}

void CCoursePipeline::StopWorkCheck()
{
    m_deps.loop.KillTimer(m_target, TIMER_WORK_CHECK);
    m_bWorkCheckArmed = false;
}

void CCoursePipeline::CheckCourseIsWorkToTrans()
{
    Log(g_log, "Info : CheckCourseIsWorkToTrans  start ....");
    StopWorkCheck();
    // Records that wait for the user (paused, or whose file vanished between stages) do not
    // keep the computer awake: only work that moves on by itself does.
    const bool working = IsWorkPending();
    Log(g_log, "Info : CheckCourseIsWorkToTrans  Check: %d ", working ? 1 : 0);
    if (working) {
        UpdateKeepAwake();
        ArmWorkCheck();
        Log(g_log, "Info : CheckCourseIsWorkToTrans  end ....");
        return;
    }
    m_deps.power.Release();
    if (Options().nUinfo & kOptAutoShutdown) {
        Log(g_log, "Info : CheckCourseIsWorkToTrans  Create  window ....");
        m_deps.ui.OfferShutdown();
        Log(g_log, "Info : CheckCourseIsWorkToTrans  end ....");
    }
}

void CCoursePipeline::SetInfoData(uint64_t bits)
{
    Log(g_log, "Info : SetInfoData  start------");
    const _sSetData& o = Options();
    if ((bits & 0x02) && m_pFileTransMgr && !m_pFileTransMgr->Reconfigure(o.nUploadMax))
        m_deps.ui.MessageBox(Text(2080), MB_INFO);
    if ((bits & 0x01) && m_pConvertMgr) {
        _sConvertInit init = BuildConvertInit(m_deps.config, o, m_target, "", ProgramFolder());
        if (!m_pConvertMgr->Reconfigure(init.MAX, init.options.nVideoSizeOp, init.options.nCodecMod,
                                        init.options.unRc[0], init.options.unRc[1], init.options.OUTPATH))
            m_deps.ui.MessageBox(Text(2081), MB_INFO);
    }
    // Whatever else changed, the shut-down option takes effect at once: cleared, the check stops
    // and the machine may sleep again; set while working, the check runs.
    if (!(o.nUinfo & kOptAutoShutdown)) {
        StopWorkCheck();
        UpdateKeepAwake();
    } else if (IsWorkPending()) {
        ArmWorkCheck();
        UpdateKeepAwake();
        Log(g_log, "Info : Auto-shut down after finishing upload");
    }
    Log(g_log, "Info : SetInfoData  end-----");
}

void CCoursePipeline::OnFilesAdded()
{
    m_bSpaceFullShown = false; // the user acted: a full space is told again
    m_deps.loop.PostMsg(m_target, WM_CHECK_MEDIAINFO, 0);
    if ((Options().nUinfo & kOptAutoShutdown) && IsWorkPending())
        ArmWorkCheck();
    m_deps.ui.CountsChanged();
}

void CCoursePipeline::ShowMessageAsync(const std::string& text)
{
    m_deps.loop.PostMsg(m_target, WM_SHOW_MESSAGE, 0, MakePayload(text));
}

bool StartShutdownCommand(const std::string& command, std::string* error)
{
    std::vector<std::string> words;
    std::string cur;
    bool quoted = false, have = false;
    for (char c : command) {
        if (c == '"') {
            quoted = !quoted;
            have = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (have)
                words.push_back(cur);
            cur.clear();
            have = false;
        } else {
            cur += c;
            have = true;
        }
    }
    if (have)
        words.push_back(cur);
    if (words.empty()) {
        *error = "no shut-down command is configured ([power] ShutdownCommand)";
        return false;
    }
    Log(g_log, "Info : running the shut-down command: %s", (command).c_str());
    // A bare program name is looked up in PATH, as a shell would.
    if (words[0].find('/') == std::string::npos) {
        const char* path = getenv("PATH");
        std::string dirs = path ? path : "/usr/sbin:/usr/bin:/sbin:/bin";
        size_t start = 0;
        while (start <= dirs.size()) {
            size_t end = dirs.find(':', start);
            if (end == std::string::npos)
                end = dirs.size();
            std::string candidate = JoinPath(dirs.substr(start, end - start), words[0]);
            if (end > start && FileExists(candidate)) {
                words[0] = candidate;
                break;
            }
            start = end + 1;
        }
    }
    CProcess p;
    ProcessOptions opt;
    opt.detached = true;
    std::vector<std::string> args(words.begin() + 1, words.end());
    return p.Start(words[0], args, opt, error);
}

} // namespace vx
