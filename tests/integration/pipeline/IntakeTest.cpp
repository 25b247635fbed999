// Adding course files: the checks of every addition and the mirrored folder trees of a drop.

#include "PipelineFixture.h"

#include "app/Utils.h"
#include "platform/Paths.h"
#include "upload/TransProtocol.h"

#include <json/json.h>

#include <atomic>
#include <set>

using namespace vx;
using namespace vx::test;

namespace {

class Intake : public PipelineTest
{
protected:
    void SetUp() override
    {
        VX_SKIP_LISTED_ON_WINDOWS();
        Boot({"--quota-gb", "3"});
        StartSession();
    }
    std::vector<SpaceEntry> Folders(int64_t parent)
    {
        std::vector<SpaceEntry> out;
        std::string err;
        api->RequestForDirList(parent, false, &out, &err);
        return out;
    }
    int64_t FolderNamed(int64_t parent, const std::string& name)
    {
        for (const SpaceEntry& e : Folders(parent))
            if (e.strName == name)
                return e.i64Id;
        return 0;
    }
    // A file of `bytes` that takes no disk space.
    std::string Sparse(const std::string& relPath, int64_t bytes)
    {
        std::string path = dir->File(relPath);
        MakeDirs(path.substr(0, path.find_last_of('/')));
        EXPECT_TRUE(WriteSparseFile(path, bytes));
        return path;
    }
};

} // namespace

// A name the batch text must escape (Windows names cannot hold a double quote).
#ifdef _WIN32
const std::string kDraft = "notes 'draft' & v2 100%.pdf";
#else
const std::string kDraft = "notes \"draft\" v2.pdf";
#endif

TEST_F(Intake, DropOfANestedTreeMirrorsItWithEmptyFoldersInOneBatch)
{
    std::string top = dir->File("drop/course");
    MakeFile("drop/course/intro.pdf", "%PDF-1.4 intro");
    ASSERT_TRUE(FileExists(MakeFile("drop/course/week 1/" + kDraft, "%PDF-1.4 w1")));
    MakeFile("drop/course/week 1/deep/er/last.swf", "FWS last");
    MakeDirs(dir->File("drop/course/week 2/empty"));
    std::string loose = MakeFile("drop/loose.pdf", "%PDF-1.4 loose");
    CCourseIntake intake(*pipeline);
    const size_t batchesBefore = sim.LogText().size();
    ASSERT_EQ(intake.OnDropFiles({top, loose}, root, 1), 4) << intake.Error();
    // The simulator logs a request once it has answered it.
    loop.PumpUntil(
        [&] { return sim.LogText().find("/ajax/ftp/dir/upload", batchesBefore) != std::string::npos; }, 3000);
    std::string log = sim.LogText().substr(batchesBefore);
    size_t batches = 0;
    for (size_t at = log.find("/ajax/ftp/dir/upload"); at != std::string::npos;
         at = log.find("/ajax/ftp/dir/upload", at + 1))
        ++batches;
    EXPECT_EQ(batches, 1u) << "one batch request for the whole tree";

    int64_t course = FolderNamed(root, "course");
    ASSERT_GT(course, 0);
    int64_t week1 = FolderNamed(course, "week 1"), week2 = FolderNamed(course, "week 2");
    ASSERT_GT(week1, 0);
    ASSERT_GT(week2, 0);
    EXPECT_GT(FolderNamed(week2, "empty"), 0) << "empty folders are created too";
    int64_t er = FolderNamed(FolderNamed(week1, "deep"), "er");
    ASSERT_GT(er, 0);
    std::map<std::string, int64_t> where;
    for (const std::string& idx : intake.Added())
        where[courses.Find(idx)->strFileName] = courses.Find(idx)->i64DirId;
    EXPECT_EQ(where["intro.pdf"], course);
    EXPECT_EQ(where[kDraft], week1);
    EXPECT_EQ(where["last.swf"], er);
    EXPECT_EQ(where["loose.pdf"], root) << "files dropped at the top go into the shown folder";
    EXPECT_NE(tree.Find(er), nullptr) << "the new folders join the tree";

    ASSERT_TRUE(RunUntilIdle());
    EXPECT_EQ(RemoteFiles(week1).count(kDraft), 1u);
    EXPECT_EQ(RemoteFiles(er).count("last.swf"), 1u);
}

