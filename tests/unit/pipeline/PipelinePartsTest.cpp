// The parts of the pipeline that need no server: the conversion settings, the keep-awake
// request without a system bus, the shut-down command, the in-memory lists and the edges of
// applying reports to a record.

#include "common/TestUtil.h"
#include "pipeline/ConvertSettings.h"
#include "pipeline/CoursePipeline.h"
#include "pipeline/MemoryModels.h"
#include "platform/Paths.h"
#include "platform/PowerRequest.h"
#include "platform/Process.h"

#include <sstream>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sys/stat.h>
#include <thread>

using namespace vx;
using namespace vx::test;

TEST(ConvertSettings, DefaultCountFollowsTheProcessors)
{
    // Not chosen yet (-1 or 0): by processor count.
    EXPECT_EQ(DefaultConvertCount(-1, 1), 1);
    EXPECT_EQ(DefaultConvertCount(-1, 2), 1);
    EXPECT_EQ(DefaultConvertCount(0, 4), 2);
    EXPECT_EQ(DefaultConvertCount(-1, 8), 4);
    EXPECT_EQ(DefaultConvertCount(-1, 16), 1);
    // A stored choice stands unless it exceeds the processors.
    EXPECT_EQ(DefaultConvertCount(3, 4), 3);
    EXPECT_EQ(DefaultConvertCount(6, 4), 1);
    EXPECT_EQ(DefaultConvertCount(-1, 0), 1) << "an unknown processor count never gives 0";
}

TEST(ConvertSettings, OneBuilderForThePipelineAndTheCommandLine)
{
    CTempDir dir;
    CScopedDataDir data;
    WriteFile(dir.File("Config.ini"), "[convert]\nCodecOption=1\n");
    CAppConfig cfg(dir.File("Config.ini"));
    cfg.m_nCpuCount = 4;
    _sSetData o;
    o.strConvertPath = "/srv/out///";
    o.nVideoConvertType = 2;
    o.nUnkConvertWidth = 800;
    o.nUnkConvertHeight = 600;
    // Without a copy anywhere the program's own path is named (the worker reports it missing).
    EXPECT_EQ(BuildConvertInit(cfg, o, 9).options.strAudioBkImage,
              GetProgramFolder() + "AudioBkImage/audiobackground.png");
    MakeDirs(data.Path() + "AudioBkImage");
    WriteFile(data.Path() + "AudioBkImage/audiobackground.png", "png");
    _sConvertInit init = BuildConvertInit(cfg, o, 9);
    EXPECT_EQ(init.options.OUTPATH, "/srv/out");
    EXPECT_EQ(init.options.nVideoSizeOp, 3);
    EXPECT_EQ(init.options.nCodecMod, CODEC_VBR);
    EXPECT_EQ(init.options.unRc[0], 800);
    EXPECT_EQ(init.options.nNice, 0) << "the default priority is normal";
    o.nPriortyLevel = 2;
    EXPECT_EQ(BuildConvertInit(cfg, o, 9).options.nNice, 19);
    EXPECT_EQ(init.MAX, 2);
    EXPECT_EQ(init.hWnd, 9u);
    EXPECT_EQ(init.uMsgId, 3033u);
    EXPECT_EQ(init.options.strFfmpegPath, GetProgramFolder() + "codecs/ffmpeg");
    // The data folder's copy is preferred.
    EXPECT_EQ(init.options.strAudioBkImage, data.Path() + "AudioBkImage/audiobackground.png");
    o.nFileConvertType = 1;
    EXPECT_EQ(BuildConvertInit(cfg, o, 9, "/other").options.nCodecMod, CODEC_CBR);
    EXPECT_EQ(BuildConvertInit(cfg, o, 9, "/other").options.OUTPATH, "/other");
    cfg.m_nCodecOption = 0;
    o.nFileConvertType = 0;
    EXPECT_EQ(CodecModeOf(cfg, o), CODEC_CBR);
}

