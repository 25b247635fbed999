// Opening, accounts, options, sort order, file servers and the cached space tree, each on a real
// database file in a private data folder.

#include "StoreFixture.h"

#include <sys/stat.h>

using namespace vx;
using vx::test::StoreTest;

namespace {

const char* kAllTables =
    "Fileserverinfo|appoptions|coursefile|directory|queueinbox|setdata|sortrow|spacefile|users";

int Mode(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

SpaceRow Folder(int64_t id, int64_t parent, const std::string& name)
{
    SpaceRow r;
    r.i64Id = id;
    r.i64ParentId = parent;
    r.strName = name;
    r.nLevel = 1;
    r.bHasChildren = true;
    r.i64OwnId = 7;
    r.strCreateTime = "2024-01-02 03:04:05";
    return r;
}

SpaceRow File(int64_t id, int64_t dir, const std::string& name, int64_t size)
{
    SpaceRow r;
    r.i64Id = id;
    r.i64ParentId = dir;
    r.strName = name;
    r.nType = SPACE_VIDEO;
    r.i64Size = size;
    r.bStatus = true;
    r.strFilePath = "/space/" + name;
    return r;
}

} // namespace

TEST_F(StoreTest, FirstStartCreatesEveryTableInWalModeReadableByOwnerOnly)
{
    {
        CLocalDb& db = CLocalDb::Instance();
        ASSERT_TRUE(db.IsOpen());
        EXPECT_EQ(db.Path(), m_dbPath);
        _sUserAccount a;
        a.strUserName = "t";
        ASSERT_TRUE(db.SaveUser(a));
        EXPECT_EQ(Raw("select name from sqlite_master where type='table' order by name"), kAllTables);
        EXPECT_EQ(Raw("pragma journal_mode"), "wal");
        EXPECT_EQ(Mode(m_dbPath), 0600);
        EXPECT_EQ(Mode(m_dbPath + "-wal"), 0600);
        // The creation text is the one older versions used (SQLite upper-cases the leading words).
        EXPECT_EQ(Raw("select substr(sql, 13) from sqlite_master where name='users'"),
                  " users(username TEXT PRIMARY KEY NOT NULL, password TEXT, rememberpsw INTEGER, "
                  "autologin INTEGER NOT NULL, userid BIGINT NOT NULL, organization BIGINT NOT NULL,lasttime "
                  "TEXT )");
    }
    // A file left by an older version with wider rights is narrowed when it is opened.
    chmod(m_dbPath.c_str(), 0644);
    CLocalDb again(m_dbPath);
    EXPECT_EQ(Mode(m_dbPath), 0600);
}

TEST_F(StoreTest, MissingTablesAreAddedAndAnOldSortOrderTableIsRekeyedKeepingItsRows)
{
    MakeDirs(m_data.Path() + "DB");
    ASSERT_EQ(
        Raw("create table users(username TEXT PRIMARY KEY NOT NULL, password TEXT, rememberpsw INTEGER, "
            "autologin INTEGER NOT NULL, userid BIGINT NOT NULL, organization BIGINT NOT NULL,lasttime TEXT "
            ");"
            "insert into users values('old','5f4dcc3b5aa765d61d8327deb882cf99','1','0','5','0','2020-01-01 "
            "00:00:00');"
            "create table sortrow( dirid BIGINT PRIMARY KEY NOT NULL,SelTabNum INTEGER, userid BIGINT,asrow "
            "INTEGER NOT NULL,asorder INTEGER NOT NULL ,mask Text  );"
            "insert into sortrow(dirid,SelTabNum,userid,asrow,asorder) values('100','1','5','3','1');"),
        "");
    CLocalDb db(m_dbPath);
    ASSERT_TRUE(db.IsOpen());
    EXPECT_EQ(Raw("select name from sqlite_master where type='table' order by name"), kAllTables);
    std::vector<_sUserAccount> users;
    ASSERT_TRUE(db.GetUsers(&users));
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].strPassword, "5f4dcc3b5aa765d61d8327deb882cf99");
    EXPECT_EQ(users[0].i64UserId, 5);

    int row = 0, order = 0;
    ASSERT_TRUE(db.GetSortRow(1, 100, 5, &row, &order));
    EXPECT_EQ(row, 3);
    EXPECT_EQ(order, 1);
    // Two users of one computer sorting the same folder no longer overwrite each other.
    ASSERT_TRUE(db.AddSortRow(1, 100, 2, 0, 6));
    ASSERT_TRUE(db.AddSortRow(2, 100, 1, 0, 5));
    ASSERT_TRUE(db.GetSortRow(1, 100, 5, &row, &order));
    EXPECT_EQ(row, 3);
    ASSERT_TRUE(db.GetSortRow(1, 100, 6, &row, &order));
    EXPECT_EQ(row, 2);
    ASSERT_TRUE(db.GetSortRow(2, 100, 5, &row, &order));
    EXPECT_EQ(row, 1);
    EXPECT_FALSE(db.GetSortRow(3, 100, 5, &row, &order));
    // The old column names still read.
    EXPECT_EQ(Raw("select count(*) from sortrow where dirid='100' and userid='5'"), "2");
}

