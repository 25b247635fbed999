// CLocalDb: course files (table coursefile).

#include "app/LogFile.h"
#include "store/DbTransaction.h"
#include "store/LocalDb.h"
#include "store/SqlStatement.h"

namespace vx {
namespace {

long long LL(int64_t v)
{
    return static_cast<long long>(v);
}

void LogSaveFailure(const char* what, const _sLCItemData& r, int64_t userId, const std::string& error)
{
    Log(g_log,
        "%s  : coursefile  Failed! name = %s, id =%lld, direcid = %lld, userid = %lld. Error msg is : %s",
        what, r.strFileName.c_str(), LL(r.i64FileId), LL(r.i64DirId), LL(userId), error.c_str());
}

// The failure line of a batch update or deletion (op names it) at record r.
void LogBatchFailure(const char* op, const _sLCItemData& r, int64_t userId, const std::string& error)
{
    Log(g_log, "Error : %s Failed! name = %s, id =%lld, direcid = %lld, userid = %lld. Error msg is : %s", op,
        r.strFileName.c_str(), LL(r.i64FileId), LL(r.i64DirId), LL(userId), error.c_str());
}

} // namespace

bool CLocalDb::InsertCourseFile(const _sLCItemData& r, int64_t userId)
{
    return Prepare("insert into coursefile(fileindex, userid, orgid, fileid,direcid,filename, filename_old, "
                   "filepath, convertpath,\t\t\t\t filepath_s,status,filesize,filestart,filemd5,width,height,"
                   "filebits,filetype,modifytime,fileend,enabled) values \t\t\t\t "
                   "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)")
        .BindAll(r.strFileIndex, userId, 0, r.i64FileId, r.i64DirId, r.strFileName, r.strFileName,
                 r.strFilePath, r.strConvertPath, "", r.nStatus, r.i64FileSize, r.i64FileStart, r.strMd5,
                 r.nWidth, r.nHeight, r.nFileBits, r.nFileType, "", r.i64FileEnd, r.nEnabled)
        .Run();
}

// The batch is one transaction: either every record is stored or, after a failure, none of
// them is (the caller learns which and can keep the records for another attempt).
bool CLocalDb::SaveCourseFiles(const std::vector<_sLCItemData>& records, int64_t userId)
{
    return SaveCourseBatch(records, userId, false);
}

bool CLocalDb::SaveCourseBatch(const std::vector<_sLCItemData>& records, int64_t userId, bool fresh,
                               bool inbox)
{
    WaitForBackground();
    if (!m_db)
        return false;
    CDbTransaction tx(*this);
    if (!tx.Started()) {
        if (!records.empty())
            LogSaveFailure("insert", records.front(), userId, Error());
        return false;
    }
    for (const _sLCItemData& r : records) {
        int exists = 0; // a fresh file index cannot be stored yet
        if (!fresh) {
            CSqlStatement q = Prepare("select 1 from coursefile where userid=? and fileindex=? ");
            exists = q.BindAll(userId, r.strFileIndex).Next();
        }
        if (exists < 0) {
            Log(g_log, "Error : CheckFile failed.  userid = %lld. Error msg is : %s", LL(userId),
                Error().c_str());
            return false;
        }
        const bool ok = exists == 1
                            ? Prepare("update coursefile set fileid=?,filepath=?,convertpath=?, status=?,"
                                      "filestart=?,filemd5=?  where fileindex=? and userid=? ")
                                  .BindAll(r.i64FileId, r.strFilePath, r.strConvertPath, r.nStatus,
                                           r.i64FileStart, r.strMd5, r.strFileIndex, userId)
                                  .Run()
                            : InsertCourseFile(r, userId);
        if (!ok || (inbox && !Prepare("insert or replace into queueinbox(fileindex, userid) values (?,?)")
                                  .BindAll(r.strFileIndex, userId)
                                  .Run())) {
            LogSaveFailure(exists == 1 ? "Update" : "insert", r, userId, Error());
            return false;
        }
    }
    if (tx.Commit())
        return true;
    if (!records.empty())
        LogSaveFailure("insert", records.front(), userId, Error());
    return false;
}

bool CLocalDb::InsertNewCourseFiles(const std::vector<_sLCItemData>& records, int64_t userId,
                                    bool forQueueWorker)
{
    return SaveCourseBatch(records, userId, true, forQueueWorker);
}

bool CLocalDb::CheckFile(const std::string& fileIndex, int64_t userId)
{
    WaitForBackground();
    CSqlStatement q = Prepare("select 1 from coursefile where userid=? and fileindex=? ");
    const int rc = q.BindAll(userId, fileIndex).Next();
    if (rc < 0 && m_db)
        Log(g_log, "Error : CheckFile failed.  userid = %lld. Error msg is : %s", LL(userId),
            Error().c_str());
    return rc == 1;
}

bool CLocalDb::GetCourseFile(int64_t userId, std::vector<_sLCItemData>* out)
{
    WaitForBackground();
    return ReadCourseFiles(userId, false, out);
}

bool CLocalDb::ReadCourseFiles(int64_t userId, bool inboxOnly, std::vector<_sLCItemData>* out)
{
    out->clear();
    if (!m_db)
        return false;
    constexpr int kLow = -1, kHigh = 15;
#define VX_COURSE_COLUMNS                                                                                    \
    "select fileindex, fileid, direcid, filename, filepath, convertpath, status, "                           \
    "filesize, filestart, filemd5, width, height, filebits, filetype, modifytime, "                          \
    "fileend, cvrfileBits, cvrfiletime from coursefile where userid=? and enabled=? "                        \
    "and status>=?  and status <=? "
    CSqlStatement q = inboxOnly
                          ? Prepare(VX_COURSE_COLUMNS "and fileindex in (select fileindex from queueinbox "
                                                      "where userid=?) order by rowid")
                          : Prepare(VX_COURSE_COLUMNS "order by rowid");
#undef VX_COURSE_COLUMNS
    q.BindAll(userId, 0, kLow, kHigh);
    if (inboxOnly)
        q.Bind(userId);
    int rc;
    while ((rc = q.Next()) == 1) {
        _sLCItemData r;
        r.strFileIndex = q.Text(0);
        r.i64FileId = q.Int64(1);
        r.i64DirId = q.Int64(2);
        r.strFileName = q.Text(3);
        r.strFilePath = q.Text(4);
        r.strConvertPath = q.Text(5);
        r.nStatus = q.Int(6);
        r.i64FileSize = q.Int64(7);
        r.i64FileStart = q.Int64(8);
        r.strMd5 = q.Text(9);
        r.nWidth = q.Int(10);
        r.nHeight = q.Int(11);
        r.nFileBits = q.Int(12);
        r.nFileType = q.Int(13);
        r.strModifyTime = q.Text(14);
        r.i64FileEnd = q.Int64(15);
        r.miData.nBitRate[MI_GENERAL] = q.Int(16);
        r.miData.nDuration[MI_GENERAL] = q.Int(17);
        out->push_back(std::move(r));
    }
    if (rc < 0) {
        Log(g_log, "Error : GetCourseFile failed. status, = %d,%d, userid = %lld. Error msg is : %s", kLow,
            kHigh, LL(userId), Error().c_str());
        out->clear();
        return false;
    }
    return true;
}

bool CLocalDb::LoadCourseFiles(int64_t userId, std::vector<_sLCItemData>* out)
{
    WaitForBackground();
    if (!GetCourseFile(userId, out))
        return false;
    for (_sLCItemData& r : *out)
        r.FoldBackForLoad();
    return true;
}

bool CLocalDb::LoadQueue(int64_t userId, std::vector<_sLCItemData>* out)
{
    return TakeCourseFiles(userId, false, out);
}

bool CLocalDb::TakeQueueInbox(int64_t userId, std::vector<_sLCItemData>* out)
{
    return TakeCourseFiles(userId, true, out);
}

bool CLocalDb::TakeCourseFiles(int64_t userId, bool inboxOnly, std::vector<_sLCItemData>* out)
{
    WaitForBackground();
    CDbTransaction tx(*this);
    if (!tx.Started() || !ReadCourseFiles(userId, inboxOnly, out) ||
        !Prepare("delete from queueinbox where userid=?").BindAll(userId).Run() || !tx.Commit()) {
        Log(g_log, "Error : the queue of user %lld could not be read. Error msg is : %s", LL(userId),
            Error().c_str());
        out->clear();
        return false;
    }
    for (_sLCItemData& r : *out)
        r.FoldBackForLoad();
    return true;
}

bool CLocalDb::HasQueueInbox(int64_t userId)
{
    CSqlStatement q = Prepare("select 1 from queueinbox where userid=? limit 1");
    return q.BindAll(userId).Next() == 1;
}

bool CLocalDb::GetCourseUsers(std::vector<int64_t>* out)
{
    out->clear();
    CSqlStatement q = Prepare("select distinct userid from coursefile where enabled=0 order by userid");
    int rc;
    while ((rc = q.Next()) == 1)
        out->push_back(q.Int64(0));
    return rc == 0;
}

bool CLocalDb::UpdateCourseRow(const _sLCItemData& r, int64_t userId, bool withModifyTime)
{
    if (withModifyTime)
        return Prepare(
                   "update coursefile set fileid=?,filepath=?,convertpath=?, status=?,filestart=?,filemd5=?,"
                   "filesize=?,filebits=?,width=?,height=?,modifytime=?, fileend=? where fileindex=? and "
                   "userid=? ")
            .BindAll(r.i64FileId, r.strFilePath, r.strConvertPath, r.nStatus, r.i64FileStart, r.strMd5,
                     r.i64FileSize, r.nFileBits, r.nWidth, r.nHeight, r.strModifyTime, r.i64FileEnd,
                     r.strFileIndex, userId)
            .Run();
    return Prepare("update coursefile set fileid=?,filepath=?,convertpath=?, status=?,filestart=?,filemd5=?,"
                   "filesize=?,filebits=?,width=?,height=? where fileindex=? and userid=? ")
        .BindAll(r.i64FileId, r.strFilePath, r.strConvertPath, r.nStatus, r.i64FileStart, r.strMd5,
                 r.i64FileSize, r.nFileBits, r.nWidth, r.nHeight, r.strFileIndex, userId)
        .Run();
}

// One statement, so it is its own transaction. Every variant writes the upload length from
// i64FileEnd (a record without a modification time used to get its source size there).
bool CLocalDb::UpdateCourseFile(const _sLCItemData& r, int64_t userId, bool bConvertOnly)
{
    WaitForBackground();
    if (!m_db)
        return false;
    bool ok;
    if (r.strModifyTime.empty()) {
        ok =
            Prepare("update coursefile set fileid=?,filepath=?,convertpath=?, status=?,filestart=?,fileend=?,"
                    "filemd5=?,filesize=?,filebits=?,width=?,height=? where fileindex=? and userid=? ")
                .BindAll(r.i64FileId, r.strFilePath, r.strConvertPath, r.nStatus, r.i64FileStart,
                         r.i64FileEnd, r.strMd5, r.i64FileSize, r.nFileBits, r.nWidth, r.nHeight,
                         r.strFileIndex, userId)
                .Run();
    } else if (bConvertOnly) {
        ok = Prepare(
                 "update coursefile set fileid=?,cvrfileBits=?,cvrfiletime=? where fileindex=? and userid=? ")
                 .BindAll(r.i64FileId, r.miData.nBitRate[MI_GENERAL], r.miData.nDuration[MI_GENERAL],
                          r.strFileIndex, userId)
                 .Run();
    } else {
        ok = UpdateCourseRow(r, userId, true);
    }
    if (!ok)
        Log(g_log, "Error : UpdateCourseFile failed, path = %s, userid = %lld. Error msg is : %s",
            r.strFilePath.c_str(), LL(userId), Error().c_str());
    return ok;
}

bool CLocalDb::UpdateCourseFiles(const std::vector<_sLCItemData>& records, int64_t userId)
{
    WaitForBackground();
    if (!m_db)
        return false;
    CDbTransaction tx(*this);
    for (const _sLCItemData& r : records) {
        if (!tx.Started() || !UpdateCourseRow(r, userId, !r.strModifyTime.empty())) {
            LogBatchFailure("UpdateCourseFile", r, userId, Error());
            return false;
        }
    }
    return tx.Commit();
}

bool CLocalDb::DeleteCourseFile(const std::vector<_sLCItemData>& records, int64_t userId)
{
    WaitForBackground();
    if (!m_db)
        return false;
    CDbTransaction tx(*this);
    for (const _sLCItemData& r : records) {
        if (!tx.Started() || !Prepare("delete from coursefile where fileindex=? and userid=?")
                                  .BindAll(r.strFileIndex, userId)
                                  .Run()) {
            LogBatchFailure("DeleteCourseFile", r, userId, Error());
            return false;
        }
    }
    return tx.Commit();
}

} // namespace vx