#ifdef _WIN32
TEST(PowerRequest, TheKeepAwakeRequestIsHeldUntilReleased)
{
    CPowerInhibitor power;
    EXPECT_TRUE(power.Acquire("test")) << power.LastError();
    EXPECT_TRUE(power.IsHeld());
    power.Release();
    EXPECT_FALSE(power.IsHeld());
    power.Release(); // harmless when not held
}
#else
TEST(PowerRequest, WithoutASystemBusItFailsWithACauseAndNothingElse)
{
    const char* old = getenv("DBUS_SYSTEM_BUS_ADDRESS");
    std::string saved = old ? old : "";
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/vexora-test-bus", 1);
    CPowerInhibitor power;
    EXPECT_FALSE(power.Acquire("test"));
    EXPECT_FALSE(power.IsHeld());
    EXPECT_FALSE(power.LastError().empty());
    power.Release(); // harmless when not held
    EXPECT_FALSE(power.IsHeld());
    if (old)
        setenv("DBUS_SYSTEM_BUS_ADDRESS", saved.c_str(), 1);
    else
        unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}
#endif

TEST(ShutdownCommand, RunsTheConfiguredWordsWithoutAShell)
{
    CTempDir dir;
    const std::string recorder = dir.File("recorder");
    const std::string out = dir.File("called");
    WriteFile(recorder, "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done > \"" + out + "\"\n");
    chmod(recorder.c_str(), 0755);
    std::string error;
    ASSERT_TRUE(StartShutdownCommand(recorder + " now \"in 5\" ;echo $HOME", &error)) << error;
    for (int i = 0; i < 100 && ReadFile(out).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(ReadFile(out), "[now]\n[in 5]\n[;echo]\n[$HOME]\n");
    EXPECT_FALSE(StartShutdownCommand("   ", &error));
    EXPECT_NE(error.find("ShutdownCommand"), std::string::npos);
    EXPECT_FALSE(StartShutdownCommand(dir.File("no-such-program"), &error));
}

TEST(MemoryModels, ListsKeepOrderFindByIndexAndSurviveRemovals)
{
    CMemCourseList list;
    int changes = 0;
    list.onChanged = [&](const std::string&, const _sLCItemData*) { ++changes; };
    for (int i = 0; i < 5; ++i) {
        _sLCItemData r;
        r.strFileIndex = "i" + std::to_string(i);
        list.AddRecord(r, true);
    }
    _sLCItemData* three = list.Find("i3");
    ASSERT_NE(three, nullptr);
    list.Remove("i1");
    EXPECT_EQ(list.Find("i3"), three) << "other records stay where they are";
    EXPECT_EQ(list.Indexes(), (std::vector<std::string>{"i0", "i2", "i3", "i4"}));
    list.store.SetChecked("i4", true);
    list.store.SetChecked("i0", true);
    EXPECT_EQ(list.Checked(), (std::vector<std::string>{"i0", "i4"}));
    EXPECT_EQ(changes, 6);
    CMemConvertedList done;
    _sLCItemData r;
    r.strFileIndex = "x";
    EXPECT_TRUE(done.AddRecord(r, true));
    EXPECT_FALSE(done.AddRecord(r, true)) << "one element per file index";

    CMemFolderTree tree;
    auto folder = [](int64_t id, int64_t parent, int64_t owner, int32_t level) {
        SpaceRow f;
        f.i64Id = id;
        f.i64ParentId = parent;
        f.i64OwnId = owner;
        f.nLevel = level;
        return f;
    };
    SpaceRow other = folder(5, 0, 2, 0), mine = folder(9, 0, 1, 0), sub = folder(3, 9, 1, 1);
    tree.AddFolder(other);
    tree.AddFolder(sub);
    tree.AddFolder(mine);
    EXPECT_EQ(tree.RootOfUser(1), 9);
    EXPECT_EQ(tree.RootOfUser(3), 0);
}

TEST(ConvertSettings, PriorityLowersTheEncodersNiceness)
{
    EXPECT_EQ(NicenessOf(0), 0);
    EXPECT_EQ(NicenessOf(1), 10);
    EXPECT_EQ(NicenessOf(5), 19);
    CProcess p;
    ProcessOptions opt;
    opt.niceness = 10;
    ASSERT_TRUE(p.Start("/bin/sleep", {"5"}, opt));
    // Field 19 of /proc/PID/stat is the nice value (after the name in parentheses).
    std::string stat = ReadFile("/proc/" + std::to_string(p.Pid()) + "/stat");
    std::istringstream in(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 19; ++i)
        in >> field;
    std::string ours = ReadFile("/proc/self/stat");
    std::istringstream self(ours.substr(ours.rfind(')') + 2));
    std::string ourNice;
    for (int i = 3; i <= 19; ++i)
        self >> ourNice;
    EXPECT_EQ(std::stoi(field), std::min(19, std::stoi(ourNice) + 10));
    p.Terminate(100);
}

TEST(CourseReports, SpeedStaysSaneAtTheEdgesOfTheClockAndTheCounts)
{
    CTempDir dir;
    CAppConfig cfg(dir.File("Config.ini"));
    CCourseReports reports(cfg);
    int64_t now = 1000;
    reports.SetClock([&now] { return now; });
    _sLCItemData r;
    r.strFileIndex = "f";
    r.nStatus = CS_UPLOAD_QUEUED;
    r.i64FileEnd = int64_t{8} << 40;
    _sTransReport t;
    t.strFileIndex = "f";
    t.i64FileId = 1;
    t.nCode = TR_PROGRESS;
    EXPECT_TRUE(reports.UpdateItemByTransInfo(r, t).store) << "queued -> uploading is stored";
    EXPECT_EQ(r.nSpeed, 0);
    // Two reports in the same millisecond count as one millisecond apart, never a division by 0.
    t.nInterval = 5000;
    t.i64Pos = 5000;
    EXPECT_FALSE(reports.UpdateItemByTransInfo(r, t).store);
    EXPECT_EQ(r.nSpeed, 5000000);
    // A huge burst saturates instead of wrapping to a negative speed; a negative count is none.
    now += 1;
    t.nInterval = INT32_MAX;
    reports.UpdateItemByTransInfo(r, t);
    EXPECT_EQ(r.nSpeed, INT32_MAX);
    now += 1000;
    t.nInterval = -7;
    reports.UpdateItemByTransInfo(r, t);
    EXPECT_EQ(r.nSpeed, 0);
    // An offset beyond the end (a server that counts differently) shows 99 %, not 130 %.
    t.i64Pos = r.i64FileEnd + r.i64FileEnd / 3;
    reports.UpdateItemByTransInfo(r, t);
    EXPECT_EQ(r.nProgress, 99);
    EXPECT_EQ(reports.ClockCount(), size_t{1});
    // A paused record drops the report and its clock.
    r.nStatus = CS_UPLOAD_PAUSED;
    EXPECT_FALSE(reports.UpdateItemByTransInfo(r, t).applied);
    EXPECT_EQ(reports.ClockCount(), size_t{0});
    // A report that names nothing is dropped whatever the record.
    r.nStatus = CS_UPLOADING;
    _sTransReport none;
    none.nCode = TR_UPLOADED;
    EXPECT_FALSE(reports.UpdateItemByTransInfo(r, none).applied);
    EXPECT_EQ(r.nStatus, CS_UPLOADING);
}

TEST(CourseReports, ARenameThatCannotHappenLeavesTheRecordAsItWas)
{
    CTempDir dir;
    CAppConfig cfg(dir.File("Config.ini"));
    cfg.m_setData.nUinfo = 0;
    cfg.m_setData.strTimeStamp = "_b";
    CCourseReports reports(cfg);
    _sLCItemData r;
    r.strFileIndex = "f";
    r.nStatus = CS_UPLOADING;
    r.nTransTimes = 2;
    r.strConvertPath = dir.File("gone.flv");
    EXPECT_FALSE(reports.RenameUploadFile(r));
    EXPECT_EQ(r.strConvertPath, dir.File("gone.flv"));
    EXPECT_EQ(r.nStatus, CS_UPLOADING);
    EXPECT_EQ(r.nTransTimes, 2);
    r.strConvertPath.clear(); // nothing to rename
    EXPECT_FALSE(reports.RenameUploadFile(r));
    // A folder path (no name) is not renamed either.
    r.strConvertPath = dir.Path();
    EXPECT_FALSE(reports.RenameUploadFile(r));
    ASSERT_TRUE(WriteFile(dir.File("x.audioc.flv"), "a"));
    r.strConvertPath = dir.File("x.audioc.flv");
    EXPECT_TRUE(reports.RenameUploadFile(r));
    EXPECT_EQ(r.strConvertPath, dir.File("x_b.audioc.flv"));
    EXPECT_EQ(r.strConvertName, "x_b.audioc.flv");
    EXPECT_EQ(r.nStatus, CS_WAIT_UPLOAD);
    EXPECT_EQ(r.nTransTimes, 0);
}