// Links that lead back up the tree, or a second way to a folder or file, must not multiply the
// files (each loop used to nest the tree about forty times over); named pipes inside a tree are
// left out without a word, and named when dropped themselves.
VX_NOT_ON_WINDOWS(Intake, DropVisitsEachRealFolderAndFileOnce, kNoSymlinks);
TEST_F(Intake, DropVisitsEachRealFolderAndFileOnce)
{
    const std::string top = dir->File("looped");
    MakeFile("looped/a.pdf", "%PDF-1.4 a");
    MakeFile("looped/sub/b.pdf", "%PDF-1.4 b");
    MakeFile("elsewhere/c.pdf", "%PDF-1.4 c");
    ASSERT_TRUE(MakeSymlink(".", top + "/self"));
    ASSERT_TRUE(MakeSymlink("..", top + "/sub/up"));
    ASSERT_TRUE(MakeSymlink("a.pdf", top + "/alias.pdf"));
    ASSERT_TRUE(MakeSymlink(dir->File("elsewhere/c.pdf"), top + "/sub/c-link.pdf"));
    ASSERT_TRUE(MakeSymlink(dir->File("elsewhere"), top + "/other"));
    ASSERT_TRUE(MakeSymlink(dir->File("elsewhere"), top + "/sub/other-again"));
    ASSERT_TRUE(MakeSymlink("nothing.pdf", top + "/dangling.pdf"));
    ASSERT_TRUE(MakeFifo(top + "/pipe.mp4"));
    ASSERT_TRUE(MakeFifo(dir->File("lone.mp4")));

    CCourseIntake intake(*pipeline);
    // a.pdf, b.pdf, and c.pdf once (through sub/c-link.pdf or through other/).
    ASSERT_EQ(intake.OnDropFiles({top, dir->File("lone.mp4")}, root, 1), 3) << intake.Error();
    std::set<std::string> names;
    for (const std::string& idx : intake.Added())
        names.insert(courses.Find(idx)->strFileName);
    EXPECT_EQ(names.size(), 3u);
    EXPECT_EQ(names.count("a.pdf") + names.count("alias.pdf"), 1u);
    EXPECT_EQ(names.count("b.pdf"), 1u);
    EXPECT_EQ(names.count("c.pdf") + names.count("c-link.pdf"), 1u);

    std::map<std::string, std::string> skipped(intake.Skipped().begin(), intake.Skipped().end());
    EXPECT_EQ(ui.skipped, intake.Skipped()) << "the user is shown what was left out";
    EXPECT_NE(skipped[top + "/self"].find("a loop"), std::string::npos);
    EXPECT_NE(skipped[top + "/sub/up"].find("a loop"), std::string::npos);
    EXPECT_NE(skipped[top + "/dangling.pdf"].find("a link to nothing"), std::string::npos);
    EXPECT_EQ(skipped.count(top + "/other") + skipped.count(top + "/sub/other-again"), 1u)
        << "the second way into a folder is left out";
    EXPECT_EQ(skipped.count(top + "/pipe.mp4"), 0u) << "a named pipe in a tree goes without a word";
    std::map<std::string, std::string> refused(intake.Refused().begin(), intake.Refused().end());
    EXPECT_EQ(refused.count(top + "/pipe.mp4"), 0u);
    EXPECT_EQ(refused[dir->File("lone.mp4")], "not a regular file (a named pipe)");

    // The remote tree holds each real folder once: looped, sub and one of the two links.
    int64_t looped = FolderNamed(root, "looped");
    ASSERT_GT(looped, 0);
    EXPECT_EQ(Folders(looped).size(), 2u - skipped.count(top + "/other"));
    EXPECT_EQ(FolderNamed(looped, "self"), 0);
    EXPECT_EQ(Folders(FolderNamed(looped, "sub")).size(), 1u - skipped.count(top + "/sub/other-again"));

    // A drop interrupted while its tree is scanned adds nothing and creates no folder.
    MakeFile("second/d.pdf", "%PDF-1.4 d");
    std::atomic<bool> stop{true};
    intake.SetCancelFlag(&stop);
    EXPECT_EQ(intake.OnDropFiles({dir->File("second")}, root, 1), 0);
    EXPECT_NE(intake.Error().find("interrupted"), std::string::npos) << intake.Error();
    EXPECT_EQ(FolderNamed(root, "second"), 0);
}

