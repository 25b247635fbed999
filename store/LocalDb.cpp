#include "store/LocalDb.h"

#include "app/LogFile.h"
#include "platform/FileOps.h"
#include "platform/LocalTime.h"
#include "platform/Paths.h"
#include "platform/Utf8.h"
#include "store/DbTransaction.h"
#include "store/SqlStatement.h"

#include <cerrno>
#include <ctime>
#include <sqlite3.h>
#include <thread>

namespace vx {
namespace {

// coursefile separates its column definitions by a comma and tabs.
#define CF_SEP ",\t\t\t\t"

struct TableDef
{
    const char* name;
    const char* create;
};

// The order is the order of creation on a first start.
const TableDef kTables[] = {
    {"users",
     "create table users(username TEXT PRIMARY KEY NOT NULL, password TEXT, rememberpsw INTEGER, "
     "autologin INTEGER NOT NULL, userid BIGINT NOT NULL, organization BIGINT NOT NULL,lasttime TEXT )"},
    {"appoptions", "create table appoptions(username TEXT PRIMARY KEY NOT NULL)"},
    {"directory",
     "create table directory(direcid BIGINT PRIMARY KEY NOT NULL, parentid BIGINT, userid BIGINT "
     "NOT NULL, orgid INTEGER, name TEXT NOT NULL, level INTEGER NOT NULL, modifytime TEXT, "
     "haschildren INTEGER NOT NULL,ownid BIGINT)"},
    {"spacefile",
     "create table spacefile(fileid BIGINT PRIMARY KEY NOT NULL, direcid BIGINT NOT NULL, userid "
     "BIGINT NOT NULL, filename TEXT NOT NULL, filetype INTEGER NOT NULL, status INTEGER NOT NULL, "
     "filesize BIGINT NOT NULL, modifytime TEXT,filepath TEXT,ownid BIGINT )"},
    {"coursefile",
     "create table coursefile(fileindex TEXT PRIMARY KEY NOT NULL,"
     "userid BIGINT NOT NULL" CF_SEP "orgid INTEGER NOT NULL" CF_SEP "fileid BIGINT" CF_SEP
     "direcid BIGINT NOT NULL" CF_SEP "filename TEXT NOT NULL" CF_SEP "filename_old TEXT" CF_SEP
     "filepath TEXT NOT NULL" CF_SEP "convertpath TEXT" CF_SEP "filepath_s TEXT" CF_SEP
     "status INTEGER NOT NULL" CF_SEP "filesize BIGINT NOT NULL" CF_SEP "filestart BIGINT" CF_SEP
     "filemd5 TEXT" CF_SEP "width INTEGER DEFAULT 0" CF_SEP "height INTEGER DEFAULT 0" CF_SEP
     "filebits INTEGER" CF_SEP "filetype INTEGER DEFAULT 0" CF_SEP "modifytime TEXT" CF_SEP
     "fileend BIGINT" CF_SEP "cvrfileBits INTEGER DEFAULT 0" CF_SEP "cvrfiletime INTEGER DEFAULT 0" CF_SEP
     "enabled INTEGER)"},
    {"setdata",
     "create table setdata( userid BIGINT PRIMARY KEY NOT NULL, uinfo INTEGER NOT NULL,  convertpath "
     "TEXT NOT NULL,convertmax INTEGER NOT NULL,priortylevel INTEGER,videoconverttype INTEGER NOT "
     "NULL,videoconvertwidth INTEGER NOT NULL , videoconvertheight INTEGER NOT NULL,"
     "unkvideoconverttype INTEGER NOT NULL , unkconvertwidth INTEGER NOT NULL,unkconvertheight "
     "INTEGER NOT NULL, uploadmax INTEGER NOT NULL ,timestamp Text,fileconverttype INTEGER,mask "
     "Text  )"},
    // Keyed by user, tab and folder so that two users of one computer (or two tabs showing the
    // same folder) keep their own order; the column names are those of the older folder-only key.
    {"sortrow", "create table sortrow( dirid BIGINT NOT NULL,SelTabNum INTEGER NOT NULL, userid BIGINT NOT "
                "NULL,asrow INTEGER NOT NULL,asorder INTEGER NOT NULL ,mask Text , PRIMARY "
                "KEY(userid,SelTabNum,dirid) )"},
    {"Fileserverinfo", "create table Fileserverinfo( fileindex TEXT PRIMARY KEY NOT NULL,strIP TEXT , port "
                       "INTEGER  , mask Text  )"},
    // Course files that a program stored while another one worked the queue: the worker lists
    // them from here (and empties it) without reading the whole queue again.
    {"queueinbox", "create table queueinbox(fileindex TEXT PRIMARY KEY NOT NULL, userid BIGINT NOT NULL)"},
};
constexpr int kTableCount = sizeof(kTables) / sizeof(kTables[0]);
constexpr int kSortRowTable = 6;

long long LL(int64_t v)
{
    return static_cast<long long>(v);
}

std::string NowText()
{
    const time_t t = time(nullptr);
    struct tm lt = LocalTimeOf(t);
    char buf[32];
    strftime(buf, sizeof(buf), "%Y-%m-%d %H:%M:%S", &lt);
    return buf;
}

std::string ParentFolder(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

struct CLocalDb::Background
{
    std::thread thread;
    bool ok = true;
};

void CLocalDb::RunInBackground(std::function<bool(CLocalDb&)> job)
{
    auto bg = std::make_unique<Background>();
    const DbOpenOptions options = m_options;
    // The new job waits for the one before it on its own thread, never on the caller's.
    bg->thread = std::thread(
        [bg = bg.get(), before = std::move(m_background), path = m_strPath, options, job = std::move(job)] {
            if (before)
                before->thread.join();
            CLocalDb db(path, options);
            bg->ok = job(db);
            if (!bg->ok)
                Log(g_log, "Error : a background job on %s failed: %s", path.c_str(), db.LastError().c_str());
        });
    m_background = std::move(bg);
}

void CLocalDb::UpdateCourseFilesInBackground(std::vector<_sLCItemData> records, int64_t userId)
{
    if (records.empty())
        return;
    RunInBackground([records = std::move(records), userId](CLocalDb& db) {
        return db.IsOpen() && db.UpdateCourseFiles(records, userId);
    });
}

bool CLocalDb::WaitForBackground()
{
    if (!m_background)
        return true;
    m_background->thread.join();
    const bool ok = m_background->ok;
    m_background.reset();
    return ok;
}

CLocalDb::CLocalDb(const std::string& path, const DbOpenOptions& options)
    : m_strPath(path), m_options(options)
{
    Open(path);
}

CLocalDb::~CLocalDb()
{
    Close();
}

std::string CLocalDb::DefaultPath()
{
    return GetDataFolder() + "DB/" + "vexora_v2.0.db";
}

CLocalDb& CLocalDb::Instance()
{
    static CLocalDb db(DefaultPath());
    return db;
}

void CLocalDb::Close()
{
    WaitForBackground();
    for (auto& [sql, stmt] : m_stmts)
        sqlite3_finalize(stmt);
    m_stmts.clear();
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool CLocalDb::Open(const std::string& path)
{
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (m_options.bReadOnly) {
        flags = SQLITE_OPEN_READONLY;
    } else {
        const std::string folder = ParentFolder(path);
        if (!folder.empty())
            MakeDirs(folder);
        // The file holds remembered credentials: readable by its owner only. Creating it
        // ourselves first means it never exists with wider rights, and a file left by an older
        // version is narrowed too. The log files of SQLite take over the database's mode.
        MakeOwnerOnlyFile(path);
    }
    if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        m_strLastError = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        Log(g_log, "Error : open db failed. Error msg is : %s", m_strLastError.c_str());
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(m_db, m_options.nBusyTimeoutMs);
    if (m_options.bReadOnly)
        return true;
    Configure();
    CheckTables();
    return true;
}

void CLocalDb::Configure()
{
    if (m_options.bWal) {
        Exec("PRAGMA journal_mode=WAL");
        Exec("PRAGMA synchronous=NORMAL");
    } else {
        Exec("PRAGMA journal_mode=DELETE");
    }
    // A hash of a password that the user did not ask us to remember must not stay on disk
    // (older versions kept it).
    Exec("update users set password='' where (rememberpsw is null or rememberpsw=0) and password<>''");
}

bool CLocalDb::CheckTables()
{
    std::vector<std::string> names;
    {
        CSqlStatement q = Prepare("select name from sqlite_master where type='table'");
        int rc;
        while ((rc = q.Next()) == 1)
            names.push_back(q.Text(0));
        if (rc < 0) {
            Log(g_log, "Error : Query table name failed. Error msg is : %s", Error().c_str());
            return false;
        }
    }
    // Every missing table is created, whatever else the file holds; existing tables are never
    // changed (apart from the sort order key, below), so an older file keeps its data.
    bool ok = true;
    for (int i = 0; i < kTableCount; ++i) {
        bool present = false;
        for (const std::string& n : names)
            present = present || EqualsNoCase(n, kTables[i].name);
        if (!present)
            ok = CreateTable(i) && ok;
        else if (i == kSortRowTable)
            ok = MigrateSortRow() && ok;
    }
    return ok;
}

bool CLocalDb::CreateTable(int index)
{
    if (Exec(kTables[index].create))
        return true;
    Log(g_log, "Error : Create table \"%s\" failed. Error msg is : %s", kTables[index].name, Error().c_str());
    return false;
}

// A sortrow table of an older version is keyed by the folder alone. Rebuild it with the
// per-user key, keeping its rows and its column names.
bool CLocalDb::MigrateSortRow()
{
    std::string sql;
    {
        CSqlStatement q = Prepare("select sql from sqlite_master where type='table' and name='sortrow'");
        if (q.Next() == 1)
            sql = q.Text(0);
    }
    if (sql.find("PRIMARY KEY(userid,SelTabNum,dirid)") != std::string::npos)
        return true;
    CDbTransaction tx(*this);
    bool ok = tx.Started() && Exec("drop table if exists sortrow_v2");
    std::string create = kTables[kSortRowTable].create;
    create.replace(create.find("sortrow"), 7, "sortrow_v2");
    ok = ok && Exec(create.c_str()) &&
         Exec("insert or replace into sortrow_v2(dirid,SelTabNum,userid,asrow,asorder,mask) select "
              "dirid,coalesce(SelTabNum,0),coalesce(userid,0),asrow,asorder,mask from sortrow") &&
         Exec("drop table sortrow") && Exec("alter table sortrow_v2 rename to sortrow") && tx.Commit();
    if (!ok)
        Log(g_log, "Error : Create table \"%s\" failed. Error msg is : %s", "sortrow", Error().c_str());
    return ok;
}

CSqlStatement CLocalDb::Prepare(const char* sql)
{
    if (!m_db)
        return CSqlStatement(nullptr);
    auto it = m_stmts.find(sql);
    if (it != m_stmts.end())
        return CSqlStatement(it->second);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK || !stmt) {
        sqlite3_finalize(stmt);
        return CSqlStatement(nullptr);
    }
    m_stmts.emplace(sql, stmt);
    return CSqlStatement(stmt);
}

bool CLocalDb::Exec(const char* sql)
{
    return m_db && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The busy time-out bounds the wait for another process's lock; after it the batch fails and
// says so instead of spinning.
bool CLocalDb::Begin()
{
    return Exec("BEGIN EXCLUSIVE");
}

bool CLocalDb::Commit()
{
    return Exec("COMMIT");
}

void CLocalDb::Rollback()
{
    if (m_db && !sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

const std::string& CLocalDb::Error()
{
    m_strLastError = m_db ? sqlite3_errmsg(m_db) : "database not open";
    return m_strLastError;
}

std::string CLocalDb::DefaultConvertPath() const
{
    return DefaultConvertFolder(m_options.strMountsFile);
}

// ---- accounts ----

bool CLocalDb::SaveUser(const _sUserAccount& a)
{
    if (!m_db)
        return false;
    CDbTransaction tx(*this);
    if (!tx.Started()) {
        Log(g_log, "Error : Insert user '%s' failed. Error msg is : %s", a.strUserName.c_str(),
            Error().c_str());
        return false;
    }
    if (a.bAutoLogin && !Prepare("update users set autologin=0;").Run()) {
        Log(g_log, "Error : Update autologin to be false failed. Error msg is : %s", Error().c_str());
        return false;
    }
    const std::string password = a.bRememberPsw ? a.strPassword : std::string();
    const bool ok = Prepare("replace into users(username, password, rememberpsw, autologin, userid, "
                            "organization,lasttime) values (?, ?, ?, ?, ?, ?,?);")
                        .BindAll(a.strUserName, password, a.bRememberPsw, a.bAutoLogin, a.i64UserId,
                                 a.i64OrgId, NowText())
                        .Run();
    if (!ok || !tx.Commit()) {
        Log(g_log, "Error : Insert user '%s' failed. Error msg is : %s", a.strUserName.c_str(),
            Error().c_str());
        return false;
    }
    return true;
}

bool CLocalDb::GetUsers(std::vector<_sUserAccount>* out)
{
    out->clear();
    if (!m_db)
        return false;
    // replace deletes and re-inserts, so among logins of the same second the newest row wins.
    CSqlStatement q = Prepare("select username, password, rememberpsw, autologin, userid, organization, "
                              "lasttime from users order By lasttime Desc, rowid Desc");
    int rc;
    while ((rc = q.Next()) == 1) {
        _sUserAccount a;
        a.strUserName = q.Text(0);
        a.bRememberPsw = q.Int64(2) != 0;
        a.strPassword = a.bRememberPsw ? q.Text(1) : std::string();
        a.bAutoLogin = q.Int64(3) != 0;
        a.i64UserId = q.Int64(4);
        a.i64OrgId = q.Int64(5);
        a.strLastTime = q.Text(6);
        out->push_back(std::move(a));
    }
    if (rc < 0) {
        Log(g_log, "Error : Get users failed. Error msg is : %s", Error().c_str());
        return false;
    }
    return true;
}

bool CLocalDb::RemoveUser(const _sUserAccount& a)
{
    if (!m_db)
        return false;
    const bool ok = a.i64UserId > 0 ? Prepare("delete from users where userid=?").Bind(a.i64UserId).Run()
                                    : Prepare("delete from users where username=?").Bind(a.strUserName).Run();
    if (!ok)
        Log(g_log, "Error : Remove user failed. Error msg is : %s", Error().c_str());
    return ok;
}

bool CLocalDb::SetUserPassword(const std::string& userName, const std::string& password)
{
    if (!m_db)
        return false;
    const bool ok = Prepare("update users set password=? where username=?").BindAll(password, userName).Run();
    if (!ok)
        Log(g_log, "Error : Update password of user '%s' failed. Error msg is : %s", userName.c_str(),
            Error().c_str());
    return ok;
}

// ---- options ----

bool CLocalDb::UpDateSetData(_sSetData& d, int64_t userId)
{
    if (!m_db)
        return false;
    if (d.strConvertPath.empty())
        d.strConvertPath = DefaultConvertPath();
    if (!DirExists(d.strConvertPath) && !MakeDirs(d.strConvertPath))
        Log(g_log, "Warning : UpDateSetData cannot create the convert folder %s", d.strConvertPath.c_str());
    const bool ok =
        Prepare("replace into setdata ( uinfo,convertpath,convertmax,priortylevel,videoconverttype,"
                "videoconvertwidth,videoconvertheight,unkvideoconverttype,unkconvertwidth,unkconvertheight,"
                "uploadmax,timestamp,fileconverttype,userid) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?) ")
            .BindAll(d.nUinfo, d.strConvertPath, d.nConvertMax, d.nPriortyLevel, d.nVideoConvertType,
                     d.nVideoConvertWidth, d.nVideoConvertHeight, d.nUnkVideoConvertType, d.nUnkConvertWidth,
                     d.nUnkConvertHeight, d.nUploadMax, d.strTimeStamp, d.nFileConvertType, userId)
            .Run();
    if (!ok)
        Log(g_log, "Error : UpDateSetData failed, userid = %lld. Error msg is : %s", LL(userId),
            Error().c_str());
    return ok;
}

bool CLocalDb::GetSetData(_sSetData& d, int64_t userId)
{
    if (!m_db)
        return false;
    CSqlStatement q =
        Prepare("select uinfo,convertpath,convertmax,priortylevel,videoconverttype,"
                "videoconvertwidth,videoconvertheight,unkvideoconverttype,unkconvertwidth,"
                "unkconvertheight,uploadmax,timestamp,fileconverttype from setdata where userid=? ");
    const int rc = q.Bind(userId).Next();
    if (rc < 0) {
        Log(g_log, "Error : GetSetData failed. userid = %lld. Error msg is : %s", LL(userId),
            Error().c_str());
        return false;
    }
    if (rc == 1) {
        d.nUinfo = q.Int(0);
        d.strConvertPath = q.Text(1);
        d.nConvertMax = q.Int(2);
        d.nPriortyLevel = q.Int(3);
        d.nVideoConvertType = q.Int(4);
        d.nVideoConvertWidth = q.Int(5);
        d.nVideoConvertHeight = q.Int(6);
        d.nUnkVideoConvertType = q.Int(7);
        d.nUnkConvertWidth = q.Int(8);
        d.nUnkConvertHeight = q.Int(9);
        d.nUploadMax = q.Int(10);
        d.strTimeStamp = q.Text(11);
        d.nFileConvertType = q.Int(12);
    }
    return true;
}

// ---- sort order ----

bool CLocalDb::AddSortRow(int tabNum, int64_t dirId, int sortRow, int sortOrder, int64_t userId)
{
    if (!m_db)
        return false;
    const bool ok =
        Prepare("replace into sortrow ( userid,SelTabNum,dirid,asrow,asorder) values (?,?,?,?,?) ")
            .BindAll(userId, tabNum, dirId, sortRow, sortOrder)
            .Run();
    if (!ok)
        Log(g_log, "Error : AddSortRow failed, userid = %lld. Error msg is : %s", LL(userId),
            Error().c_str());
    return ok;
}

bool CLocalDb::GetSortRow(int tabNum, int64_t dirId, int64_t userId, int* sortRow, int* sortOrder)
{
    if (!m_db)
        return false;
    CSqlStatement q = Prepare("select asrow,asorder from sortrow where userid=? and SelTabNum=? and dirid=?");
    const int rc = q.BindAll(userId, tabNum, dirId).Next();
    if (rc < 0)
        Log(g_log, "Error : GetSortRow failed. userid = %lld. Error msg is : %s", LL(userId),
            Error().c_str());
    if (rc != 1)
        return false;
    *sortRow = q.Int(0);
    *sortOrder = q.Int(1);
    return true;
}

// ---- file server per course file ----

bool CLocalDb::SaveFileServer(const std::string& fileIndex, const std::string& ip, int port)
{
    if (!m_db)
        return false;
    const bool ok = Prepare("replace into Fileserverinfo ( fileindex,strIP,port ) values (?,?,?) ")
                        .BindAll(fileIndex, ip, port)
                        .Run();
    if (!ok)
        Log(g_log, "Error : Fileserverinfo failed, userid = %s. Error msg is : %s", fileIndex.c_str(),
            Error().c_str());
    return ok;
}

bool CLocalDb::GetFileServer(const std::string& fileIndex, std::string* ip, int* port)
{
    if (!m_db)
        return false;
    CSqlStatement q = Prepare("select strIP,port from Fileserverinfo where fileindex=? ");
    const int rc = q.Bind(fileIndex).Next();
    if (rc < 0)
        Log(g_log, "Error : GetFileServer failed. userid = %s. Error msg is : %s", fileIndex.c_str(),
            Error().c_str());
    if (rc != 1)
        return false;
    *ip = q.Text(0);
    *port = q.Int(1);
    return true;
}

bool CLocalDb::RemoveFileServer(const std::string& fileIndex)
{
    if (!m_db)
        return false;
    const bool ok = Prepare("delete from Fileserverinfo where fileindex=? ").Bind(fileIndex).Run();
    if (!ok)
        Log(g_log, "Error : RemoveFileServer failed, fileindex = %s,  Error msg is : %s", fileIndex.c_str(),
            Error().c_str());
    return ok;
}

} // namespace vx
