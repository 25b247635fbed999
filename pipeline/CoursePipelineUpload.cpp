// The upload stage: hand-over to the transfer manager, its reports, the rename after a refused
// name, the retries after the speed test and the finished file in the space list.

#include "pipeline/CoursePipeline.h"

#include "app/LogFile.h"
#include "app/Utils.h"
#include "platform/Paths.h"
#include "upload/FileTransMgr.h"
#include "upload/FileTransThread.h"
#include "upload/TestNetWorkThread.h"
#include "upload/TransProtocol.h"

#include <algorithm>
#include <chrono>
#include <string>

namespace vx {
namespace {

// Failures a later attempt may not meet: the connection lost, refused or left unanswered, the
// digest unconfirmed. (A file server busy with the same content has waits of its own.)
bool MayPass(const _sTransReport& r)
{
    switch (r.nCode) {
    case TRANS_SHORT:
    case TRANS_BAD_ANSWER:
    case TRANS_NO_CONFIRM:
    case TRANS_SOCKET:
    case TRANS_NO_ANSWER:
        return true;
    default:
        return false;
    }
}

std::string RawFromHex(const std::string& hex)
{
    std::string raw;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        raw.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return raw;
}

std::string NameOf(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

int64_t SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Refusals as busy tried again before the record fails (its own waits grow to kBusyWaitMaxMs:
// about a quarter of an hour in all). While a record of ours with the same content uploads,
// its refusals are not counted: that upload ends, and the file is then held.
constexpr int kBusyRefusals = 20;
constexpr int kBusyWaitMaxMs = 60000;

} // namespace

// --------------------------------------------------------------------------------- upload

int CCoursePipeline::AddTransItem(const std::string& fileIndex)
{
    _sLCItemData* r = Find(fileIndex);
    if (!r)
        return -1;
    CAppConfig& cfg = m_deps.config;
    std::string storedIp;
    int storedPort = 0;
    bool stored = m_deps.db.GetFileServer(fileIndex, &storedIp, &storedPort) && !storedIp.empty();
    Log(g_log, "Info : strfilexindex:%s ,%s,%d", fileIndex.c_str(), storedIp.c_str(), storedPort);
    const bool preset = !cfg.m_strPreFileSvrHost.empty();
    bool provisional = false;
    if (!preset) {
        if (stored && !m_fileServers.Contains(storedIp)) {
            m_deps.db.RemoveFileServer(fileIndex);
            stored = false;
        }
        if (!stored && SpeedTestPending()) {
            // While the test measures, the first server that agreed to it takes uploads, one per
            // free slot; the others wait for a slot or for the test's choice.
            if (!ProvisionalSlotFree()) {
                Log(g_log, "Info : break addTransItem %s", fileIndex.c_str());
                m_waitingForTest.push_back(fileIndex);
                return -4;
            }
            provisional = true;
        }
    }
    // Queued or uploading already: handed over once only.
    if (r->nStatus == CS_UPLOADING || r->nStatus == CS_UPLOAD_QUEUED)
        return 1;
    ++r->nTransTimes;
    if (r->strConvertPath.empty()) {
        Log(g_log, "Error : Main AddTransItem, convert file name is empty, file_index(%s)",
            fileIndex.c_str());
        return -1;
    }
    if (!FileExists(r->strConvertPath)) {
        Log(g_log, "Error: Main AddTransItem, convert_file(%s) not exist!", r->strConvertPath.c_str());
        return -1;
    }
    std::string host = stored ? storedIp : provisional ? m_provisional.strHost : cfg.m_strFileSvrHost;
    uint16_t port = stored        ? static_cast<uint16_t>(storedPort)
                    : provisional ? m_provisional.usPort
                                  : cfg.m_usFileSvrPort;
    if (preset) {
        host = cfg.m_strPreFileSvrHost;
        port = cfg.m_usPreFileSvrPort;
    } else if (!stored) {
        m_deps.db.SaveFileServer(fileIndex, host, port);
    }
    if (r->i64FileEnd <= 0) {
        Log(g_log, "Info : file len is zero ,not do  add  task!");
        return -1;
    }
    std::string tail =
        ToLower(r->strConvertPath.size() > 4 ? r->strConvertPath.substr(r->strConvertPath.size() - 4)
                                             : r->strConvertPath);
    uint8_t type = tail.find("pdf") != std::string::npos   ? TRANS_PDF
                   : tail.find("swf") != std::string::npos ? TRANS_SWF
                   : tail.find("flv") != std::string::npos ? TRANS_FLV
                                                           : 0;
    if (type == 0)
        return -2;
    if (r->i64DirId <= 0)
        r->i64DirId = RootFolder();
    _sTransTask t;
    t.strFileIndex = fileIndex;
    t.i64FileId = r->i64FileId;
    t.i64ParentId = r->i64DirId;
    t.strMd5 = RawFromHex(r->strMd5);
    t.strPath = r->strConvertPath;
    t.i64StartPos = r->i64FileStart;
    t.i64EndPos = r->i64FileEnd;
    t.nFileType = type;
    t.strSvrHost = host;
    t.usSvrPort = port;
    if (!m_pFileTransMgr)
        return -3;
    Log(g_log, "Info : Main AddTransItem, file(%s), md5(%s), file_index(%s), dir_id=%lld",
        r->strConvertPath.c_str(), r->strMd5.c_str(), fileIndex.c_str(), static_cast<long long>(r->i64DirId));
    if (!m_pFileTransMgr->AddTransferFile(t)) {
        Log(g_log, "Error : Main AddTransItem failed, md5(%s), file_index(%s)", r->strMd5.c_str(),
            fileIndex.c_str());
        return -3;
    }
    SetStatus(*r, CS_UPLOAD_QUEUED);
    r->nProgress = 0;
    if (SpeedTestPending())
        m_testRuns.insert(fileIndex);
    m_deps.courseList.SetTooltip(fileIndex, "");
    Store(*r);
    Changed(*r);
    return 1;
}

void CCoursePipeline::OnTransResult(const _sTransReport& report)
{
    if (report.i64FileId <= 0 && report.strFileIndex.empty())
        return;
    const std::string idx = report.strFileIndex;
    _sLCItemData* r = Find(idx);
    if (!r) {
        m_reports.Forget(idx);
        return;
    }
    ReportEffect e = m_reports.UpdateItemByTransInfo(*r, report);
    if (!e.applied)
        return; // paused or handed over again meanwhile
    const int code = report.nCode;
    if (code == TR_PROGRESS) {
        m_deps.courseList.SetTooltip(idx, "");
        if (e.store)
            Store(*r);
        Changed(*r);
        return;
    }
    if (code == TR_UPLOADED) {
        m_busyWaits.erase(idx);
        Store(*r);
        _sLCItemData done = *r;
        SyncConverted(done);
        if (!m_deps.convertedList.Find(idx))
            m_deps.convertedList.AddRecord(done, !m_deps.convertedList.IsSearching());
        AddFinishFileToSpace(done);
        if ((Options().nUinfo & kOptAutoDelete) && done.strConvertPath != done.strFilePath) {
            size_t at = done.strConvertPath.find(idx);
            if (at != std::string::npos)
                DeleteDirectory(done.strConvertPath.substr(0, at) + idx);
        }
        m_deps.courseList.Remove(idx);
        m_deps.ui.CountsChanged();
        return;
    }
    if (e.busy) {
        if (WaitWhileBusy(*r)) {
            m_deps.courseList.SetTooltip(idx, "");
            Store(*r);
            Changed(*r);
            m_deps.ui.CountsChanged();
            return;
        }
        e = m_reports.UploadFailed(*r, kUploadBusyText);
    }
    m_busyWaits.erase(idx);
    if (e.rename) {
        Log(g_log, "Info : UpdateItemByTransInfo：FileName:%s ,ConvetFileName:%s  Errcode:%d ",
            r->strFilePath.c_str(), r->strConvertPath.c_str(), code);
        // The server holds other content under this name: upload under a new one.
        if (ReNameCourseFile(idx) || ReNameCourseFile(idx)) {
            if ((r = Find(idx)))
                SyncConverted(*r);
            m_deps.ui.CountsChanged();
            return;
        }
        if (!(r = Find(idx)))
            return;
        e = m_reports.UploadFailed(*r, kRenameFailedText);
    }
    if (e.tooltip) {
        m_deps.courseList.SetTooltip(idx, e.tooltipText);
        Log(g_log, "Info : UpdateItemByTransInfo：FileName:%s ,ConvetFileName:%s  Errcode:%d %s",
            r->strFilePath.c_str(), r->strConvertPath.c_str(), code, e.tooltipText.c_str());
    }
    if (code == TRANS_REFUSED_4) {
        const int64_t root = RootFolder();
        Log(g_log, "Info : Server Dir id  is not Exist, %lld,root :%lld", static_cast<long long>(r->i64DirId),
            static_cast<long long>(root));
        if (root > 0 && r->i64DirId != root) {
            const SpaceRow* rootRow = m_deps.tree.Find(root);
            r->i64DirId = root;
            std::string text = Text(2272) + "\"" + r->strFileName + "\"" + Text(2263) + Text(2274) +
                               (rootRow ? rootRow->strName : std::string()) + "\n";
            m_deps.courseList.SetTooltip(idx, text);
            // Redirected: the next hand-over sends it into the root folder.
            r->nTransTimes = 0;
            ArmHandOver(kTransPendingMs);
        }
    }
    Store(*r);
    Changed(*r);
    // A failure early in the transfer (and any failure with a cause) blames the server: the
    // next attempt chooses afresh.
    if (r->nProgress < 40)
        m_deps.db.RemoveFileServer(idx);
    ScheduleRetry(idx, report);
    m_deps.ui.CountsChanged();
    if (e.spaceFull)
        WarnSpaceFull(*r);
}

bool CCoursePipeline::WaitWhileBusy(_sLCItemData& r)
{
    const std::string idx = r.strFileIndex;
    bool twin = false;
    for (const std::string& other : m_deps.courseList.Indexes()) {
        const _sLCItemData* o = other == idx ? nullptr : Find(other);
        twin = twin || (o && (o->nStatus == CS_UPLOAD_QUEUED || o->nStatus == CS_UPLOADING) &&
                        o->strMd5 == r.strMd5 && o->i64FileEnd == r.i64FileEnd);
    }
    BusyWait& w = m_busyWaits[idx];
    if (!twin && ++w.refusals > kBusyRefusals) {
        Log(g_log, "Error : %s: the file server stayed busy with the same content, %d refusals", idx.c_str(),
            w.refusals - 1);
        m_busyWaits.erase(idx);
        return false;
    }
    const int waitMs = std::min(kBusyWaitMaxMs, kRenameRetryMs << std::clamp(w.refusals - 1, 0, 5));
    w.dueMs = SteadyMs() + waitMs;
    // Waiting for the upload again, never tried since: timer 103 hands it over once it is due.
    SetStatus(r, CS_WAIT_UPLOAD);
    r.nTransTimes = 0;
    Log(g_log,
        "Info : %s: the file server is taking the same content on another connection; trying again in %d ms",
        idx.c_str(), waitMs);
    ArmHandOver(waitMs);
    return true;
}

void CCoursePipeline::WarnSpaceFull(const _sLCItemData& r)
{
    if (m_bSpaceFullShown)
        return;
    m_bSpaceFullShown = true;
    // Whole gigabytes, as the server counts them: less than this file is left, whatever the
    // last figure read.
    int64_t left = std::max<int64_t>(0, (r.i64FileEnd - 1) >> 30);
    if (m_quota.i64Total > 0)
        left = std::min(left, m_quota.i64Left);
    Log(g_log, "Warning : the space is full: %s was refused by the file server", r.strFilePath.c_str());
    m_deps.ui.SpaceWarning(left, "SpaceInsufWnd");
}

void CCoursePipeline::ArmHandOver(int ms)
{
    const int due = m_deps.loop.TimerDueMs(m_target, TIMER_TRANS_PENDING);
    if (due >= 0 && due <= ms)
        return;
    m_deps.loop.SetTimer(m_target, TIMER_TRANS_PENDING, ms);
}

bool CCoursePipeline::ScheduleRetry(const std::string& fileIndex, const _sTransReport& report)
{
    _sLCItemData* r = Find(fileIndex);
    if (!r || r->nStatus != CS_UPLOAD_FAILED || !MayPass(report))
        return false;
    int& made = m_retries[fileIndex];
    if (made >= m_tuning.uploadRetries)
        return false;
    ++made;
    ++m_nRetriesTotal;
    int64_t pause = std::max(1, m_tuning.retryFirstMs);
    for (int i = 1; i < made && pause < m_tuning.retryMaxMs; ++i)
        pause *= 2;
    pause = std::min<int64_t>(pause, std::max(m_tuning.retryFirstMs, m_tuning.retryMaxMs));
    // Never tried since, as far as timer 103 is concerned, once the pause is over.
    r->nTransTimes = 0;
    m_retryDue[fileIndex] = SteadyMs() + pause;
    Log(g_log, "Info : upload of %s failed (code %d); attempt %d of %d again in %lld ms",
        r->strFilePath.c_str(), report.nCode, made, m_tuning.uploadRetries, static_cast<long long>(pause));
    ArmHandOver(static_cast<int>(pause));
    return true;
}

int CCoursePipeline::UploadRetries(const std::string& fileIndex) const
{
    auto it = m_retries.find(fileIndex);
    return it == m_retries.end() ? 0 : it->second;
}

bool CCoursePipeline::ReNameCourseFile(const std::string& fileIndex)
{
    _sLCItemData* r = Find(fileIndex);
    if (!r || !m_reports.RenameUploadFile(*r))
        return false;
    m_deps.courseList.SetTooltip(fileIndex, "");
    Store(*r);
    m_deps.courseList.Changed(fileIndex);
    ArmHandOver(kRenameRetryMs);
    return true;
}

bool CCoursePipeline::SpeedTestPending() const
{
    // A finished test's result may still be on its way here: until it is applied, uploads
    // without an assignment must not go to the server it replaces.
    return m_pTestNetWork && !m_bTestApplied && (!m_pTestNetWork->IsDone() || m_pTestNetWork->HasResult());
}

std::optional<FileServerChoice> CCoursePipeline::ProvisionalServer() const
{
    if (!SpeedTestPending() || m_uProvisionalTest != m_pTestNetWork->Id())
        return std::nullopt;
    return m_provisional;
}

bool CCoursePipeline::ProvisionalSlotFree()
{
    if (!m_pFileTransMgr || !ProvisionalServer())
        return false;
    // A slot is held from the hand-over until the upload's last report.
    for (auto it = m_testRuns.begin(); it != m_testRuns.end();) {
        const _sLCItemData* r = Find(*it);
        if (r && (r->nStatus == CS_UPLOAD_QUEUED || r->nStatus == CS_UPLOADING))
            ++it;
        else
            it = m_testRuns.erase(it);
    }
    return m_testRuns.size() < m_pFileTransMgr->MaxWorkNum();
}

void CCoursePipeline::HandOverDuringTest()
{
    while (!m_waitingForTest.empty() && ProvisionalSlotFree()) {
        const std::string idx = std::move(m_waitingForTest.front());
        m_waitingForTest.pop_front();
        const _sLCItemData* r = Find(idx);
        if (r && (r->nStatus == CS_WAIT_UPLOAD || r->nStatus == CS_UPLOAD_FAILED) && r->nTransTimes <= 0)
            AddTransItem(idx);
    }
}

void CCoursePipeline::ForgetSpeedTest()
{
    m_bTestApplied = false;
    m_testRuns.clear();
    m_waitingForTest.clear();
    // The new test's first answer may have come before the test itself was handed over.
    if (!m_pTestNetWork || m_uProvisionalTest != m_pTestNetWork->Id()) {
        m_provisional = FileServerChoice();
        m_uProvisionalTest = 0;
    }
}

void CCoursePipeline::OnFirstFileServer(uint64_t testId, const FileServerChoice& choice)
{
    // The answer often arrives before the session start has handed the test over; it is kept
    // under the test's number, which only that test matches.
    if (choice.strHost.empty() || (m_pTestNetWork && (testId != m_pTestNetWork->Id() || m_bTestApplied)))
        return;
    Log(g_log, "Info : fileserver first answer :%s:%d", choice.strHost.c_str(), choice.usPort);
    m_provisional = choice;
    m_uProvisionalTest = testId;
    HandOverDuringTest();
}

void CCoursePipeline::OnTransPending()
{
    if (!m_pFileTransMgr)
        return;
    std::vector<std::string> waiting;
    const int64_t now = SteadyMs();
    int64_t nextDue = -1; // the soonest record still waiting out a refusal as busy or a retry's pause
    for (const std::string& idx : m_deps.courseList.Indexes()) {
        const _sLCItemData* r = Find(idx);
        if (!r || (r->nStatus != CS_WAIT_UPLOAD && r->nStatus != CS_UPLOAD_FAILED) || r->nTransTimes > 0)
            continue;
        auto busy = m_busyWaits.find(idx);
        auto retry = m_retryDue.find(idx);
        const int64_t due = std::max(busy != m_busyWaits.end() ? busy->second.dueMs : 0,
                                     retry != m_retryDue.end() ? retry->second : 0);
        if (due > now) {
            nextDue = nextDue < 0 ? due : std::min(nextDue, due);
            continue;
        }
        if (retry != m_retryDue.end())
            m_retryDue.erase(retry);
        waiting.push_back(idx);
    }
    m_deps.loop.KillTimer(m_target, TIMER_TRANS_PENDING);
    if (nextDue >= 0)
        ArmHandOver(static_cast<int>(std::max<int64_t>(1, nextDue - now)));
    for (const std::string& idx : waiting)
        AddTransItem(idx);
}

void CCoursePipeline::OnFileServerTest(uint32_t address, const FileServerChoice& choice)
{
    Log(g_log, "Info : fileserver Test :%u:%d", address, choice.usPort);
    if (address != kNoServerAddress && !choice.strHost.empty()) {
        Log(g_log, "Info : fileserver Test :%s:%d", choice.strHost.c_str(), choice.usPort);
        if (!m_deps.config.SaveFileServerIpPort(choice.usPort, choice.strHost)) {
            // The configuration file is read-only or gone: the choice still holds for this run.
            m_deps.config.m_strFileSvrHost = choice.strHost;
            m_deps.config.m_usFileSvrPort = choice.usPort;
        }
    }
    // The waiting records go to the choice at once; without the transfer manager yet (the
    // session is still starting) the timer looks again until it exists.
    m_bTestApplied = true;
    m_testRuns.clear();
    m_waitingForTest.clear();
    if (m_pFileTransMgr)
        OnTransPending();
    else
        ArmHandOver(kTransPendingMs);
}

bool CCoursePipeline::AddFinishFileToSpace(const _sLCItemData& r)
{
    if (r.i64DirId < 0) {
        Log(g_log, "Error : tranfile  Dirid  is < 0 Dirid:%lld ,exception~",
            static_cast<long long>(r.i64DirId));
        return false;
    }
    const int64_t shown = m_deps.spaceList.ShownFolder();
    if (r.i64DirId != shown) {
        Log(g_log, "Info : is not the same  dir,no need add File.DirID(%lld--%lld)",
            static_cast<long long>(r.i64DirId), static_cast<long long>(shown));
        return false;
    }
    Log(g_log, "Info : the same  dir,need add File.(%lld--%lld)", static_cast<long long>(r.i64DirId),
        static_cast<long long>(shown));
    if (m_deps.spaceList.IsSearching()) {
        Log(g_log, "Info : my  space is search ing ...,not add to space ~~~");
        return true;
    }
    if (r.i64FileId <= 0) {
        Log(g_log, "Info : tranfile  fileid  is < 0 Dirid:%lld ", static_cast<long long>(r.i64DirId));
        m_deps.spaceList.Reload();
        return false;
    }
    Log(g_log, "Info : AddFinishFileToSpace   fileid --%lld ,dir-%lld, ower:%lld ",
        static_cast<long long>(r.i64FileId), static_cast<long long>(r.i64DirId),
        static_cast<long long>(UserId()));
    SpaceRow e;
    e.i64Id = r.i64FileId;
    e.i64ParentId = r.i64DirId;
    e.i64OwnId = UserId();
    e.i64Size = r.i64FileEnd;
    e.strCreateTime = r.strModifyTime;
    e.strName = RemoteName(NameOf(r.strConvertPath)); // as the server stored it
    const std::string ext = ToLower(e.strName.substr(e.strName.find_last_of('.') + 1));
    e.nType = ext == "pdf" ? SPACE_PDF : ext == "swf" ? SPACE_SWF : SPACE_VIDEO;
    m_deps.spaceList.AddEntry(e);
    return true;
}

} // namespace vx