TEST_F(Intake, DropWithoutAnyFileCreatesNothing)
{
    MakeDirs(dir->File("hollow/a/b"));
    CCourseIntake intake(*pipeline);
    EXPECT_EQ(intake.OnDropFiles({dir->File("hollow")}, root, 1), 0);
    EXPECT_EQ(FolderNamed(root, "hollow"), 0);
    EXPECT_EQ(intake.Error(), cfg->GetText(2086));
}

TEST_F(Intake, FilesGoIntoTheUsersOwnSpaceOnly)
{
    SpaceRow other;
    other.i64Id = 777777;
    other.i64OwnId = cfg->m_i64UserId + 1;
    other.nLevel = 0;
    other.strName = "colleague";
    tree.AddFolder(other);
    tree.Select(other.i64Id);
    space.Show(other.i64Id);
    CCourseIntake intake(*pipeline);
    EXPECT_EQ(intake.AddFileToProcess(std::vector<std::string>{MakeFile("x.pdf", "%PDF")}), 0);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].type, MB_WARNING);
    EXPECT_EQ(ui.boxes[0].text.find(cfg->GetText(2085)), 0u);
    EXPECT_TRUE(courses.Indexes().empty());
}

TEST_F(Intake, SpaceCheckCountsWhatIsAlreadyInProcess)
{
    // The simulator's organisation has 3 GB; 2.5 GB are in process; a 1 GB file does not fit.
    _sLCItemData big;
    big.strFileIndex = "big";
    big.strFilePath = "/elsewhere/big.mp4";
    big.nStatus = CS_WAIT_CONVERT;
    big.i64FileSize = 5LL * 1024 * 1024 * 1024 / 2;
    courses.AddRecord(big, true);
    std::string file = Sparse("one-gb.mp4", kGB);
    CCourseIntake intake(*pipeline);
    EXPECT_EQ(intake.AddFileToProcess(std::vector<std::string>{file}), 0);
    ASSERT_EQ(ui.warnings.size(), 1u);
    EXPECT_EQ(ui.warnings[0].first, 3);
    EXPECT_EQ(ui.warnings[0].second, "SpaceInsufWnd");
    EXPECT_EQ(courses.Indexes().size(), 1u);
    // Without the records in process it fits.
    courses.Remove("big");
    EXPECT_EQ(intake.AddFileToProcess(std::vector<std::string>{file}), 1);
}

// Files not probed yet count by their size on disk: two quick additions cannot both pass on
// the same free space (3 GB here).
TEST_F(Intake, FilesWaitingForTheProbeCountByTheirSizeOnDisk)
{
    CCourseIntake intake(*pipeline);
    ASSERT_EQ(intake.AddFileToProcess(std::vector<std::string>{Sparse("first.mp4", 2 * kGB)}), 1);
    const _sLCItemData* first = courses.Find(intake.Added()[0]);
    EXPECT_EQ(first->nStatus, CS_WAIT_MEDIAINFO);
    EXPECT_EQ(first->i64FileSize, 2 * kGB);
    EXPECT_DOUBLE_EQ(pipeline->InProcessSize(), 2.0);
    EXPECT_EQ(intake.AddFileToProcess(std::vector<std::string>{Sparse("second.mp4", 3 * kGB / 2)}), 0);
    EXPECT_EQ(ui.warnings.size(), 1u);
    EXPECT_EQ(courses.Indexes().size(), 1u);
}

