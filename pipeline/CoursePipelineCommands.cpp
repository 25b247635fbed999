// The user's commands on records: upload, pause, convert again, stop a conversion, delete. A
// command may ask the user in the middle of its loop, and anything may happen to the lists
// while a question is open, so every record is looked up again by its file index after each
// answer.

#include "pipeline/CoursePipeline.h"

#include "app/LogFile.h"
#include "media/ConvertMgr.h"
#include "media/GetFileMd5Thread.h"
#include "media/MediaInfo.h"
#include "media/MediaInfoThread.h"
#include "store/DbTransaction.h"
#include "upload/FileTransMgr.h"

#include <algorithm>

namespace vx {

void CCoursePipeline::CourseUpLoadFile(const std::vector<std::string>& fileIndexes)
{
    Log(g_log, "Info : CourseUpLoadFile--start------ ");
    if (fileIndexes.empty()) {
        m_deps.ui.MessageBox(Text(2067), MB_INFO);
        return;
    }
    m_bSpaceFullShown = false; // the user acted: a full space is told again
    for (const std::string& idx : fileIndexes) {
        _sLCItemData* r = Find(idx);
        // Queued or uploading already: a second hand-over would send the file twice.
        if (!r || r->nStatus == CS_UPLOADING || r->nStatus == CS_UPLOAD_QUEUED)
            continue;
        if (r->i64DirId <= 0)
            r->i64DirId = RootFolder();
        r->nTransTimes = 0;
        // A record whose digest failed has nothing to upload yet: back to the digest worker.
        if (r->nStatus == CS_UPLOAD_FAILED && (r->strMd5.empty() || r->i64FileEnd <= 0)) {
            SetStatus(*r, CS_CONVERTED);
            m_deps.courseList.SetTooltip(idx, "");
            Store(*r);
            Changed(*r);
            GiveToMd5(*r);
            continue;
        }
        int result = AddTransItem(idx);
        if (result == 1)
            continue;
        int reason = result == -1 ? 2069 : result == -2 ? 2070 : result == -3 ? 2071 : 2087;
        r = Find(idx);
        std::string text = (r ? r->strFileName : idx) + " " + Text(2068) + " " + Text(reason);
        Log(g_log, "Info : %s", text.c_str());
        m_deps.ui.MessageBox(text, MB_INFO);
    }
    Log(g_log, "Info : CourseUpLoadFile--end------ ");
}

void CCoursePipeline::PauseUpload(const std::vector<std::string>& fileIndexes)
{
    if (!m_pFileTransMgr)
        return;
    std::vector<std::string> uploading;
    for (const std::string& idx : fileIndexes)
        if (const _sLCItemData* r = Find(idx);
            r && (r->nStatus == CS_UPLOAD_QUEUED || r->nStatus == CS_UPLOADING))
            uploading.push_back(idx);
    // Withdrawn together: a thousand queued uploads are one pass over the queue, and the
    // running ones stop at the same time instead of one after another.
    const std::vector<std::string> removed = m_pFileTransMgr->RemoveTransferFiles(uploading);
    const std::set<std::string> paused(removed.begin(), removed.end());
    // One transaction for all the status writes: a thousand paused uploads are one commit.
    CDbTransaction tx(m_deps.db);
    for (const std::string& idx : uploading) {
        _sLCItemData* r = paused.count(idx) ? Find(idx) : nullptr;
        if (!r)
            continue;
        m_busyWaits.erase(idx);
        r->nSpeed = 0;
        SetStatus(*r, CS_UPLOAD_PAUSED);
        Store(*r);
        Changed(*r);
    }
    if (tx.Started() && !tx.Commit())
        Log(g_log, "Error : the paused uploads could not be stored in %s: %s", m_deps.db.Path().c_str(),
            m_deps.db.LastError().c_str());
}

void CCoursePipeline::CourseConvertFile(const std::vector<std::string>& fileIndexes)
{
    Log(g_log, "Info : CourseConvertFile--start------ ");
    if (!m_pConvertMgr)
        return;
    if (fileIndexes.empty()) {
        m_deps.ui.MessageBox(Text(2074), MB_INFO);
        return;
    }
    for (const std::string& idx : fileIndexes) {
        _sLCItemData* r = Find(idx);
        if (!r)
            continue;
        // A later stage (digest, upload) holds the record: it keeps it until the conversion is
        // accepted, so a refused conversion leaves the record where it was.
        const bool later = r->nStatus > CS_CONVERT_STOPPED;
        if (later) {
            if (m_deps.ui.MessageBox(Text(2075), MB_QUESTION) != 1)
                continue;
            if (!(r = Find(idx)))
                continue;
        }
        if (r->nFileType == 0 && r->miData.i64FileSize <= 0) {
            CMediaInfo probe(r->strFilePath);
            MiData mi;
            int status = probe.GetMiData(&mi);
            if (status != MI_OK) {
                m_deps.ui.MessageBox(Text(2076) + std::to_string(status) + " ", MB_WARNING);
                continue;
            }
            if (!(r = Find(idx)))
                continue;
            r->nFileBits = mi.nBitRate[MI_GENERAL] / 1000;
            r->nWidth = mi.nWidth;
            r->nHeight = mi.nHeight;
            r->i64FileSize = mi.i64FileSize;
            r->miData = mi;
            if (!later)
                SetStatus(*r, CS_WAIT_CONVERT);
        }
        int result;
        if (r->nFileType == 1) {
            // The copy is never refused and overwrites the upload file at once: the upload lets
            // go first. Its result moves the record from 3 to 8 like a conversion's.
            if (later)
                ReleaseUploadFile(idx);
            if ((r = Find(idx)))
                SetStatus(*r, CS_WAIT_CONVERT);
            result = DealUnVideoFiles(idx);
        } else {
            result = AddConvertItem(idx);
            if (result == 1 && later)
                ReleaseUploadFile(idx);
        }
        if (result < 1) {
            r = Find(idx);
            m_deps.ui.MessageBox((r ? r->strFileName : idx) + " " + Text(2077), MB_INFO);
        }
    }
    Log(g_log, "Info : CourseConvertFile--end------ ");
}

void CCoursePipeline::CoursePauseConvertFile(const std::vector<std::string>& fileIndexes)
{
    Log(g_log, "Info : CoursePauseConvertFile--start------ ");
    for (const std::string& idx : fileIndexes) {
        _sLCItemData* r = Find(idx);
        if (!r || !m_pConvertMgr)
            continue;
        if (r->nStatus == CS_CONVERTING) {
            if (m_deps.ui.MessageBox(Text(2054), MB_QUESTION) != 1)
                continue;
            if (!(r = Find(idx)))
                continue;
        }
        // Only a record the convert manager holds can be stopped; others keep their stage.
        if (r->nStatus != CS_CONVERT_QUEUED && r->nStatus != CS_CONVERTING && r->nStatus != CS_WAIT_CONVERT)
            continue;
        if (!m_pConvertMgr->RemoveFile(idx) || !(r = Find(idx)))
            continue;
        r->nSpeed = 0;
        r->nProgress = 0;
        SetStatus(*r, CS_CONVERT_STOPPED);
        Store(*r);
        Changed(*r);
    }
    Log(g_log, "Info : CoursePauseConvertFile--end------ ");
}

void CCoursePipeline::ReleaseUploadFile(const std::string& fileIndex)
{
    if (m_pFileTransMgr)
        m_pFileTransMgr->RemoveTransferFile(fileIndex);
    m_busyWaits.erase(fileIndex);
    DropDigest(fileIndex);
    if (_sLCItemData* r = Find(fileIndex)) {
        // A resumed upload must never mix the old file's offsets with the new file's bytes.
        r->i64FileId = 0;
        r->i64FileStart = 0;
        r->strMd5.clear();
        Store(*r);
        Changed(*r);
    }
}

void CCoursePipeline::DropDigest(const std::string& fileIndex)
{
    if (!m_digesting.erase(fileIndex))
        return;
    // Still queued, it goes with the queue; already taken, its result comes and is dropped.
    if (m_pGetMd5Thread && m_pGetMd5Thread->RemoveFiles({fileIndex}) == 0)
        ++m_staleDigests[fileIndex];
}

void CCoursePipeline::ForgetRestored(const std::vector<std::string>& fileIndexes)
{
    if (m_restoreConverted.empty() && m_restoreCourse.empty())
        return;
    const std::set<std::string> gone(fileIndexes.begin(), fileIndexes.end());
    auto drop = [&gone](std::vector<_sLCItemData>& rows, size_t at) {
        rows.erase(std::remove_if(rows.begin() + static_cast<std::ptrdiff_t>(at), rows.end(),
                                  [&gone](const _sLCItemData& r) { return gone.count(r.strFileIndex) > 0; }),
                   rows.end());
    };
    drop(m_restoreConverted, m_restoreConvertedAt);
    drop(m_restoreCourse, m_restoreCourseAt);
}

void CCoursePipeline::Withdraw(const std::vector<std::string>& fileIndexes)
{
    if (m_pMediaThread)
        m_pMediaThread->RemoveFiles(fileIndexes);
    if (m_pGetMd5Thread)
        m_pGetMd5Thread->RemoveFiles(fileIndexes);
    // A session still listing its restored records must not list these afterwards.
    ForgetRestored(fileIndexes);
    std::vector<std::string> uploading;
    for (const std::string& idx : fileIndexes) {
        m_probing.erase(idx);
        m_digesting.erase(idx);
        m_busyWaits.erase(idx);
        const _sLCItemData* r = Find(idx);
        if (!r)
            r = m_deps.convertedList.Find(idx);
        if (!r)
            continue;
        if ((r->nStatus == CS_CONVERT_QUEUED || r->nStatus == CS_CONVERTING) && m_pConvertMgr)
            m_pConvertMgr->RemoveFile(idx);
        if (r->nStatus == CS_UPLOAD_QUEUED || r->nStatus == CS_UPLOADING)
            uploading.push_back(idx);
    }
    // The records go for good, so a stopped run's late report finds nothing to change: the
    // window need not wait for the running uploads to wind down.
    if (m_pFileTransMgr && !uploading.empty())
        m_pFileTransMgr->RemoveTransferFiles(uploading, false);
}

bool CCoursePipeline::DeleteStored(const std::vector<_sLCItemData>& records)
{
    // The database first: a batch it refuses (another program holds the file, the disk is
    // full) cancels the whole deletion, so no record is gone from the lists but still stored
    // (back at the next start) or the reverse.
    if (m_deps.db.DeleteCourseFile(records, UserId()))
        return true;
    const std::string text = "The " + std::to_string(records.size()) +
                             " course files could not be deleted from " + m_deps.db.Path() + ": " +
                             m_deps.db.LastError() + ". Nothing was deleted.";
    Log(g_log, "Error : %s", text.c_str());
    m_deps.ui.MessageBox(text, MB_WARNING);
    return false;
}

void CCoursePipeline::DeleteProcessItem(const std::vector<std::string>& fileIndexes)
{
    Log(g_log, "Info : CMainWnd::DeleteProcessItem     start  ");
    if (fileIndexes.empty()) {
        m_deps.ui.MessageBox(Text(2062), MB_INFO);
        return;
    }
    std::vector<_sLCItemData> records;
    std::vector<std::string> listed;
    for (const std::string& idx : fileIndexes)
        if (const _sLCItemData* r = Find(idx)) {
            records.push_back(*r);
            listed.push_back(idx);
        }
    if (!DeleteStored(records))
        return;
    Withdraw(fileIndexes);
    m_deps.convertedList.RemoveRecords(listed);
    m_deps.courseList.RemoveRecords(listed);
    if (m_deps.courseList.Indexes().empty())
        StopWorkCheck();
    m_deps.ui.CountsChanged();
    Log(g_log, "Info : CMainWnd::DeleteProcessItem     end  ");
}

void CCoursePipeline::DeleteDoneItem(const std::vector<std::string>& fileIndexes)
{
    Log(g_log, "Info : CMainWnd::DeleteDoneItem     start  ");
    if (fileIndexes.empty()) {
        m_deps.ui.MessageBox(Text(2062), MB_INFO);
        return;
    }
    std::vector<_sLCItemData> records;
    std::vector<std::string> listed;
    for (const std::string& idx : fileIndexes) {
        const _sLCItemData* r = m_deps.convertedList.Find(idx);
        if (!r)
            r = Find(idx);
        if (r) {
            records.push_back(*r);
            listed.push_back(idx);
        }
    }
    if (!DeleteStored(records))
        return;
    Withdraw(fileIndexes);
    m_deps.courseList.RemoveRecords(listed);
    m_deps.convertedList.RemoveRecords(listed);
    m_deps.ui.CountsChanged();
    Log(g_log, "Info : CMainWnd::DeleteDoneItem     end  ");
}

} // namespace vx

namespace vx {

bool CCoursePipeline::HoldRecord(const std::string& fileIndex, const std::string& cause)
{
    _sLCItemData* r = Find(fileIndex);
    if (!r)
        return false;
    Withdraw({fileIndex});
    m_retryDue.erase(fileIndex);
    if (!(r = Find(fileIndex)))
        return false;
    // A converted record has its upload file to lose; anything before has its source.
    SetStatus(*r, r->nStatus >= CS_CONVERTED ? CS_UPLOAD_FAILED : CS_MEDIA_FAILED);
    r->nTransTimes = 1; // not one of the never-tried waiting uploads
    r->nProgress = 0;
    r->nSpeed = 0;
    m_deps.courseList.SetTooltip(fileIndex, cause);
    Changed(*r);
    Log(g_log, "Info : %s is left alone until the user acts: %s", r->strFilePath.c_str(), cause.c_str());
    return true;
}

} // namespace vx
