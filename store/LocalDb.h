#pragma once
// The local database: accounts, options, the cached space tree, course files, sort orders and
// the file server of each course file, in one SQLite file. One connection per object; the
// process's object (Instance) belongs to the user-interface thread, which alone writes it.
//
// Every value is bound to a prepared statement, so names with apostrophes, quotes or '%' are
// stored as they are. Batches are single transactions: they either land whole or not at all,
// and they report which. The file uses write-ahead logging with synchronous=NORMAL: a crash or
// a kill loses at most the last commits, never the file, and single status writes stay cheap.

#include "app/UserOptions.h"
#include "platform/ConvertFolder.h"
#include "store/LCItemData.h"
#include "store/SpaceRow.h"
#include "store/UserAccount.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace vx {

class CSqlStatement;

struct DbOpenOptions
{
    // Only reads: no table is created or changed and the journal mode is left alone (used by
    // the `vexora queue` command on the client's file).
    bool bReadOnly = false;
    // False keeps SQLite's default rollback journal (the benchmark's reference).
    bool bWal = true;
    // How long a statement waits for another connection's lock before it reports failure.
    int nBusyTimeoutMs = 5000;
    // Where the mounted file systems are listed (default convert folder); tests replace it.
    std::string strMountsFile = "/proc/self/mounts";
};

class CLocalDb
{
public:
    // Opens (creating when missing) the file at path. IsOpen tells whether that worked.
    explicit CLocalDb(const std::string& path, const DbOpenOptions& options = {});
    ~CLocalDb();
    CLocalDb(const CLocalDb&) = delete;
    CLocalDb& operator=(const CLocalDb&) = delete;

    // The process's database: DefaultPath(), opened on first call.
    static CLocalDb& Instance();
    // Data folder + "DB/" + "vexora_v2.0.db".
    static std::string DefaultPath();

    bool IsOpen() const { return m_db != nullptr; }
    const std::string& Path() const { return m_strPath; }
    void Close();

    // Accounts
    bool SaveUser(const _sUserAccount& account);
    bool GetUsers(std::vector<_sUserAccount>* out);
    bool RemoveUser(const _sUserAccount& account);
    // Replaces only the stored password text of an account (the order of accounts is kept).
    bool SetUserPassword(const std::string& userName, const std::string& password);

    // Cached space tree (tables directory and spacefile)
    bool ReplaceDirectories(int64_t parentId, const std::vector<SpaceRow>& entries, int64_t userId);
    bool RemoveChildDirectory(int64_t parentId, int64_t userId);
    bool RemoveDirectories(const std::vector<int64_t>& ids, int64_t userId);
    bool ReplaceSpaceFiles(int64_t dirId, const std::vector<SpaceRow>& entries, int64_t userId);
    bool DeleteSpaceFile(int64_t fileId, int64_t userId);
    bool MoveDirFile(int64_t srcId, int64_t destDirId, bool bFile, int64_t userId);
    bool MoveDirFiles(const std::vector<SpaceRow>& entries, int64_t destDirId, int64_t userId);
    bool RenameDirFile(int64_t id, const std::string& newName, bool bFile, int64_t userId);
    // Adds or updates folders and files by id without removing anything else: for entries that
    // arrive without their whole folder (search results, a folder just created, a finished
    // upload). One batch.
    bool UpsertSpaceEntries(const std::vector<SpaceRow>& entries, int64_t userId);
    // Reading the cache back.
    bool GetDirectories(int64_t parentId, int64_t userId, std::vector<SpaceRow>* out);
    bool GetSpaceFiles(int64_t dirId, int64_t userId, std::vector<SpaceRow>* out);