// Records restored at the next start count by their size, also those stored before their probe
// without one: an interrupted batch cannot let a second one pass on the same space.
TEST_F(Intake, RestoredRecordsCountByTheirSize)
{
    _sLCItemData queued = Rec("queued", CS_CONVERT_QUEUED, kGB); // folds back to the probe
    _sLCItemData unprobed = Rec("unprobed", CS_WAIT_MEDIAINFO);
    unprobed.strFilePath = Sparse("unprobed.mp4", kGB);
    _sLCItemData uploading = Rec("uploading", CS_UPLOADING, kGB / 2, kGB / 2); // folds back to 8
    ASSERT_TRUE(db->SaveCourseFiles({queued, unprobed, uploading}, cfg->m_i64UserId));
    pipeline->ReleaseTaskS();
    courses.RemoveRecords(courses.Indexes());
    converted.RemoveRecords(converted.Indexes());
    pipeline->StartSession();
    ASSERT_TRUE(loop.PumpUntil([&] { return pipeline->IsSessionRunning(); }, 10000));
    EXPECT_DOUBLE_EQ(pipeline->InProcessSize(), 2.5);

    CCourseIntake intake(*pipeline);
    EXPECT_EQ(intake.AddFileToProcess(std::vector<std::string>{Sparse("more.mp4", kGB)}), 0);
    EXPECT_EQ(ui.warnings.size(), 1u);
}

// A drop's folders are made only when its files are then added: the check after the server's
// answers uses the figure the batch was sent on, whatever changed in between.
TEST_F(Intake, ADropIsCheckedOnTheFigureItsFoldersWereMadeOn)
{
    MakeFile("figure/lesson/a.pdf", "%PDF-1.4 a");
    CCourseIntake intake(*pipeline);
    IntakeJob job;
    ASSERT_TRUE(intake.BeginDrop({dir->File("figure/lesson")}, root, 1, &job));
    CCourseIntake::RunRequests(*api, &job);
    ASSERT_TRUE(job.bBatchSent);
    // Meanwhile a record in process grows to its converted size and fills the space.
    courses.AddRecord(Rec("grown", CS_CONVERTED, 3 * kGB), true);
    EXPECT_EQ(intake.Finish(std::move(job)), 1) << intake.Error();
    const int64_t lesson = FolderNamed(root, "lesson");
    ASSERT_GT(lesson, 0);
    ASSERT_EQ(intake.Added().size(), 1u);
    EXPECT_EQ(courses.Find(intake.Added()[0])->i64DirId, lesson);
}

TEST_F(Intake, NameLengthDependsOnTheTimeStampOption)
{
    const std::string name = std::string(103, 'n') + ".mp4"; // 107 characters
    std::string path = MakeFile(name, "x");
    _sSetData o = cfg->m_setData;
    o.nUinfo |= kOptTimeStamp;
    cfg->SetUserOptions(o);
    CCourseIntake intake(*pipeline);
    EXPECT_EQ(intake.AddFileToProcess(std::vector<std::string>{path}), 0);
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_NE(ui.boxes.back().text.find(cfg->GetText(2055)), std::string::npos);
    ASSERT_EQ(ui.revealed.size(), 1u) << "a single refused file is shown in the file manager";

    o.nUinfo &= ~kOptTimeStamp;
    o.strTimeStamp.clear();
    cfg->SetUserOptions(o);
    EXPECT_EQ(intake.AddFileToProcess(std::vector<std::string>{path}), 1);
    // A name suffix eats into the limit, counted in bytes.
    o.strTimeStamp = "课程"; // 6 bytes: limit 112
    cfg->SetUserOptions(o);
    std::string longer = MakeFile(std::string(109, 'm') + ".mp4", "x"); // 113 characters
    EXPECT_EQ(intake.AddFileToProcess(std::vector<std::string>{longer}), 0);
    // Characters, not bytes, are what the name is measured in.
    std::string wide = MakeFile(std::string("课") + std::string(100, 'w') + ".mp4", "x"); // 105 characters
    EXPECT_EQ(intake.AddFileToProcess(std::vector<std::string>{wide}), 1);
}

