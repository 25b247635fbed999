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

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Failures a later attempt may not meet: the connection lost, refused or left unanswered, the
// digest unconfirmed, and the file server busy with the same content on another connection.
bool MayPass(const _sTransReport& r)
{
    switch (r.nCode) {
    case TRANS_SHORT:
    case TRANS_BAD_ANSWER:
    case TRANS_NO_CONFIRM:
    case TRANS_SOCKET:
    case TRANS_NO_ANSWER:
        return true;
    case TRANS_OTHER_RESULT:
        return r.nSvrResult == kSrvSameContent5;
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
    if (!preset) {
        if (stored && !m_fileServers.Contains(storedIp)) {
            m_deps.db.RemoveFileServer(fileIndex);
            stored = false;
        }
        if (!stored && m_pTestNetWork && !m_pTestNetWork->IsDone()) {
            Log(g_log, "Info : break addTransItem %s", fileIndex.c_str());
            return -4;
        }
    }
    if (r->nStatus == CS_UPLOADING)
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
    std::string host = stored ? storedIp : cfg.m_strFileSvrHost;
    uint16_t port = stored ? static_cast<uint16_t>(storedPort) : cfg.m_usFileSvrPort;
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
            m_deps.loop.SetTimer(m_target, TIMER_TRANS_PENDING, kTransPendingMs);
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
}

bool CCoursePipeline::ScheduleRetry(const std::string& fileIndex, const _sTransReport& report)
{
    const _sLCItemData* r = Find(fileIndex);
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
    m_retryDue[fileIndex] = NowMs() + pause;
    Log(g_log, "Info : upload of %s failed (code %d, server result %d); attempt %d of %d again in %lld ms",
        r->strFilePath.c_str(), report.nCode, report.nSvrResult, made, m_tuning.uploadRetries,
        static_cast<long long>(pause));
    ArmRetryTimer();
    return true;
}

void CCoursePipeline::ArmRetryTimer()
{
    m_deps.loop.KillTimer(m_target, TIMER_UPLOAD_RETRY);
    if (m_retryDue.empty())
        return;
    int64_t first = INT64_MAX;
    for (const auto& [idx, due] : m_retryDue)
        first = std::min(first, due);
    m_deps.loop.SetTimer(m_target, TIMER_UPLOAD_RETRY,
                         static_cast<int>(std::clamp<int64_t>(first - NowMs(), 1, INT32_MAX)));
}

void CCoursePipeline::OnUploadRetry()
{
    const int64_t now = NowMs();
    std::vector<std::string> due;
    for (auto it = m_retryDue.begin(); it != m_retryDue.end();) {
        if (it->second <= now) {
            due.push_back(it->first);
            it = m_retryDue.erase(it);
        } else {
            ++it;
        }
    }
    ArmRetryTimer();
    for (const std::string& idx : due) {
        _sLCItemData* r = Find(idx);
        if (!r || r->nStatus != CS_UPLOAD_FAILED)
            continue;       // the user paused, deleted or converted it again meanwhile
        r->nTransTimes = 0; // a speed test still measuring hands it over when it ends
        const int result = AddTransItem(idx);
        if (result != 1 && result != -4)
            Log(g_log, "Error : the upload of %s could not be tried again, code:%d", idx.c_str(), result);
    }
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
    m_deps.loop.SetTimer(m_target, TIMER_TRANS_PENDING, kRenameRetryMs);
    return true;
}

void CCoursePipeline::OnTransPending()
{
    if (!m_pFileTransMgr)
        return;
    std::vector<std::string> waiting;
    for (const std::string& idx : m_deps.courseList.Indexes()) {
        const _sLCItemData* r = Find(idx);
        if (r && (r->nStatus == CS_WAIT_UPLOAD || r->nStatus == CS_UPLOAD_FAILED) && r->nTransTimes <= 0)
            waiting.push_back(idx);
    }
    m_deps.loop.KillTimer(m_target, TIMER_TRANS_PENDING);
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
    m_deps.loop.SetTimer(m_target, TIMER_TRANS_PENDING, kTransPendingMs);
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
