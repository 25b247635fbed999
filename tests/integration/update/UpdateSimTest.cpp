// The version check and the Update program end to end against vexora-sim: `vexora
// check-update` in its cases, then the whole hand-over: the updater moves to the temporary
// folder, ends the running main program, downloads and runs the installer, and starts the
// main program again with its former arguments.

#include "StatusCollector.h"
#include "common/LoopbackServer.h"
#include "common/SimHarness.h"
#include "common/TestUtil.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "updater/HttpDownload.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vx::test {
namespace {

using Clock = std::chrono::steady_clock;

bool WaitFor(const std::function<bool()>& pred, int ms)
{
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class UpdateSimTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_installer = m_dir.File("VexoraSetup");
        m_installed = m_dir.File("installed");
        std::string s = "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + m_installed + "'\nexit 0\n";
        while (s.size() < 600000)
            s += "# payload .......................................................\n";
        ASSERT_TRUE(WriteFile(m_installer, s));
    }
    std::string Server() const { return "127.0.0.1:" + std::to_string(m_sim.VersionPort()); }
    std::string InstallerUrl() const
    {
        return "http://127.0.0.1:" + std::to_string(m_sim.WebPort()) + "/download/VexoraSetup";
    }

    CScopedDataDir m_data;
    CTempDir m_dir;
    CSimProcess m_sim;
    std::string m_installer, m_installed;
};