TEST_F(Intake, ExtensionsMustMatchALineWithoutRegardToCase)
{
    WriteFile(dir->File("Ext.data"), ".mp4\n  .PDF  \n\n.asc.flv\n");
    CCourseIntake intake(*pipeline);
    intake.SetExtFile(dir->File("Ext.data"));
    EXPECT_TRUE(intake.CheckExtName("/a/b.MP4"));
    EXPECT_TRUE(intake.CheckExtName("/a/b.pdf"));
    EXPECT_FALSE(intake.CheckExtName("/a/b.mp")) << "a part of a line is not the line";
    EXPECT_FALSE(intake.CheckExtName("/a/b.p"));
    EXPECT_FALSE(intake.CheckExtName("/a/noext"));
    std::vector<std::string> several = {"/a/1.mp4", "/a/2.mp", "/a/3.Pdf"};
    intake.FilterCourseFiles(&several, false);
    EXPECT_EQ(several, (std::vector<std::string>{"/a/1.mp4", "/a/3.Pdf"}));
    EXPECT_TRUE(ui.boxes.empty()) << "several files: the refused ones go silently";
    std::vector<std::string> one = {"/a/2.mp"};
    intake.FilterCourseFiles(&one, true);
    EXPECT_TRUE(one.empty());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_NE(ui.boxes[0].text.find(cfg->GetText(2084)), std::string::npos);

    // Without the file everything is accepted, even an endless name.
    intake.SetExtFile(dir->File("missing.data"));
    std::vector<std::string> any = {"/a/" + std::string(300, 'z') + ".xyz"};
    intake.FilterCourseFiles(&any, true);
    EXPECT_EQ(any.size(), 1u);
}

TEST_F(Intake, DuplicatesAreSkippedAndASingleOneIsShown)
{
    std::string a = MakeFile("dup.pdf", "%PDF");
    std::string b = MakeFile("other.pdf", "%PDF");
    CCourseIntake intake(*pipeline);
    ASSERT_EQ(intake.AddFileToProcess(std::vector<std::string>{a}), 1);
    EXPECT_EQ(intake.AddFileToProcess(std::vector<std::string>{a, b}), 1);
    EXPECT_TRUE(ui.revealed.empty());
    EXPECT_EQ(intake.AddFileToProcess(std::vector<std::string>{a}), 0);
    EXPECT_EQ(ui.revealed, std::vector<std::string>{a});
}

TEST(IntakeBatch, FolderNamesCannotBreakTheBatchText)
{
    std::vector<PathEntry> folders(3);
    const char* names[] = {"say \"hi\"", "back\\slash", "tab\tand\nnewline"};
    for (int i = 0; i < 3; ++i) {
        folders[i].strPath = std::string("/x/") + names[i];
        folders[i].strClientId = "c" + std::to_string(i);
        folders[i].strClientPid = i == 0 ? "0" : "c0";
    }
    std::string text = CCourseIntake::DirArrayToJsonArray(42, 7, folders);
    EXPECT_EQ(text.find('\n'), std::string::npos) << "one line";
    Json::Value v;
    Json::CharReaderBuilder rb;
    std::string errs;
    std::istringstream in(text);
    ASSERT_TRUE(Json::parseFromStream(rb, in, &v, &errs)) << errs << text;
    EXPECT_EQ(v["pid"].asString(), "42");
    EXPECT_EQ(v["orgid"].asString(), "7");
    ASSERT_EQ(v["list"].size(), 3u);
    for (int i = 0; i < 3; ++i) {
        // Control characters go as blanks: the platform refuses names holding them.
        EXPECT_EQ(v["list"][i]["name"].asString(), UrlEncode(RemoteName(names[i])));
        EXPECT_EQ(v["list"][i]["clientPid"].asString(), i == 0 ? "0" : "c0");
    }
    EXPECT_EQ(CCourseIntake::DirArrayToJsonArray(1, 1, {}), "");
}

namespace {

std::vector<std::string> ListedPaths(CMemCourseList& list)
{
    std::vector<std::string> out;
    for (const std::string& idx : list.Indexes())
        out.push_back(list.Find(idx)->strFilePath);
    return out;
}

std::set<std::string> StoredPaths(CLocalDb& db, int64_t user)
{
    std::vector<_sLCItemData> rows;
    db.LoadCourseFiles(user, &rows);
    std::set<std::string> out;
    for (const _sLCItemData& r : rows)
        out.insert(r.strFilePath);
    return out;
}

} // namespace

