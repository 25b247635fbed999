// The course list applying the workers' reports to its records, and the rename of an upload
// file the file server refused.

#include "app/AppConfig.h"
#include "app/LogFile.h"
#include "app/Utils.h"
#include "pipeline/PipelineMessages.h"
#include "pipeline/PipelineModels.h"
#include "store/CourseStatus.h"
#include "ui/lists/ConvertedListModel.h"
#include "ui/lists/LCListView.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace vx {

namespace {

// The server holds other content under this file's name: rename and upload again.
constexpr int kTransRefused = -105;

std::string LocalTimeText()
{
    const time_t t = time(nullptr);
    struct tm tm
    {
    };
    localtime_r(&t, &tm);
    char buf[64];
    snprintf(buf, sizeof buf, "%4d-%02d-%02d %2d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
             tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

} // namespace

std::string CLCListView::FailureTooltip(int prefixText, const std::string& name, int failText,
                                        bool blank) const
{
    if (!m_ctx.config)
        return std::string();
    return m_ctx.config->GetText(prefixText) + "\"" + name + "\"" + (blank ? " " : "") +
           m_ctx.config->GetText(2263) + m_ctx.config->GetText(failText) + "\n";
}

void CLCListView::UpdateItemByCvrtInfo(const _sConvertReport& report)
{
    ListRow* row = m_pList->FindRow(report.strFileIndex);
    if (!row || report.strFileIndex.empty())
        return;
    _sLCItemData& r = row->record;
    const int code = report.nCode;
    const int32_t target = code == CR_PROGRESS  ? CS_CONVERTING
                           : code == CR_SUCCESS ? CS_CONVERTED
                                                : CS_CONVERT_FAILED;
    // A report for a task the user stopped or restarted meanwhile changes nothing.
    if (!CanChangeStatus(r.nStatus, target))
        return;
    r.nProgress = std::min<int>(report.nValue, 99);
    r.strConvertPath = report.strOutPath;
    r.nStatus = target;
    if (code == CR_SUCCESS) {
        r.strConvertName = NameOfPath(r.strConvertPath);
        r.strModifyTime = LocalTimeText();
        r.nProgress = 100;
        Store(r);
    } else if (code != CR_PROGRESS) {
        Store(r);
        Log(g_log, "Error : UpdateItemByCvrtInfo：FileName:%s , code:%d \r\n'", r.strFilePath.c_str(), code);
        const int textNo = ConvertFailTextNo(code);
        if (textNo != 0) {
            row->tooltip = FailureTooltip(2264, r.strFileName, textNo, true);
            Log(g_log, "Error : update convert status (%s)", row->tooltip.c_str());
        }
    }
    m_pList->Changed(r.strFileIndex);
}

void CLCListView::UpdateItemByTransInfo(const _sTransReport& report)
{
    if (report.i64FileId <= 0 && report.strFileIndex.empty())
        return;
    ListRow* row = m_pList->FindRow(report.strFileIndex);
    // Only a record the transfer manager holds takes reports: one that was paused, deleted or
    // handed over again meanwhile keeps its state.
    if (!row || (row->record.nStatus != CS_UPLOAD_QUEUED && row->record.nStatus != CS_UPLOADING))
        return;
    _sLCItemData& r = row->record;
    const std::string idx = r.strFileIndex;
    const int code = report.nCode;
    const int64_t now = m_pList->NowMs();
    r.i64FileId = report.i64FileId;
    r.i64FileStart = report.i64Pos;
    // Bytes per second: what was sent since this file's previous report over the time since
    // it. The first report of a run only sets the clock.
    if (code == TR_PROGRESS) {
        if (row->lastReportMs >= 0) {
            const int64_t elapsed = std::max<int64_t>(1, now - row->lastReportMs);
            r.nSpeed = static_cast<int32_t>(
                std::min<int64_t>(int64_t{report.nInterval} * 1000 / elapsed, INT32_MAX));
        } else {
            r.nSpeed = 0;
        }
        row->lastReportMs = now;
    } else {
        r.nSpeed = 0;
        row->lastReportMs = -1;
    }
    r.nProgress = r.i64FileEnd > 0
                      ? static_cast<int32_t>(std::min<int64_t>(report.i64Pos * 100 / r.i64FileEnd, 100))
                      : 0;
    if (r.nProgress >= 100) {
        r.nProgress = 99;
        r.nSpeed = 0;
    }
    if (code == TR_UPLOADED) {
        r.nStatus = CS_UPLOADED;
        r.nProgress = 100;
        Store(r);
        if (m_pConverted)
            if (_sLCItemData* e = m_pConverted->Find(idx)) {
                *e = r;
                m_pConverted->Changed(idx);
            }
        m_pList->Changed(idx);
        return;
    }
    if (code == TR_PROGRESS) {
        row->tooltip.clear();
        if (r.nStatus == CS_UPLOAD_QUEUED) {
            r.nStatus = CS_UPLOADING;
            Store(r);
        }
        m_pList->Changed(idx);
        return;
    }
    int textNo = 0;
    if (code == kTransRefused) {
        Log(g_log, "Info : UpdateItemByTransInfo：FileName:%s ,ConvetFileName:%s  Errcode:%d ",
            r.strFilePath.c_str(), r.strConvertPath.c_str(), code);
        if (ReNameCourseFile(idx) || ReNameCourseFile(idx))
            return;
        // Both names were refused by the file system: the upload cannot go on by itself.
        textNo = kRenameFailedText;
    } else {
        if (code == -102)
            Log(g_log, "Info : UpdateItemByTransInfo：FileName:%s ,ConvetFileName:%s  Errcode:%d",
                r.strFilePath.c_str(), r.strConvertPath.c_str(), code);
        textNo = UploadFailTextNo(code);
    }
    r.nStatus = CS_UPLOAD_FAILED;
    if (textNo != 0) {
        row->tooltip = FailureTooltip(2272, r.strFileName, textNo, false);
        r.nProgress = 0;
        LogText(g_log, row->tooltip);
    }
    Store(r);
    m_pList->Changed(idx);
}

bool CLCListView::ReNameCourseFile(const std::string& fileIndex)
{
    ListRow* row = fileIndex.empty() ? nullptr : m_pList->FindRow(fileIndex);
    if (!row)
        return false;
    _sLCItemData& r = row->record;
    std::string marker;
    const bool stamp = !m_ctx.config || (m_ctx.config->m_setData.nUinfo & kOptTimeStamp) ||
                       m_ctx.config->m_setData.strTimeStamp.empty();
    if (stamp) {
        // The date and the milliseconds of a monotonic clock: a second attempt gets a new name.
        const time_t t = time(nullptr);
        struct tm tm
        {
        };
        localtime_r(&t, &tm);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
        char buf[64];
        snprintf(buf, sizeof buf, "%04d%02d%02d%lld", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                 static_cast<long long>(ms));
        marker = buf;
    } else {
        marker = m_ctx.config->m_setData.strTimeStamp;
    }
    const std::string old = r.strConvertPath;
    const size_t slash = old.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : old.substr(0, slash + 1);
    const std::string name = old.substr(folder.size());
    const std::string ext = GetFileExt(name);
    const std::string renamed = folder + name.substr(0, name.size() - ext.size()) + marker + ext;
    // rename() replaces an existing target and refuses to cross file systems (EXDEV), which
    // takes the failure path: a copy would leave two large files behind.
    if (old.empty() || renamed == old || std::rename(old.c_str(), renamed.c_str()) != 0) {
        Log(g_log, "Error: CLCListView::ReNameCourseFile-- Rename  is failed  FileName:%s   ErrorCode : %d ",
            old.c_str(), errno);
        return false;
    }
    r.strConvertPath = renamed;
    r.strConvertName = NameOfPath(renamed);
    r.nStatus = CS_WAIT_UPLOAD;
    r.nTransTimes = 0;
    r.nProgress = 0;
    row->tooltip.clear();
    Store(r);
    if (m_pConverted)
        if (_sLCItemData* e = m_pConverted->Find(fileIndex)) {
            *e = r;
            m_pConverted->Changed(fileIndex);
        }
    if (m_ctx.host)
        m_ctx.host->RestartTransTimer(kRenameRetryMs);
    m_pList->Changed(fileIndex);
    return true;
}

} // namespace vx
