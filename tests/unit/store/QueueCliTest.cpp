// `vexora queue` on real database files: one written by this version, one shaped like an older
// version's (default journal, numbers stored as quoted text, folder-keyed sort table).

#include "StoreFixture.h"

#include <json/json.h>
#include <sstream>

using namespace vx;
using vx::test::RunProgram;
using vx::test::StoreTest;

namespace {

Json::Value ParseJson(const std::string& text)
{
    Json::Value v;
    Json::CharReaderBuilder b;
    std::string errs;
    std::istringstream in(text);
    if (!Json::parseFromStream(b, in, &v, &errs))
        ADD_FAILURE() << errs << "\n" << text;
    return v;
}

_sLCItemData Rec(const std::string& index, int status, const std::string& path)
{
    _sLCItemData r;
    r.strFileIndex = index;
    r.nStatus = status;
    r.strFilePath = path;
    r.strFileName = path.substr(path.find_last_of('/') + 1);
    r.i64FileSize = 6LL << 30;
    r.i64DirId = 3;
    return r;
}

} // namespace

TEST_F(StoreTest, QueueListsTheRecordsAsARestartWouldSeeThem)
{
    {
        CLocalDb db(m_dbPath);
        ASSERT_TRUE(db.SaveCourseFiles({Rec("i-1", CS_CONVERTING, "/课程/第一课 \"引言\".mp4"),
                                        Rec("i-2", CS_UPLOADING, "/a/O'Neil 100%.avi")},
                                       10));
        ASSERT_TRUE(db.SaveCourseFiles({Rec("i-3", CS_UPLOADED, "/b/c.pdf")}, 20));
    }
    const std::vector<std::string> env = {"VEXORA_DATA_DIR=" + m_data.Path()};
    auto r = RunProgram("vexora", {"queue", "--json"}, env);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Json::Value all = ParseJson(r.out);
    ASSERT_TRUE(all.isArray());
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0]["userId"].asInt64(), 10);
    EXPECT_EQ(all[0]["strFileIndex"].asString(), "i-1");
    EXPECT_EQ(all[0]["nStatus"].asInt(), CS_WAIT_MEDIAINFO); // converting restarts at probing
    EXPECT_EQ(all[0]["strFilePath"].asString(), "/课程/第一课 \"引言\".mp4");
    EXPECT_EQ(all[0]["i64FileSize"].asInt64(), 6LL << 30);
    EXPECT_EQ(all[0]["nProgress"].asInt(), 0);
    EXPECT_FALSE(all[0]["statusText"].asString().empty());
    EXPECT_EQ(all[1]["nStatus"].asInt(), CS_CONVERTED); // uploading restarts at the digest
    EXPECT_EQ(all[1]["strFilePath"].asString(), "/a/O'Neil 100%.avi");
    EXPECT_EQ(all[2]["userId"].asInt64(), 20);
    EXPECT_EQ(all[2]["nStatus"].asInt(), CS_UPLOADED);

    auto one = RunProgram("vexora", {"queue", "--user-id", "20", "--json"}, env);
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(ParseJson(one.out).size(), 1u);
    auto none = RunProgram("vexora", {"queue", "--user-id", "99", "--json"}, env);
    ASSERT_EQ(none.exitCode, 0) << none.err;
    EXPECT_EQ(none.out, "[]\n");

    auto plain = RunProgram("vexora", {"queue"}, env);
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_NE(plain.out.find("i-2   8 "), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("6442450944 bytes  /a/O'Neil 100%.avi"), std::string::npos) << plain.out;
}

TEST_F(StoreTest, QueueReadsAnOlderFileWithoutChangingIt)
{
    MakeDirs(m_data.Path() + "DB");
    ASSERT_EQ(
        Raw("create table coursefile(fileindex TEXT PRIMARY KEY NOT NULL,\tuserid BIGINT NOT NULL,\torgid "
            "INTEGER NOT NULL,\tfileid BIGINT,\tdirecid BIGINT NOT NULL,\tfilename TEXT NOT NULL,\t"
            "filename_old TEXT,\tfilepath TEXT NOT NULL,\tconvertpath TEXT,\tfilepath_s TEXT,\tstatus "
            "INTEGER NOT NULL,\tfilesize BIGINT NOT NULL,\tfilestart BIGINT,\tfilemd5 TEXT,\twidth INTEGER "
            "DEFAULT 0,\theight INTEGER DEFAULT 0,\tfilebits INTEGER,\tfiletype INTEGER DEFAULT 0,\t"
            "modifytime TEXT,\tfileend BIGINT,\tcvrfileBits INTEGER DEFAULT 0,\tcvrfiletime INTEGER DEFAULT "
            "0,\tenabled INTEGER);"
            "create table sortrow( dirid BIGINT PRIMARY KEY NOT NULL,SelTabNum INTEGER, userid BIGINT,asrow "
            "INTEGER NOT NULL,asorder INTEGER NOT NULL ,mask Text  );"
            "insert into coursefile(fileindex, userid, orgid, fileid,direcid,filename, filename_old, "
            "filepath, convertpath, filepath_s,status,filesize,filestart,filemd5,width,height,filebits,"
            "filetype,modifytime,fileend,enabled) values ('old-1','7','0','0','12','it''s.mp4', "
            "'it''s.mp4','/x/it''s.mp4','','','11','5368709120','0', '','0','0','0','0','','0','0')"),
        "");
    const std::string before = Raw("select sql from sqlite_master order by name");
    auto r = RunProgram("vexora", {"queue", "--json"}, {"VEXORA_DATA_DIR=" + m_data.Path()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Json::Value all = ParseJson(r.out);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0]["strFilePath"].asString(), "/x/it's.mp4");
    EXPECT_EQ(all[0]["i64FileSize"].asInt64(), 5368709120LL);
    EXPECT_EQ(all[0]["nStatus"].asInt(), CS_CONVERTED);
    EXPECT_EQ(all[0]["i64DirId"].asInt64(), 12);
    EXPECT_EQ(Raw("select sql from sqlite_master order by name"), before);
    EXPECT_EQ(Raw("pragma journal_mode"), "delete");
}

TEST_F(StoreTest, QueueNamesTheFileWhenItCannotReadAndRejectsABadLine)
{
    const std::vector<std::string> env = {"VEXORA_DATA_DIR=" + m_data.Path()};
    auto missing = RunProgram("vexora", {"queue"}, env);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find(m_dbPath + ": the file does not exist"), std::string::npos) << missing.err;
    EXPECT_FALSE(FileExists(m_dbPath)); // looking does not create it

    MakeDirs(m_data.Path() + "DB");
    vx::test::WriteFile(m_dbPath, std::string(4096, 'x'));
    auto garbage = RunProgram("vexora", {"queue"}, env);
    EXPECT_EQ(garbage.exitCode, 1);
    EXPECT_NE(garbage.err.find(m_dbPath), std::string::npos) << garbage.err;

    EXPECT_EQ(RunProgram("vexora", {"queue", "--user-id", "abc"}, env).exitCode, 2);
    EXPECT_EQ(RunProgram("vexora", {"queue", "extra"}, env).exitCode, 2);
}