// A drop finished in steps (as the window does it) ends as the one-call form would: every record
// stored at once, listed in the order of the drop; a step cut short by a sign-out or overtaken by
// the next addition leaves no addition half applied.
TEST_F(Intake, FinishInStepsKeepsOrderAndNeverHalfAppliesAnAddition)
{
    for (int i = 0; i < 9; ++i)
        MakeFile("tree/a/" + std::to_string(i) + ".pdf", "%PDF a");
    for (int i = 0; i < 7; ++i)
        MakeFile("tree/b/c/" + std::to_string(i) + ".pdf", "%PDF c");
    const std::string loose = MakeFile("loose.pdf", "%PDF loose");
    CCourseIntake intake(*pipeline);
    intake.SetFinishChunk(4);
    const int64_t user = pipeline->UserId();

    IntakeJob job;
    ASSERT_TRUE(intake.BeginDrop({dir->File("tree"), loose}, root, 1, &job));
    CCourseIntake::RunRequests(*api, &job);
    std::vector<std::string> order;
    for (const PathEntry& e : job.files)
        order.push_back(e.strPath);
    ASSERT_EQ(order.size(), 17u);
    ASSERT_TRUE(intake.StartFinish(std::move(job)));
    EXPECT_TRUE(StoredPaths(*db, user).empty()) << "nothing stored before the first step";
    ASSERT_TRUE(intake.FinishStep());
    EXPECT_EQ(StoredPaths(*db, user).size(), 17u) << "stored all at once";
    EXPECT_TRUE(courses.Indexes().empty());
    int steps = 0;
    while (intake.FinishStep())
        ++steps;
    EXPECT_EQ(steps, 4) << "17 records in chunks of 4";
    EXPECT_FALSE(intake.IsFinishing());
    EXPECT_EQ(ListedPaths(courses), order);
    EXPECT_EQ(intake.Added(), courses.Indexes());

    // Cancelled before the store: neither stored nor listed.
    const std::string first = MakeFile("later/1.pdf", "%PDF 1"), second = MakeFile("later/2.pdf", "%PDF 2");
    ASSERT_TRUE(intake.BeginFiles({first, second}, &job));
    CCourseIntake::RunRequests(*api, &job);
    ASSERT_TRUE(intake.StartFinish(std::move(job)));
    intake.DropFinish();
    EXPECT_FALSE(intake.FinishStep());
    EXPECT_EQ(StoredPaths(*db, user).count(first), 0u);
    EXPECT_EQ(courses.Indexes().size(), 17u);

    // Cancelled after the store: the records wait in the database for the next session whole.
    intake.SetFinishChunk(1);
    ASSERT_TRUE(intake.BeginFiles({first, second}, &job));
    CCourseIntake::RunRequests(*api, &job);
    ASSERT_TRUE(intake.StartFinish(std::move(job)));
    ASSERT_TRUE(intake.FinishStep());
    ASSERT_TRUE(intake.FinishStep());
    intake.DropFinish();
    EXPECT_EQ(courses.Indexes().size(), 18u);
    const std::set<std::string> stored = StoredPaths(*db, user);
    EXPECT_EQ(stored.size(), 19u);
    EXPECT_EQ(stored.count(second), 1u);

    // The next addition completes an unfinished one first, so it sees its records as listed.
    const std::string third = MakeFile("later/3.pdf", "%PDF 3");
    ASSERT_TRUE(intake.BeginFiles({third}, &job));
    CCourseIntake::RunRequests(*api, &job);
    ASSERT_TRUE(intake.StartFinish(std::move(job)));
    EXPECT_EQ(intake.AddFileToProcess(std::vector<std::string>{third}), 0) << "a duplicate now";
    EXPECT_FALSE(intake.IsFinishing());
    EXPECT_EQ(ListedPaths(courses).back(), third);
    EXPECT_EQ(StoredPaths(*db, user).size(), 20u);
}