TEST_F(StoreTest, AFileThatCannotBeOpenedMakesEveryOperationFail)
{
    vx::test::WriteFile(m_data.Path() + "afile", "not a folder");
    CLocalDb db(m_data.Path() + "afile/vexora_v2.0.db");
    EXPECT_FALSE(db.IsOpen());
    EXPECT_NE(LogText().find("Error : open db failed. Error msg is : "), std::string::npos);
    std::vector<_sUserAccount> users;
    std::vector<_sLCItemData> files;
    _sSetData options;
    EXPECT_FALSE(db.SaveUser({}));
    EXPECT_FALSE(db.GetUsers(&users));
    EXPECT_FALSE(db.SaveCourseFiles({_sLCItemData{}}, 1));
    EXPECT_FALSE(db.GetCourseFile(1, &files));
    EXPECT_FALSE(db.UpDateSetData(options, 1));
    EXPECT_FALSE(db.ReplaceDirectories(0, {}, 1));
    EXPECT_FALSE(db.SaveFileServer("x", "127.0.0.1", 1));
}

TEST_F(StoreTest, AccountsKeepTheHashOnlyWhenRememberedAndOneAutoLogin)
{
    CLocalDb db(m_dbPath);
    _sUserAccount a{"alice", "aaaa", true, true, 11, 0, ""};
    _sUserAccount b{"bob's", "bbbb", false, true, 12, 0, ""};
    _sUserAccount c{"王老师", "cccc", true, false, 13, 0, ""};
    ASSERT_TRUE(db.SaveUser(a));
    ASSERT_TRUE(db.SaveUser(b));
    ASSERT_TRUE(db.SaveUser(c));

    std::vector<_sUserAccount> users;
    ASSERT_TRUE(db.GetUsers(&users));
    ASSERT_EQ(users.size(), 3u);
    // Most recently used first.
    EXPECT_EQ(users[0].strUserName, "王老师");
    EXPECT_EQ(users[1].strUserName, "bob's");
    EXPECT_EQ(users[2].strUserName, "alice");
    // Saving bob with auto-login cleared alice's.
    EXPECT_FALSE(users[2].bAutoLogin);
    EXPECT_TRUE(users[1].bAutoLogin);
    EXPECT_EQ(users[0].strPassword, "cccc");
    EXPECT_EQ(users[2].strPassword, "aaaa");
    // Not remembered: the hash is not on disk at all.
    EXPECT_EQ(users[1].strPassword, "");
    EXPECT_EQ(Raw("select password from users where username='bob''s'"), "");
    EXPECT_EQ(Raw("select count(*) from users where autologin=1"), "1");
    EXPECT_EQ(users[0].strLastTime.size(), 19u);

    // Forgetting the password later removes the stored hash.
    a.bRememberPsw = false;
    ASSERT_TRUE(db.SaveUser(a));
    EXPECT_EQ(Raw("select password from users where username='alice'"), "");

    ASSERT_TRUE(db.RemoveUser(c));                                                  // by id
    ASSERT_TRUE(db.RemoveUser(_sUserAccount{"bob's", "", false, false, 0, 0, ""})); // by name
    ASSERT_TRUE(db.GetUsers(&users));
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].strUserName, "alice");
    EXPECT_EQ(LogText().find("cccc"), std::string::npos);
}