    // Course files
    bool SaveCourseFiles(const std::vector<_sLCItemData>& records, int64_t userId);
    // Records with fresh file indexes (just added): inserted without looking for a stored copy
    // first, all or nothing. forQueueWorker: another program works the queue; the records are
    // also noted for it (TakeQueueInbox), in the same transaction.
    bool InsertNewCourseFiles(const std::vector<_sLCItemData>& records, int64_t userId,
                              bool forQueueWorker = false);
    bool CheckFile(const std::string& fileIndex, int64_t userId);
    // The user's stored records (enabled 0, status -1..15) exactly as stored.
    bool GetCourseFile(int64_t userId, std::vector<_sLCItemData>* out);
    // As GetCourseFile, with each record folded back the way a restart resumes it.
    bool LoadCourseFiles(int64_t userId, std::vector<_sLCItemData>* out);
    // The queue's worker starting: as LoadCourseFiles, and the notes for the worker emptied in
    // the same transaction (everything they name is among the records read).
    bool LoadQueue(int64_t userId, std::vector<_sLCItemData>* out);
    // The records other programs stored for the queue's worker since the last call, folded
    // back; their notes are removed in the same transaction.
    bool TakeQueueInbox(int64_t userId, std::vector<_sLCItemData>* out);
    // Whether such records wait. Never waits for a background job (the window asks on a timer).
    bool HasQueueInbox(int64_t userId);
    // Users that have course files, ascending.
    bool GetCourseUsers(std::vector<int64_t>* out);
    // One row. A record without strModifyTime gets every field but the time; bConvertOnly (for a
    // record that has one) writes only the file id and the conversion's bit rate and duration.
    bool UpdateCourseFile(const _sLCItemData& record, int64_t userId, bool bConvertOnly = false);
    bool UpdateCourseFiles(const std::vector<_sLCItemData>& records, int64_t userId);
    // Runs job on a thread of its own with a second connection to the file, after any earlier
    // background job: a sign-out writes ten thousand records back, or a session start reads
    // them, without holding the window. Every later call on course files, and Close, first
    // waits for it, so nothing reads or writes them out of order.
    void RunInBackground(std::function<bool(CLocalDb&)> job);
    // The batch of UpdateCourseFiles as a background job.
    void UpdateCourseFilesInBackground(std::vector<_sLCItemData> records, int64_t userId);
    bool WaitForBackground();
    bool DeleteCourseFile(const std::vector<_sLCItemData>& records, int64_t userId);

    // Options. An empty convert folder becomes the default one; the folder is created.
    bool UpDateSetData(_sSetData& data, int64_t userId);
    // A missing row leaves data as it was (still true).
    bool GetSetData(_sSetData& data, int64_t userId);

    // Sort order per user, tab and folder. GetSortRow is true only when a row was found.
    bool AddSortRow(int tabNum, int64_t dirId, int sortRow, int sortOrder, int64_t userId);
    bool GetSortRow(int tabNum, int64_t dirId, int64_t userId, int* sortRow, int* sortOrder);

    // File server per course file. GetFileServer is true only when a row was found.
    bool SaveFileServer(const std::string& fileIndex, const std::string& ip, int port);
    bool GetFileServer(const std::string& fileIndex, std::string* ip, int* port);
    bool RemoveFileServer(const std::string& fileIndex);

    // The folder used when the user has chosen none (see DefaultConvertFolder).
    std::string DefaultConvertPath() const;

    // The last error text SQLite gave (for callers that show it).
    const std::string& LastError() const { return m_strLastError; }

private:
    // One transaction; fresh: the records' file indexes are new, so none is looked up first;
    // inbox: noted for the queue's worker too.
    bool SaveCourseBatch(const std::vector<_sLCItemData>& records, int64_t userId, bool fresh,
                         bool inbox = false);
    // GetCourseFile's rows; inboxOnly: only those noted for the queue's worker.
    bool ReadCourseFiles(int64_t userId, bool inboxOnly, std::vector<_sLCItemData>* out);
    // ReadCourseFiles, folded back, and the user's notes for the worker removed, in one transaction.
    bool TakeCourseFiles(int64_t userId, bool inboxOnly, std::vector<_sLCItemData>* out);
    friend class CSqlStatement;
    friend class CDbTransaction;

    bool Open(const std::string& path);
    bool CheckTables();
    bool CreateTable(int index);
    bool MigrateSortRow();
    void Configure();

    // A statement from the cache, reset and ready for binding; invalid when preparing failed.
    CSqlStatement Prepare(const char* sql);
    bool Exec(const char* sql);
    bool Begin();
    bool Commit();
    void Rollback();
    // Remembers and returns the connection's current error text.
    const std::string& Error();

    bool InsertCourseFile(const _sLCItemData& r, int64_t userId);
    bool UpdateCourseRow(const _sLCItemData& r, int64_t userId, bool withModifyTime);
    bool RemoveChildren(int64_t parentId, int64_t userId, std::vector<int64_t>& path);
    bool DeleteDirectoryRow(int64_t id, int64_t userId);

    struct Background;
    std::unique_ptr<Background> m_background;
    sqlite3* m_db = nullptr;
    std::string m_strPath;
    DbOpenOptions m_options;
    std::string m_strLastError;
    std::unordered_map<const char*, sqlite3_stmt*> m_stmts;
};

} // namespace vx
