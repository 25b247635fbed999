#include "pipeline/CourseReports.h"

#include "app/AppConfig.h"
#include "app/LogFile.h"
#include "app/UserOptions.h"
#include "app/Utils.h"
#include "platform/FileOps.h"
#include "platform/LocalTime.h"
#include "store/CourseStatus.h"
#include "upload/FileTransThread.h"
#include "upload/TransProtocol.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <ctime>

namespace vx {
namespace {

int64_t SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct tm LocalNow()
{
    return LocalTimeNow();
}

std::string LocalTimeText()
{
    const struct tm tm = LocalNow();
    char buf[64];
    snprintf(buf, sizeof buf, "%4d-%02d-%02d %2d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
             tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::string NameOf(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

} // namespace

CCourseReports::CCourseReports(const CAppConfig& config) : m_config(config), m_clock(SteadyMs) {}

std::string CCourseReports::ConvertFailureText(const std::string& name, int textNo) const
{
    return m_config.GetText(2264) + "\"" + name + "\" " + m_config.GetText(2263) + m_config.GetText(textNo) +
           "\n";
}

std::string CCourseReports::UploadFailureText(const std::string& name, int textNo) const
{
    return m_config.GetText(2272) + "\"" + name + "\"" + m_config.GetText(2263) + m_config.GetText(textNo) +
           "\n";
}

ReportEffect CCourseReports::UpdateItemByCvrtInfo(_sLCItemData& r, const _sConvertReport& report) const
{
    ReportEffect e;
    const int code = report.nCode;
    if (code == CR_PROGRESS) {
        if (r.nStatus != CS_CONVERT_QUEUED && r.nStatus != CS_CONVERTING)
            return e; // a late report of a conversion the user stopped
        e.applied = true;
        e.store = r.nStatus == CS_CONVERT_QUEUED; // the first report: converting from now on
        r.nStatus = CS_CONVERTING;
        r.nProgress = std::min<int>(report.nValue, 99);
        return e;
    }
    const int32_t target = code == CR_SUCCESS ? CS_CONVERTED : CS_CONVERT_FAILED;
    if (!CanChangeStatus(r.nStatus, target) || r.nStatus == CS_CONVERTED)
        return e;
    e.applied = true;
    e.store = true;
    r.nProgress = std::min<int>(report.nValue, 99);
    r.strConvertPath = report.strOutPath;
    r.nStatus = target;
    if (code == CR_SUCCESS) {
        r.strModifyTime = LocalTimeText();
        r.nProgress = 100;
        r.strConvertName = NameOf(r.strConvertPath);
        // A new upload file: nothing the server said about an earlier one holds for it.
        r.i64FileId = 0;
        r.i64FileStart = 0;
        r.strMd5.clear();
        return e;
    }
    // Every failure, 0 included, says why.
    e.tooltip = true;
    e.tooltipText = ConvertFailureText(r.strFileName, ConvertFailTextNo(code));
    return e;
}

ReportEffect CCourseReports::UpdateItemByTransInfo(_sLCItemData& r, const _sTransReport& report)
{
    ReportEffect e;
    if (report.i64FileId <= 0 && report.strFileIndex.empty())
        return e;
    if (r.nStatus != CS_UPLOAD_QUEUED && r.nStatus != CS_UPLOADING) {
        Forget(r.strFileIndex); // paused, deleted or handed over again meanwhile
        return e;
    }
    e.applied = true;
    const int code = report.nCode;
    r.i64FileId = report.i64FileId;
    r.i64FileStart = report.i64Pos;
    if (code == TR_PROGRESS) {
        const int64_t now = m_clock();
        auto it = m_lastReportMs.find(r.strFileIndex);
        if (it != m_lastReportMs.end()) {
            const int64_t elapsed = std::max<int64_t>(1, now - it->second);
            r.nSpeed = static_cast<int32_t>(
                std::min<int64_t>(std::max<int64_t>(0, report.nInterval) * 1000 / elapsed, INT32_MAX));
            it->second = now;
        } else {
            r.nSpeed = 0;
            m_lastReportMs.emplace(r.strFileIndex, now);
        }
    } else {
        r.nSpeed = 0;
        Forget(r.strFileIndex);
    }
    r.nProgress = r.i64FileEnd > 0
                      ? static_cast<int32_t>(std::clamp<int64_t>(report.i64Pos * 100 / r.i64FileEnd, 0, 100))
                      : 0;
    if (r.nProgress >= 100) {
        r.nProgress = 99;
        r.nSpeed = 0;
    }
    if (code == TR_PROGRESS) {
        e.tooltip = true; // running again: an old failure's text goes
        e.store = r.nStatus == CS_UPLOAD_QUEUED;
        r.nStatus = CS_UPLOADING;
        return e;
    }
    if (code == TR_UPLOADED) {
        e.store = true;
        r.nStatus = CS_UPLOADED;
        r.nProgress = 100;
        return e;
    }
    // The server's own result tells its refusals apart: a new name mends only a name clash.
    if (code == TRANS_REFUSED && report.nSvrResult == kSrvRefused30000) {
        e = UploadFailed(r, kSpaceFullText);
        e.spaceFull = true;
        return e;
    }
    if (code == TRANS_REFUSED) {
        e.rename = true;
        return e;
    }
    if (code == TRANS_OTHER_RESULT && report.nSvrResult == kSrvBusy) {
        e.busy = true;
        return e;
    }
    return UploadFailed(r, UploadFailTextNo(code));
}

ReportEffect CCourseReports::UploadFailed(_sLCItemData& r, int textNo) const
{
    ReportEffect e;
    e.applied = true;
    e.store = true;
    if (CanChangeStatus(r.nStatus, CS_UPLOAD_FAILED))
        r.nStatus = CS_UPLOAD_FAILED;
    else
        Log(g_log, "Warning : %s: status %d -> %d refused", r.strFileIndex.c_str(), r.nStatus,
            CS_UPLOAD_FAILED);
    r.nSpeed = 0;
    if (textNo != 0) {
        e.tooltip = true;
        e.tooltipText = UploadFailureText(r.strFileName, textNo);
        r.nProgress = 0;
    }
    return e;
}

std::string CCourseReports::RenameMarker() const
{
    const _sSetData& o = m_config.m_setData;
    if (!(o.nUinfo & kOptTimeStamp) && !o.strTimeStamp.empty())
        return o.strTimeStamp;
    // Without a suffix of the user's the date stamp makes the new name: the same name would
    // only be refused again. The clock figure differs between two attempts.
    const struct tm tm = LocalNow();
    char buf[64];
    snprintf(buf, sizeof buf, "%04d%02d%02d%lld", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
             static_cast<long long>(SteadyMs()));
    return buf;
}

bool CCourseReports::RenameUploadFile(_sLCItemData& r) const
{
    const std::string old = r.strConvertPath;
    const size_t slash = old.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : old.substr(0, slash + 1);
    const std::string name = old.substr(folder.size());
    const std::string ext = GetFileExt(name);
    const std::string renamed = folder + name.substr(0, name.size() - ext.size()) + RenameMarker() + ext;
    // rename() replaces an existing target and refuses to cross file systems (EXDEV), which
    // takes the failure path: a copy would leave two large files behind.
    if (old.empty() || name.empty() || renamed == old || !CanChangeStatus(r.nStatus, CS_WAIT_UPLOAD) ||
        !RenameReplace(old, renamed)) {
        Log(g_log, "Error: CLCListView::ReNameCourseFile-- Rename  is failed  FileName:%s   ErrorCode : %d ",
            old.c_str(), errno);
        return false;
    }
    r.strConvertPath = renamed;
    r.strConvertName = NameOf(renamed);
    r.nStatus = CS_WAIT_UPLOAD;
    r.nTransTimes = 0;
    r.nProgress = 0;
    r.nSpeed = 0;
    return true;
}

} // namespace vx