TEST_F(StoreTest, OptionsRoundTripAndAnEmptyConvertFolderGetsTheDefault)
{
    vx::test::CTempDir disk;
    vx::test::WriteFile(disk.File("mounts"), "/dev/x " + disk.Path() + "big ext4 rw 0 0\n");
    MakeDirs(disk.Path() + "big");
    DbOpenOptions opts;
    opts.strMountsFile = disk.File("mounts");

    _sSetData untouched;
    {
        CLocalDb db(m_dbPath, opts);
        _sSetData missing;
        ASSERT_TRUE(db.GetSetData(missing, 42));
        EXPECT_EQ(missing, untouched);

        _sSetData d;
        d.nUinfo = 0x121;
        d.nConvertMax = 3;
        d.nPriortyLevel = 1;
        d.nVideoConvertType = 2;
        d.nVideoConvertWidth = 640;
        d.nVideoConvertHeight = 480;
        d.nUnkVideoConvertType = 1;
        d.nUnkConvertWidth = 320;
        d.nUnkConvertHeight = 240;
        d.nUploadMax = 4;
        d.strTimeStamp = "20240101";
        d.nFileConvertType = 1;
        ASSERT_TRUE(db.UpDateSetData(d, 42));
        EXPECT_EQ(d.strConvertPath, disk.Path() + "big/VexoraTemp");
        EXPECT_TRUE(DirExists(d.strConvertPath));
        untouched = d;
        // Columns must not be swapped.
        EXPECT_EQ(Raw("select videoconvertwidth||','||videoconvertheight||','||unkconvertwidth||','||"
                      "unkconvertheight from setdata"),
                  "640,480,320,240");
    }
    CLocalDb db(m_dbPath, opts);
    _sSetData back;
    ASSERT_TRUE(db.GetSetData(back, 42));
    EXPECT_EQ(back, untouched);
}

TEST_F(StoreTest, DefaultConvertFolderPicksAWritableLocalDiskElseHome)
{
    vx::test::CTempDir disk;
    MakeDirs(disk.Path() + "a");
    MakeDirs(disk.Path() + "b");
    // Memory, pseudo and read-only file systems never count; between equals the first wins.
    vx::test::WriteFile(disk.File("m1"), "tmpfs " + disk.Path() +
                                             "a tmpfs rw 0 0\n"
                                             "proc /proc proc rw 0 0\n"
                                             "/dev/y " +
                                             disk.Path() +
                                             "a ext4 ro 0 0\n"
                                             "/dev/x " +
                                             disk.Path() +
                                             "b xfs rw 0 0\n"
                                             "/dev/z " +
                                             disk.Path() + "a btrfs rw 0 0\n");
    EXPECT_EQ(DefaultConvertFolder(disk.File("m1")), disk.Path() + "b/VexoraTemp");
    // A mount point with a space in its name (escaped in the list).
    MakeDirs(disk.Path() + "my disk");
    vx::test::WriteFile(disk.File("m2"), "/dev/x " + disk.Path() + "my\\040disk ext4 rw 0 0\n");
    EXPECT_EQ(DefaultConvertFolder(disk.File("m2")), disk.Path() + "my disk/VexoraTemp");
    vx::test::WriteFile(disk.File("m3"), "tmpfs /tmp tmpfs rw 0 0\n");
    EXPECT_EQ(DefaultConvertFolder(disk.File("m3")), JoinPath(HomeFolder(), "VexoraTemp"));
    EXPECT_EQ(DefaultConvertFolder(disk.File("absent")), JoinPath(HomeFolder(), "VexoraTemp"));
}

TEST_F(StoreTest, FileServersPerCourseFile)
{
    CLocalDb db(m_dbPath);
    std::string ip;
    int port = 0;
    EXPECT_FALSE(db.GetFileServer("idx-1", &ip, &port));
    ASSERT_TRUE(db.SaveFileServer("idx-1", "127.0.0.1", 18900));
    ASSERT_TRUE(db.SaveFileServer("idx-1", "127.0.0.2", 18901));
    ASSERT_TRUE(db.GetFileServer("idx-1", &ip, &port));
    EXPECT_EQ(ip, "127.0.0.2");
    EXPECT_EQ(port, 18901);
    ASSERT_TRUE(db.RemoveFileServer("idx-1"));
    EXPECT_FALSE(db.GetFileServer("idx-1", &ip, &port));
}

