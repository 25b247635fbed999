// The stages of one course file: probe, conversion (or the copy of a document), digest and
// upload, and the results the workers post back.

#include "pipeline/CoursePipeline.h"

#include "app/LogFile.h"
#include "app/Utils.h"
#include "media/ConvertMgr.h"
#include "media/ConvertThread.h"
#include "media/GetFileMd5Thread.h"
#include "media/MediaInfoThread.h"
#include "platform/FileCheck.h"
#include "platform/Paths.h"
#include "store/CourseStatus.h"

#include <algorithm>
#include <cerrno>

namespace vx {
namespace {

std::string NameOf(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

} // namespace

bool CCoursePipeline::SetStatus(_sLCItemData& r, int32_t status)
{
    if (!CanChangeStatus(r.nStatus, status)) {
        Log(g_log, "Warning : %s: status %d -> %d refused", r.strFileIndex.c_str(), r.nStatus, status);
        return false;
    }
    r.nStatus = status;
    return true;
}

void CCoursePipeline::Store(const _sLCItemData& r)
{
    if (!m_deps.db.UpdateCourseFile(r, UserId()))
        Log(g_log, "Error : the course file %s could not be stored in %s", r.strFilePath.c_str(),
            m_deps.db.Path().c_str());
}

void CCoursePipeline::SyncConverted(const _sLCItemData& r)
{
    if (_sLCItemData* e = m_deps.convertedList.Find(r.strFileIndex)) {
        *e = r;
        m_deps.convertedList.Changed(r.strFileIndex);
    }
}

void CCoursePipeline::Changed(const _sLCItemData& r)
{
    m_deps.courseList.Changed(r.strFileIndex);
    SyncConverted(r);
}

// ---------------------------------------------------------------------------------- probe

void CCoursePipeline::InitMediaThread()
{
    if (m_pMediaThread && m_pMediaThread->IsActive())
        return;
    // A thread that has ended took nothing with it: its queue was empty when it closed.
    m_pMediaThread = std::make_unique<CMediaInfoThread>(m_deps.loop, m_target);
    m_pMediaThread->Start();
}

void CCoursePipeline::CheckMediaInfo(uint64_t wParam)
{
    Log(g_log, "Info : CMainWnd::CheckMediaInfo  ~start~~~");
    if (wParam == 0) {
        std::vector<_sLCItemData> batch;
        for (const std::string& idx : m_deps.courseList.Indexes()) {
            const _sLCItemData* r = Find(idx);
            if (r && r->nStatus == CS_WAIT_MEDIAINFO && !m_probing.count(idx))
                batch.push_back(*r);
        }
        if (!batch.empty() && m_bSession) {
            InitMediaThread();
            if (!m_pMediaThread->AddFiles(batch)) {
                // It ended between the check and the hand-over: a new one takes them.
                m_pMediaThread.reset();
                InitMediaThread();
                m_pMediaThread->AddFiles(batch);
            }
            for (const _sLCItemData& r : batch)
                m_probing.insert(r.strFileIndex);
        }
    } else if (wParam == 1) {
        // A release that arrives after a newer thread took over must leave that one alone.
        if (m_pMediaThread && !m_pMediaThread->IsActive()) {
            Log(g_log, "Info : CMainWnd::Release  m_pMediaThread ~start~~");
            m_pMediaThread.reset();
            m_probing.clear();
            Log(g_log, "Info : CMainWnd::Release  m_pMediaThread ~end~~");
        }
    } else {
        Log(g_log, "Error : CMainWnd::m_pMediaThread ");
    }
    Log(g_log, "Info : CMainWnd::CheckMediaInfo  ~end~~~");
}

void CCoursePipeline::DispatchProbed(const std::string& fileIndex)
{
    _sLCItemData* r = Find(fileIndex);
    if (!r)
        return;
    int result = r->nFileType == 1 ? DealUnVideoFiles(fileIndex) : AddConvertItem(fileIndex);
    if (result != 1)
        Log(g_log, "Error : filename: add convert  task  failed,code:%d", result);
    // The source went between the probe and the conversion: the record fails saying so instead
    // of waiting for a conversion that can never start.
    if (result == -1) {
        _sConvertReport gone;
        gone.strFileIndex = fileIndex;
        gone.nCode = CV_NOT_FOUND;
        OnConvertResult(gone);
    }
}

void CCoursePipeline::OnMediaInfoResult(int64_t code, _sLCItemData&& copy)
{
    if (code < -4 || code > 1)
        return;
    m_probing.erase(copy.strFileIndex);
    if (code == 1) {
        for (const std::string& idx : m_deps.courseList.Indexes()) {
            const _sLCItemData* r = Find(idx);
            if (r && r->nStatus == CS_WAIT_CONVERT)
                DispatchProbed(idx);
        }
        return;
    }
    _sLCItemData* r = Find(copy.strFileIndex);
    if (!r || r->nStatus != CS_WAIT_MEDIAINFO)
        return; // deleted, or moved on by the user meanwhile
    if (code == 0 && copy.i64FileSize > 0) {
        r->i64FileSize = copy.i64FileSize;
        r->nFileBits = copy.nFileBits;
        r->nWidth = copy.nWidth;
        r->nHeight = copy.nHeight;
        SetStatus(*r, copy.nStatus);
        r->miData = copy.miData;
        r->nMediaError = 0;
        Store(*r);
        Changed(*r);
        DispatchProbed(copy.strFileIndex);
        return;
    }
    // A failed probe, and a probe that found nothing to read (size 0), end in status 1: the
    // record must not wait for a probe that will never come.
    SetStatus(*r, CS_MEDIA_FAILED);
    r->nMediaError = -1;
    // When the file itself is the cause (gone, not readable, a named pipe), that is what the
    // user is told rather than that its content could not be read.
    const int sourceText = SourceProblemTextNo(CheckInputFile(r->strFilePath));
    m_deps.courseList.SetTooltip(r->strFileIndex, Text(sourceText ? sourceText : code == 0 ? 2277 : 2025));
    Log(g_log, "Info : %s 获取mediaInfo失败,code:%d！", r->strFileName.c_str(), static_cast<int>(code));
    Store(*r);
    Changed(*r);
}

// ----------------------------------------------------------------------------- conversion

int CCoursePipeline::AddConvertItem(const std::string& fileIndex)
{
    _sLCItemData* r = Find(fileIndex);
    if (!r)
        return -2;
    Log(g_log, "Info : Main-AddConvertItem start:---FileName:%s,-strFileIndex:%s-,i64DirId:%lld--- ",
        r->strFilePath.c_str(), fileIndex.c_str(), static_cast<long long>(r->i64DirId));
    if (r->nStatus == CS_CONVERTING)
        return 1;
    if (r->strFilePath.empty()) {
        Log(g_log, "Error :l_pData->strFileName  is empty,guid:%s", fileIndex.c_str());
        return 0;
    }
    if (!FileExists(r->strFilePath)) {
        Log(g_log, "Error: Main-AddConvertItem:strFileName:%s  not exist!--- ", r->strFilePath.c_str());
        return -1;
    }
    if (!m_pConvertMgr || !m_pConvertMgr->AddFile(_sConvertTask{r->strFilePath, fileIndex, r->miData})) {
        Log(g_log, "Error : Main-AddConvertItem:---FileName:%s,-strFileIndex:%s---- ", r->strFilePath.c_str(),
            fileIndex.c_str());
        return 0;
    }
    SetStatus(*r, CS_CONVERT_QUEUED);
    r->nProgress = 0;
    m_deps.courseList.SetTooltip(fileIndex, "");
    Store(*r);
    Changed(*r);
    return 1;
}

int CCoursePipeline::DealUnVideoFiles(const std::string& fileIndex)
{
    _sLCItemData* r = Find(fileIndex);
    if (!r)
        return -1;
    Log(g_log, "Info : CMainWnd--DealUnVideoFiles: start-------");
    Log(g_convertLog, "Info : -no need to convert--%s", r->strFilePath.c_str());
    if (r->nFileType != 1)
        return 1;
    std::string root = Options().strConvertPath;
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    const std::string folder = JoinPath(root, fileIndex);
    auto report = std::make_unique<_sConvertReport>();
    report->strFileIndex = fileIndex;
    report->nValue = 100;
    if (r->strFilePath.empty() || r->strFilePath.back() == '/') {
        report->nCode = -7;
    } else if (!FileExists(r->strFilePath)) {
        report->nCode = -6;
    } else if (root.empty() || (!DirExists(folder) && !MakeDirs(folder))) {
        report->nCode = -5; // the folder's failure, as a failure like every other
    } else {
        report->strOutPath = JoinPath(folder, NameOf(r->strFilePath));
        if (!CopyFileReplace(r->strFilePath, report->strOutPath)) {
            Log(g_log,
                "Info : CMainWnd--DealUnVideoFiles: the input file need to be added meta tag, copy file to "
                "destination faled, code=%d",
                errno);
            report->nCode = -14;
        } else {
            report->nCode = 1;
        }
    }
    m_deps.loop.PostMsg(m_target, WM_CONVERT_RESULT, 0, MakePayload(std::move(*report)));
    Log(g_log, "Info : CMainWnd--DealUnVideoFiles: end-------");
    return 1;
}

void CCoursePipeline::OnConvertResult(const _sConvertReport& report)
{
    _sLCItemData* r = Find(report.strFileIndex);
    if (!r)
        return;
    const ReportEffect e = m_reports.UpdateItemByCvrtInfo(*r, report);
    if (!e.applied)
        return;
    const int code = report.nCode;
    if (e.store)
        Store(*r);
    if (code == CR_PROGRESS) {
        m_deps.courseList.Changed(r->strFileIndex);
        return;
    }
    if (code == CR_SUCCESS) {
        m_deps.courseList.Changed(r->strFileIndex);
        Log(g_log, "Info : Send message  to  check md5  ~~~~");
        if (!m_deps.convertedList.AddRecord(*r, !m_deps.convertedList.IsSearching()))
            SyncConverted(*r); // converted again: the element takes the new output
        GiveToMd5(*r);
        m_deps.ui.CountsChanged();
        return;
    }
    Log(g_log, "Error : UpdateItemByCvrtInfo：FileName:%s , code:%d \r\n'", r->strFilePath.c_str(), code);
    m_deps.courseList.SetTooltip(r->strFileIndex, e.tooltipText);
    Log(g_log, "Error : update convert status (%s)", e.tooltipText.c_str());
    Changed(*r);
}

// --------------------------------------------------------------------------------- digest

void CCoursePipeline::InitMd5Thread()
{
    if (m_pGetMd5Thread && m_pGetMd5Thread->IsActive())
        return;
    m_pGetMd5Thread = std::make_unique<CGetFileMd5Thread>(m_deps.loop, m_target);
    m_pGetMd5Thread->Start();
}

void CCoursePipeline::GiveToMd5(const _sLCItemData& r)
{
    GiveToMd5(std::vector<_sLCItemData>{r});
}

void CCoursePipeline::GiveToMd5(std::vector<_sLCItemData> records)
{
    if (!m_bSession)
        return;
    records.erase(
        std::remove_if(records.begin(), records.end(),
                       [this](const _sLCItemData& r) { return m_digesting.count(r.strFileIndex) > 0; }),
        records.end());
    if (records.empty())
        return;
    // One hand-over for the lot: after a restore thousands of records may be due at once.
    Log(g_log, "Info : CMainWnd:: OnFileConvert m_pGetMd5Thread->AddTask ~start~~ %zu", records.size());
    InitMd5Thread();
    if (!m_pGetMd5Thread->AddFiles(records)) {
        m_pGetMd5Thread.reset();
        InitMd5Thread();
        m_pGetMd5Thread->AddFiles(records);
    }
    for (const _sLCItemData& r : records)
        m_digesting.insert(r.strFileIndex);
    Log(g_log, "Info : CMainWnd::m_pGetMd5Thread->AddTask end");
}

void CCoursePipeline::CheckFileMd5(uint64_t wParam)
{
    Log(g_log, "Info : CMainWnd::CheckFileMd5  start");
    if (wParam == 0) {
        std::vector<_sLCItemData> due;
        for (const std::string& idx : m_deps.courseList.Indexes()) {
            const _sLCItemData* r = Find(idx);
            if (r && (r->nStatus == CS_CONVERTED || r->nStatus == CS_MD5_FAILED))
                due.push_back(*r);
        }
        GiveToMd5(std::move(due));
    } else if (wParam == 1) {
        // Only an idle thread goes: one with digests still due keeps working.
        if (m_pGetMd5Thread && m_digesting.empty() && m_staleDigests.empty()) {
            Log(g_log, "Info : CMainWnd::Release  m_pGetMd5Thread ~start~~");
            m_pGetMd5Thread.reset();
            Log(g_log, "Info : CMainWnd::Release  m_pGetMd5Thread ~end~~");
        }
    } else {
        Log(g_log, "Warning : type is not  right");
    }
    Log(g_log, "Info : CMainWnd::CheckFileMd5  end");
}

void CCoursePipeline::OnMD5Message(int64_t code, _sLCItemData&& copy)
{
    if (code < -4 || code > 0)
        return;
    Log(g_log, "Info : OnMD5Message start");
    if (auto stale = m_staleDigests.find(copy.strFileIndex); stale != m_staleDigests.end()) {
        // Taken over a file that has been made anew since: the new file's digest follows.
        if (--stale->second <= 0)
            m_staleDigests.erase(stale);
        Log(g_log, "Info : OnMD5Message: the digest of a replaced file is dropped, file_index(%s)",
            copy.strFileIndex.c_str());
        return;
    }
    m_digesting.erase(copy.strFileIndex);
    _sLCItemData* r = Find(copy.strFileIndex);
    if (!r || (r->nStatus != CS_CONVERTED && r->nStatus != CS_MD5_FAILED)) {
        Log(g_log, "Info : OnMD5Message end");
        return;
    }
    if (code < 0 || copy.i64FileEnd <= 0) {
        // Kept as an upload failure: the user's "upload" sends it back to the digest.
        SetStatus(*r, CS_UPLOAD_FAILED);
        std::string text = Text(2272) + "\"" + r->strFileName + "\"" + Text(2263) + Text(2268) + "\n";
        m_deps.courseList.SetTooltip(r->strFileIndex, text);
        Log(g_log, "Error : Gather_Md5_Failed, msg(%s)", text.c_str());
        Store(*r);
        Changed(*r);
    } else {
        r->strMd5 = copy.strMd5;
        r->i64FileEnd = copy.i64FileEnd;
        SetStatus(*r, CS_WAIT_UPLOAD);
        Store(*r);
        Changed(*r);
        const std::string idx = r->strFileIndex;
        int result = AddTransItem(idx);
        if (result != 1 && (r = Find(idx)))
            Log(g_log, "Error : AddTransItem Failed ,code:%d : Name:%s ,ConvertPath:%s,MD5:%s\r\n", result,
                r->strFileName.c_str(), r->strConvertPath.c_str(), r->strMd5.c_str());
    }
    Log(g_log, "Info : OnMD5Message end");
}

} // namespace vx