TEST_F(UpdateSimTest, CheckUpdateCommand)
{
    ASSERT_TRUE(m_sim.Start({"--latest-version", "9.0.0.0", "--installer", m_installer}));
    RunResult r = RunProgram("vexora", {"check-update", "--server", Server()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, InstallerUrl() + "\n");

    // From the configuration file, as JSON.
    std::string ini = m_sim.WriteConfig(m_dir.Path());
    r = RunProgram("vexora", {"--config", ini, "--json", "check-update"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"upToDate\": false"), std::string::npos) << r.out;

    // UDP ignored: the answer comes over TCP after the UDP waits.
    ASSERT_TRUE(m_sim.SetFault("no-udp", "on"));
    auto t0 = Clock::now();
    r = RunProgram("vexora", {"check-update", "--server", Server()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, InstallerUrl() + "\n");
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(1900));

    // Garbage answers are a failed check, not an update, and said to be malformed.
    ASSERT_TRUE(m_sim.SetFault("no-udp", "off"));
    ASSERT_TRUE(m_sim.SetFault("garbage", "version"));
    r = RunProgram("vexora", {"check-update", "--server", Server()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(Server()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("malformed reply"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("did not answer"), std::string::npos) << r.err;
}

TEST_F(UpdateSimTest, CheckUpdateUpToDateAndUnanswered)
{
    ASSERT_TRUE(m_sim.Start());
    RunResult r = RunProgram("vexora", {"check-update", "--server", Server()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "up to date\n");

    // Nothing listens: UDP waits, the connection is refused, and the check fails in bounded time.
    const std::string dead = "127.0.0.1:" + std::to_string(UnusedLoopbackPort());
    auto t0 = Clock::now();
    r = RunProgram("vexora", {"check-update", "--server", dead});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(dead), std::string::npos) << r.err;
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(5));
}

TEST_F(UpdateSimTest, DownloadFromTheSimulatorRunsItsDemoInstaller)
{
    ASSERT_TRUE(m_sim.Start({"--latest-version", "9.0.0.0"}));
    CStatusCollector sink;
    DownloadSettings s;
    s.tempFolder = m_dir.Path();
    CHttpDownload dl(std::ref(sink), s);
    ASSERT_TRUE(
        dl.Begin("http://127.0.0.1:" + std::to_string(m_sim.WebPort()) + "/download/VexoraSetup.exe"));
    std::pair<int, uint32_t> final;
    ASSERT_TRUE(sink.WaitFinal(30000, &final));
    EXPECT_EQ(final, std::make_pair(DS_NONE, kDownloadDone));
    EXPECT_EQ(ReadFile(dl.TempFilePath()), ReadFile(m_sim.RootDir() + "installer/VexoraSetup.exe"));
}

TEST_F(UpdateSimTest, UpdaterReplacesTheRunningMainProgramAndStartsItAgain)
{
    ASSERT_TRUE(m_sim.Start({"--latest-version", "9.0.0.0", "--installer", m_installer}));
    RunResult check = RunProgram("vexora", {"check-update", "--server", Server()});
    ASSERT_EQ(check.exitCode, 0) << check.err;
    const std::string url = check.out.substr(0, check.out.find('\n'));

    // The "main program": a copy of the shell under our name, so it has its own executable.
    const std::string tmp = m_dir.File("tmp/"), app = m_dir.File("app/");
    ASSERT_TRUE(MakeDirs(tmp) && MakeDirs(app));
    const std::string mainProgram = app + "VexoraV2", restarted = m_dir.File("restarted");
    ASSERT_TRUE(CopyFileReplace("/bin/sh", mainProgram));
    chmod(mainProgram.c_str(), 0755);
    CProcess running;
    ASSERT_TRUE(running.Start(mainProgram, {"-c", "while :; do sleep 0.2; done"}));
    ASSERT_TRUE(WaitFor([&] { return !FindProcessesByExe(mainProgram).empty(); }, 3000));

    const std::string script =
        "printf '[%s]' \"$@\" > '" + restarted + ".part' && mv '" + restarted + ".part' '" + restarted + "'";
    const std::string runtime = m_dir.File("run/");
    ASSERT_TRUE(MakeDirs(runtime));
    RunResult r = RunProgram("Update", {url, "Vexora", mainProgram, "-c", script, "VexoraV2", "a;b", "c d"},
                             {"TMPDIR=" + tmp, "XDG_RUNTIME_DIR=" + runtime, "QT_QPA_PLATFORM=offscreen",
                              "LSAN_OPTIONS=suppressions=" VX_SOURCE_DIR "/tests/ui/update/lsan.supp"},
                             20000);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // The copy and the installer live in the user's own runtime folder, not in the shared one.
    const std::string privateFolder = runtime + "vexora-update/";
    const std::string copy = privateFolder + "VX-Update0";
    EXPECT_TRUE(FileExists(copy));
    EXPECT_FALSE(FileExists(tmp + "VX-Update0"));

    int code = 0;
    EXPECT_TRUE(running.Wait(10000, &code)) << "the running main program was not ended";
    EXPECT_TRUE(WaitFor([&] { return FileExists(restarted); }, 30000));
    EXPECT_EQ(ReadFile(m_installed), "/verysilent\n");
    EXPECT_EQ(ReadFile(restarted), "[a;b][c d]");
    EXPECT_EQ(ReadFile(privateFolder + "VexoraSetup"), ReadFile(m_installer));
    // The updater closes itself once the main program is started again.
    EXPECT_TRUE(WaitFor([&] { return FindProcessesByExe(copy).empty(); }, 10000));
    for (pid_t pid : FindProcessesByExe(copy)) // only the copy this test made run
        EndProcess(pid, 1000);
}

// The updater cannot move itself to a private folder: it says so and ends non-zero, and the
// main program, which waits for that verdict, starts normally instead of ending on every start.
TEST_F(UpdateSimTest, UpdaterThatCannotRelocateLeavesTheMainProgramRunning)
{
    const std::string missing = m_dir.File("no-such-tmp");
    RunResult r = RunProgram("Update", {"http://127.0.0.1:1/x", "Vexora", "", ""},
                             {"TMPDIR=" + missing, "XDG_RUNTIME_DIR="}, 20000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot run from a private temporary folder"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;

    ASSERT_TRUE(m_sim.Start({"--latest-version", "9.0.0.0", "--installer", m_installer}));
    const std::string ini = m_sim.WriteConfig(m_dir.Path());
    r = RunProgram("VexoraV2", {}, {"VEXORA_CONFIG=" + ini, "TMPDIR=" + missing, "XDG_RUNTIME_DIR="}, 60000);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Vexora ", 0), 0u) << "the program did not start: " << r.out;
    EXPECT_NE(r.err.find("更新程序无法运行"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("cannot run from a private temporary folder"), std::string::npos) << r.err;
    std::string log = ReadFile(m_data.Path() + "Log/log.txt");
    EXPECT_NE(log.find("starting without the update"), std::string::npos) << log;
    EXPECT_NE(log.find("Info : 程序更新检查完毕"), std::string::npos) << log;
}

// A copy that cannot be executed where it was put (a noexec mount) is caught the same way.
TEST_F(UpdateSimTest, UpdaterCopyOnANoexecFolderIsReportedNotSilent)
{
    const std::string mnt = m_dir.File("noexec");
    ASSERT_TRUE(MakeDirs(mnt));
    // A private mount namespace gives the test its own noexec tmpfs; skip where there is none.
    RunResult probe =
        RunProgram("/usr/bin/unshare", {"-rm", "sh", "-c", "mount -t tmpfs -o noexec tmpfs \"$0\"", mnt});
    if (probe.exitCode != 0)
        GTEST_SKIP() << "no private mount namespace here: " << probe.err;
    RunResult r =
        RunProgram("/usr/bin/unshare",
                   {"-rm", "sh", "-c",
                    "mount -t tmpfs -o noexec tmpfs \"$0\" && exec \"$1\" http://127.0.0.1:1/x Vexora", mnt,
                    BinDir() + "Update"},
                   {"XDG_RUNTIME_DIR=" + mnt}, 20000);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("Permission denied"), std::string::npos) << r.err;
}

} // namespace
} // namespace vx::test