TEST_F(StoreTest, FolderTreeReplaceRenameMoveAndRemove)
{
    CLocalDb db(m_dbPath);
    const int64_t user = 9;
    // Root 0 holds 10 (O'Neil) and 20; 10 holds 11 which holds 12.
    ASSERT_TRUE(db.ReplaceDirectories(
        0, {Folder(10, 0, "O'Neil"), Folder(20, 0, "100% \"x\""), File(99, 0, "not a folder", 1)}, user));
    ASSERT_TRUE(db.ReplaceDirectories(10, {Folder(11, 10, "子目录")}, user));
    ASSERT_TRUE(db.ReplaceDirectories(11, {Folder(12, 11, "c")}, user));
    ASSERT_TRUE(db.ReplaceDirectories(0, {Folder(30, 0, "other user")}, user + 1));
    std::vector<SpaceRow> rows;
    ASSERT_TRUE(db.GetDirectories(0, user, &rows));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], Folder(10, 0, "O'Neil"));
    EXPECT_EQ(rows[1].strName, "100% \"x\"");

    ASSERT_TRUE(db.RenameDirFile(10, "O'Neil's 2", false, user));
    ASSERT_TRUE(db.GetDirectories(0, user, &rows));
    EXPECT_EQ(rows[0].strName, "O'Neil's 2");

    // Refreshing folder 10 drops its whole old subtree first.
    ASSERT_TRUE(db.ReplaceDirectories(10, {Folder(13, 10, "new")}, user));
    EXPECT_EQ(
        Raw("select group_concat(direcid) from (select direcid from directory where userid=9 order by 1)"),
        "10,13,20");

    ASSERT_TRUE(db.MoveDirFile(13, 20, false, user));
    ASSERT_TRUE(db.GetDirectories(20, user, &rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_FALSE(db.MoveDirFile(13, 0, false, user));

    ASSERT_TRUE(db.RemoveDirectories({20, 0, 777}, user));
    EXPECT_EQ(Raw("select group_concat(direcid) from directory where userid=9"), "10");

    // Parent 0 empties the user's whole cached tree and nobody else's.
    ASSERT_TRUE(db.RemoveChildDirectory(0, user));
    EXPECT_EQ(Raw("select count(*) from directory where userid=9"), "0");
    EXPECT_EQ(Raw("select count(*) from directory where userid=10"), "1");
}

TEST_F(StoreTest, FolderBatchesAreAllOrNothingAndLoopsEnd)
{
    CLocalDb db(m_dbPath);
    ASSERT_TRUE(db.ReplaceDirectories(0, {Folder(1, 0, "keep"), Folder(2, 0, "keep too")}, 5));
    Raw("create trigger refuse before insert on directory when new.name='boom' begin select "
        "raise(abort,'refused'); end");
    EXPECT_FALSE(db.ReplaceDirectories(0, {Folder(3, 0, "a"), Folder(4, 0, "boom"), Folder(5, 0, "b")}, 5));
    // The removal of the old children was not committed on its own.
    EXPECT_EQ(Raw("select group_concat(name) from directory"), "keep,keep too");
    EXPECT_NE(LogText().find("Error : Insert directory Failed! name = boom, id =4, parentid = 0, userid = 5. "
                             "Error msg is : refused"),
              std::string::npos);

    // A cached tree that points back at itself (a folder moved under its own child).
    Raw("update directory set parentid=2 where direcid=1; update directory set parentid=1 where direcid=2");
    ASSERT_TRUE(db.RemoveDirectories({1}, 5));
    EXPECT_EQ(Raw("select count(*) from directory"), "0");
}

TEST_F(StoreTest, SpaceFilesOfAFolderAreReplacedWhole)
{
    CLocalDb db(m_dbPath);
    const int64_t user = 3;
    ASSERT_TRUE(db.ReplaceSpaceFiles(
        50, {File(501, 50, "a.flv", 10), File(502, 50, "it's.pdf", 5LL << 32), Folder(60, 50, "sub")}, user));
    ASSERT_TRUE(db.ReplaceSpaceFiles(51, {File(511, 51, "other.flv", 1)}, user));
    // 501 vanished from folder 50 on the server: it must vanish here too.
    ASSERT_TRUE(
        db.ReplaceSpaceFiles(50, {File(502, 50, "it's.pdf", 5LL << 32), File(503, 50, "new.swf", 7)}, user));
    std::vector<SpaceRow> rows;
    ASSERT_TRUE(db.GetSpaceFiles(50, user, &rows));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], File(502, 50, "it's.pdf", 5LL << 32));
    EXPECT_EQ(rows[1].i64Id, 503);
    ASSERT_TRUE(db.GetSpaceFiles(51, user, &rows));
    EXPECT_EQ(rows.size(), 1u);
    EXPECT_FALSE(db.ReplaceSpaceFiles(0, {File(1, 0, "x", 1)}, user));

    ASSERT_TRUE(db.RenameDirFile(502, "50% off", true, user));
    EXPECT_TRUE(db.MoveDirFiles({File(502, 50, "", 0), File(503, 50, "", 0)}, 51, user));
    ASSERT_TRUE(db.GetSpaceFiles(51, user, &rows));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].strName, "50% off");
    // One entry that cannot move makes the whole call report failure.
    EXPECT_FALSE(db.MoveDirFiles({File(0, 51, "", 0), File(511, 51, "", 0)}, 50, user));
    ASSERT_TRUE(db.DeleteSpaceFile(511, user));
    EXPECT_FALSE(db.DeleteSpaceFile(0, user));
    EXPECT_EQ(Raw("select group_concat(fileid) from spacefile"), "502,503");
}
