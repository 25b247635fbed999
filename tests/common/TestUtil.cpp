#include "common/TestUtil.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vx::test {

namespace {

void RemoveTree(const std::string& path)
{
    std::string cmd = "rm -rf '" + path + "'";
    if (system(cmd.c_str()) != 0) {
        // best effort: a test folder left behind is harmless
    }
}

} // namespace

CTempDir::CTempDir()
{
    const char* t = getenv("TMPDIR");
    std::string tmpl = std::string(t && *t ? t : "/tmp") + "/vxtest-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()))
        m_path = std::string(buf.data()) + "/";
}

CTempDir::~CTempDir()
{
    if (!m_path.empty() && !getenv("VX_KEEP_TEST_FILES"))
        RemoveTree(m_path);
}

CScopedDataDir::CScopedDataDir()
{
    const char* old = getenv("VEXORA_DATA_DIR");
    m_hadOld = old != nullptr;
    if (old)
        m_old = old;
    setenv("VEXORA_DATA_DIR", m_dir.Path().c_str(), 1);
}

CScopedDataDir::~CScopedDataDir()
{
    if (m_hadOld)
        setenv("VEXORA_DATA_DIR", m_old.c_str(), 1);
    else
        unsetenv("VEXORA_DATA_DIR");
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out);
}

std::string BinDir()
{
    const char* b = getenv("VX_BIN_DIR");
    std::string dir = b && *b ? b : VX_BIN_DIR;
    if (dir.back() != '/')
        dir += '/';
    return dir;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, int timeoutMs)
{
    RunResult r;
    std::string exe = program.find('/') == std::string::npos ? BinDir() + program : program;
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        return r;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        for (const std::string& e : env)
            putenv(strdup(e.c_str()));
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(exe.c_str()));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int open = 2;
    while (open > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            kill(pid, SIGKILL); // our own child only
            break;
        }
        if (poll(fds, 2, static_cast<int>(left.count())) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buf[4096];
            ssize_t n = read(fds[i].fd, buf, sizeof(buf));
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? r.out : r.err).append(buf, static_cast<size_t>(n));
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0)
            close(f.fd);
    int status = 0;
    waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

} // namespace vx::test
