// The companion on a real terminal (a pseudo-terminal): without --password it asks for the
// password, and what the user types never shows.

#include "common/SimHarness.h"
#include "common/TestUtil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vx::test {
namespace {

struct TerminalRun
{
    int exitCode = -1;
    std::string screen; // everything the terminal showed
};

// Runs vexora with the pseudo-terminal as its controlling terminal and all three standard
// streams; once `prompt` has shown, types `typed`.
TerminalRun RunOnTerminal(const std::vector<std::string>& args, const std::vector<std::string>& env,
                          const std::string& prompt, const std::string& typed)
{
    TerminalRun run;
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return run;
    std::string slaveName = ptsname(master);
    const std::string exe = BinDir() + "vexora";
    pid_t pid = fork();
    if (pid == 0) {
        setsid();
        int slave = open(slaveName.c_str(), O_RDWR); // becomes the controlling terminal
        if (slave < 0)
            _exit(126);
        dup2(slave, 0);
        dup2(slave, 1);
        dup2(slave, 2);
        for (const std::string& e : env)
            putenv(strdup(e.c_str()));
        std::vector<char*> argv{const_cast<char*>(exe.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    bool typedYet = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 200) <= 0)
            continue;
        char buf[1024];
        ssize_t n = read(master, buf, sizeof(buf));
        if (n <= 0)
            break; // EIO once the program has ended and closed the terminal
        run.screen.append(buf, static_cast<size_t>(n));
        if (!typedYet && run.screen.find(prompt) != std::string::npos) {
            typedYet = true;
            ssize_t w = write(master, typed.data(), typed.size());
            (void)w;
        }
    }
    if (std::chrono::steady_clock::now() >= deadline)
        kill(pid, SIGKILL); // our own child only
    int status = 0;
    waitpid(pid, &status, 0);
    close(master);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(CliPassword, AskedForOnATerminalAndNeverShown)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start());
    CTempDir dir;
    const std::string ini = sim.WriteConfig(dir.Path());
    const std::vector<std::string> env{"VEXORA_DATA_DIR=" + dir.Path() + "data",
                                       "VEXORA_PASSWORD=", "VEXORA_USER="};
    const std::string prompt = "Password for " + CSimProcess::DemoUser() + ": ";

    TerminalRun ok = RunOnTerminal({"--config", ini, "--user", CSimProcess::DemoUser(), "login"}, env, prompt,
                                   CSimProcess::DemoPassword() + "\n");
    EXPECT_EQ(ok.exitCode, 0) << ok.screen;
    EXPECT_NE(ok.screen.find(prompt), std::string::npos) << ok.screen;
    EXPECT_NE(ok.screen.find("account: " + CSimProcess::DemoUser()), std::string::npos) << ok.screen;
    EXPECT_EQ(ok.screen.find(CSimProcess::DemoPassword()), std::string::npos) << "the password was echoed";

    // A wrong password typed in fails like one given on the command line, and is not shown either.
    TerminalRun bad = RunOnTerminal({"--config", ini, "--user", CSimProcess::DemoUser(), "login"}, env,
                                    prompt, "wrong-one\n");
    EXPECT_EQ(bad.exitCode, 1) << bad.screen;
    EXPECT_EQ(bad.screen.find("wrong-one"), std::string::npos) << bad.screen;

    // Not on a terminal: no question, the usual error.
    RunResult piped =
        RunProgram("vexora", {"--config", ini, "--user", CSimProcess::DemoUser(), "login"}, env);
    EXPECT_EQ(piped.exitCode, 2);
    EXPECT_NE(piped.err.find("no account given"), std::string::npos) << piped.err;
}

} // namespace
} // namespace vx::test
