// CLocalDb: the cached copy of the user's remote folder tree (directory) and file lists
// (spacefile).

#include "app/LogFile.h"
#include "store/DbTransaction.h"
#include "store/LocalDb.h"
#include "store/SqlStatement.h"

#include <algorithm>

namespace vx {
namespace {

long long LL(int64_t v)
{
    return static_cast<long long>(v);
}

} // namespace

bool CLocalDb::DeleteDirectoryRow(int64_t id, int64_t userId)
{
    if (Prepare("delete from directory where direcid=? and userid=?").BindAll(id, userId).Run())
        return true;
    Log(g_log, "Error : Delete Directory failed, direcid = %lld, userid = %lld. Error msg is : %s", LL(id),
        LL(userId), Error().c_str());
    return false;
}

// Deletes the folders below parentId, deepest first. `path` holds the folders being walked, so
// a cached tree that loops back on itself (a folder moved below its own child elsewhere) ends.
bool CLocalDb::RemoveChildren(int64_t parentId, int64_t userId, std::vector<int64_t>& path)
{
    if (parentId == 0) {
        if (Prepare("delete from directory where userid=?").Bind(userId).Run())
            return true;
        Log(g_log, "Error : Delete Directory failed, direcid = %lld, userid = %lld. Error msg is : %s", 0LL,
            LL(userId), Error().c_str());
        return false;
    }
    std::vector<int64_t> children;
    {
        CSqlStatement q = Prepare("select direcid from directory where parentid=? and userid=?");
        q.BindAll(parentId, userId);
        int rc;
        while ((rc = q.Next()) == 1)
            children.push_back(q.Int64(0));
        if (rc < 0) {
            Log(g_log,
                "Error : RemoveChildDirectory failed at get child. parentid = %lld, userid = %lld. Error msg "
                "is : %s",
                LL(parentId), LL(userId), Error().c_str());
            return false;
        }
    }
    path.push_back(parentId);
    for (int64_t child : children) {
        if (child == 0) {
            Log(g_log,
                "Error : RemoveChildDirectory failed at get child. parentid = %lld, userid = %lld. Error msg "
                "is : %s",
                LL(parentId), LL(userId), "child folder id 0");
            return false;
        }
        const bool loops = std::find(path.begin(), path.end(), child) != path.end();
        if ((!loops && !RemoveChildren(child, userId, path)) || !DeleteDirectoryRow(child, userId))
            return false;
    }
    path.pop_back();
    return true;
}

bool CLocalDb::RemoveChildDirectory(int64_t parentId, int64_t userId)
{
    CDbTransaction tx(*this);
    std::vector<int64_t> path;
    return tx.Started() && RemoveChildren(parentId, userId, path) && tx.Commit();
}

// The removal of the old children and the new rows are one batch: a failure keeps the old
// cache rather than leaving a folder without its children.
bool CLocalDb::ReplaceDirectories(int64_t parentId, const std::vector<SpaceRow>& entries, int64_t userId)
{
    CDbTransaction tx(*this);
    std::vector<int64_t> path;
    if (!tx.Started() || !RemoveChildren(parentId, userId, path))
        return false;
    for (const SpaceRow& e : entries) {
        if (e.nType != SPACE_FOLDER)
            continue;
        // A folder id is unique on the server; when the same folder is still cached under
        // another parent (moved elsewhere) the newer answer wins instead of failing the batch.
        const bool ok =
            Prepare("insert or replace into directory(direcid, parentid, userid, orgid, name, level, "
                    "modifytime, haschildren,ownid) values (?, ?, ?, ?, ?, ?, ?, ?,? )")
                .BindAll(e.i64Id, e.i64ParentId, userId, 0, e.strName, e.nLevel, e.strCreateTime,
                         e.bHasChildren, e.i64OwnId)
                .Run();
        if (!ok) {
            Log(g_log,
                "Error : Insert directory Failed! name = %s, id =%lld, parentid = %lld, userid = %lld. Error "
                "msg "
                "is : %s",
                e.strName.c_str(), LL(e.i64Id), LL(e.i64ParentId), LL(userId), Error().c_str());
            return false;
        }
    }
    return tx.Commit();
}

bool CLocalDb::RemoveDirectories(const std::vector<int64_t>& ids, int64_t userId)
{
    CDbTransaction tx(*this);
    if (!tx.Started())
        return false;
    for (int64_t id : ids) {
        // 0 would mean "the whole tree" below; no folder has that id.
        if (id <= 0)
            continue;
        std::vector<int64_t> path;
        if (!RemoveChildren(id, userId, path) || !DeleteDirectoryRow(id, userId))
            return false;
    }
    return tx.Commit();
}

bool CLocalDb::DeleteSpaceFile(int64_t fileId, int64_t userId)
{
    if (!m_db || fileId <= 0)
        return false;
    if (Prepare("delete from spacefile where fileid=? and userid=?").BindAll(fileId, userId).Run())
        return true;
    Log(g_log, "Error : DeleteSpaceFile failed, fileid = %lld, userid = %lld. Error msg is : %s", LL(fileId),
        LL(userId), Error().c_str());
    return false;
}

// Replaces the cached file list of one folder: the old rows of that folder go (so files that
// vanished from it do not linger), the listed files come in, all in one batch.
bool CLocalDb::ReplaceSpaceFiles(int64_t dirId, const std::vector<SpaceRow>& entries, int64_t userId)
{
    if (!m_db || dirId <= 0)
        return false;
    CDbTransaction tx(*this);
    if (!tx.Started())
        return false;
    if (!Prepare("delete from spacefile where direcid=? and userid=?").BindAll(dirId, userId).Run()) {
        Log(g_log, "Error : DeleteSpaceFile failed, fileid = %lld, userid = %lld. Error msg is : %s",
            LL(dirId), LL(userId), Error().c_str());
        return false;
    }
    for (const SpaceRow& e : entries) {
        if (e.nType == SPACE_FOLDER)
            continue;
        const int64_t dir = e.i64ParentId > 0 ? e.i64ParentId : dirId;
        const bool ok = Prepare("replace into spacefile(fileid, direcid, userid, filename, filetype, status, "
                                "filesize, modifytime,filepath,ownid) values (?,?,?,?,?,?,?,?,?,?)")
                            .BindAll(e.i64Id, dir, userId, e.strName, e.nType, e.bStatus, e.i64Size,
                                     e.strCreateTime, e.strFilePath, e.i64OwnId)
                            .Run();
        if (!ok) {
            Log(g_log,
                "Error : Insert spacefile Failed! name = %s, id =%lld, direcid = %lld, userid = %lld. Error "
                "msg "
                "is : %s",
                e.strName.c_str(), LL(e.i64Id), LL(dir), LL(userId), Error().c_str());
            return false;
        }
    }
    return tx.Commit();
}

bool CLocalDb::MoveDirFile(int64_t srcId, int64_t destDirId, bool bFile, int64_t userId)
{
    if (!m_db || srcId <= 0 || destDirId <= 0)
        return false;
    const bool ok = bFile ? Prepare("update spacefile set direcid=? where fileid=? and userid=?")
                                .BindAll(destDirId, srcId, userId)
                                .Run()
                          : Prepare("update directory set parentid=? where direcid=? and userid=?")
                                .BindAll(destDirId, srcId, userId)
                                .Run();
    if (!ok)
        Log(g_log,
            "Error : MoveDirFile failed, srcid = %lld, destid = %lld, userid = %lld,  bfile = %d. Error msg "
            "is : %s",
            LL(srcId), LL(destDirId), LL(userId), bFile ? 1 : 0, Error().c_str());
    return ok;
}

// Every entry is tried; the result is false when any of them failed.
bool CLocalDb::MoveDirFiles(const std::vector<SpaceRow>& entries, int64_t destDirId, int64_t userId)
{
    bool ok = true;
    for (const SpaceRow& e : entries)
        ok = MoveDirFile(e.i64Id, destDirId, e.nType != SPACE_FOLDER, userId) && ok;
    return ok;
}

bool CLocalDb::RenameDirFile(int64_t id, const std::string& newName, bool bFile, int64_t userId)
{
    if (!m_db || id <= 0)
        return false;
    const bool ok = bFile ? Prepare("update spacefile set filename=? where fileid=? and userid=?")
                                .BindAll(newName, id, userId)
                                .Run()
                          : Prepare("update directory set name=? where direcid=? and userid=?")
                                .BindAll(newName, id, userId)
                                .Run();
    if (!ok)
        Log(g_log,
            "Error : RenameDirFile failed, fileid = %lld, userid = %lld, newname=%s, bfile = %d. Error msg "
            "is : %s",
            LL(id), LL(userId), newName.c_str(), bFile ? 1 : 0, Error().c_str());
    return ok;
}

bool CLocalDb::UpsertSpaceEntries(const std::vector<SpaceRow>& entries, int64_t userId)
{
    CDbTransaction tx(*this);
    if (!tx.Started())
        return false;
    for (const SpaceRow& e : entries) {
        if (e.i64Id <= 0)
            continue;
        const bool folder = e.nType == SPACE_FOLDER;
        const bool ok =
            folder
                ? Prepare("insert or replace into directory(direcid, parentid, userid, orgid, name, level, "
                          "modifytime, haschildren,ownid) values (?, ?, ?, ?, ?, ?, ?, ?,? )")
                      .BindAll(e.i64Id, e.i64ParentId, userId, 0, e.strName, e.nLevel, e.strCreateTime,
                               e.bHasChildren, e.i64OwnId)
                      .Run()
                : Prepare("replace into spacefile(fileid, direcid, userid, filename, filetype, status, "
                          "filesize, modifytime,filepath,ownid) values (?,?,?,?,?,?,?,?,?,?)")
                      .BindAll(e.i64Id, e.i64ParentId, userId, e.strName, e.nType, e.bStatus, e.i64Size,
                               e.strCreateTime, e.strFilePath, e.i64OwnId)
                      .Run();
        if (!ok) {
            Log(g_log,
                "Error : Insert %s Failed! name = %s, id =%lld, parentid = %lld, userid = %lld. Error msg is "
                ": "
                "%s",
                folder ? "directory" : "spacefile", e.strName.c_str(), LL(e.i64Id), LL(e.i64ParentId),
                LL(userId), Error().c_str());
            return false;
        }
    }
    return tx.Commit();
}

bool CLocalDb::GetDirectories(int64_t parentId, int64_t userId, std::vector<SpaceRow>* out)
{
    out->clear();
    CSqlStatement q = Prepare("select direcid, parentid, name, level, modifytime, haschildren, ownid from "
                              "directory where parentid=? and userid=? order by rowid");
    q.BindAll(parentId, userId);
    int rc;
    while ((rc = q.Next()) == 1) {
        SpaceRow r;
        r.nType = SPACE_FOLDER;
        r.i64Id = q.Int64(0);
        r.i64ParentId = q.Int64(1);
        r.strName = q.Text(2);
        r.nLevel = q.Int(3);
        r.strCreateTime = q.Text(4);
        r.bHasChildren = q.Int64(5) != 0;
        r.i64OwnId = q.Int64(6);
        out->push_back(std::move(r));
    }
    return rc == 0;
}

bool CLocalDb::GetSpaceFiles(int64_t dirId, int64_t userId, std::vector<SpaceRow>* out)
{
    out->clear();
    CSqlStatement q = Prepare("select fileid, direcid, filename, filetype, status, filesize, modifytime, "
                              "filepath, ownid from spacefile where direcid=? and userid=? order by rowid");
    q.BindAll(dirId, userId);
    int rc;
    while ((rc = q.Next()) == 1) {
        SpaceRow r;
        r.i64Id = q.Int64(0);
        r.i64ParentId = q.Int64(1);
        r.strName = q.Text(2);
        r.nType = q.Int(3);
        r.bStatus = q.Int64(4) != 0;
        r.i64Size = q.Int64(5);
        r.strCreateTime = q.Text(6);
        r.strFilePath = q.Text(7);
        r.i64OwnId = q.Int64(8);
        out->push_back(std::move(r));
    }
    return rc == 0;
}

} // namespace vx
