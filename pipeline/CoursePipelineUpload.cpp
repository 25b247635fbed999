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

#include <string>

namespace vx {
namespace {

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
    m_deps.ui.CountsChanged();
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
    // The waiting records go to the choice at once; without the transfer manager yet (the
    // session is still starting) the timer looks again until it exists.
    m_bTestApplied = true;
    m_testRuns.clear();
    m_waitingForTest.clear();
    if (m_pFileTransMgr)
        OnTransPending();
    else
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
