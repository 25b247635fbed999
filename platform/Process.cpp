#include "platform/Process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vx {

namespace {

int ExitCodeOf(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

bool ReadPipe(int* fd, std::string* append)
{
    if (*fd < 0)
        return false;
    char buf[8192];
    for (;;) {
        ssize_t n = read(*fd, buf, sizeof(buf));
        if (n > 0) {
            append->append(buf, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        close(*fd);
        *fd = -1;
        return false;
    }
}

std::string ReadArgv0(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::string first;
    std::getline(in, first, '\0');
    return first;
}

std::vector<pid_t> AllPids()
{
    std::vector<pid_t> pids;
    DIR* d = opendir("/proc");
    if (!d)
        return pids;
    while (dirent* e = readdir(d)) {
        char* end = nullptr;
        long v = strtol(e->d_name, &end, 10);
        if (end && *end == '\0' && v > 0)
            pids.push_back(static_cast<pid_t>(v));
    }
    closedir(d);
    return pids;
}

// exe and args as a null-ended argument vector; it points into *store, which must outlive it.
std::vector<char*> MakeArgv(const std::string& exe, const std::vector<std::string>& args,
                            std::vector<std::string>* store)
{
    store->assign(1, exe);
    store->insert(store->end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : *store)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    return argv;
}

} // namespace

CProcess::~CProcess()
{
    if (m_out >= 0)
        close(m_out);
    if (m_err >= 0)
        close(m_err);
    // A child still running when its owner goes is ended, never left as an orphan; a detached
    // one (the updater, a restarted program) is meant to outlive us.
    if (m_pid > 0 && !m_reaped && !m_detached)
        Terminate(1000);
}

bool CProcess::Start(const std::string& exe, const std::vector<std::string>& args, const ProcessOptions& opt,
                     std::string* errText)
{
    int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
    if (opt.captureStdout && pipe2(outPipe, O_CLOEXEC) != 0)
        return false;
    if (opt.captureStderr && !opt.mergeStderr && pipe2(errPipe, O_CLOEXEC) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return false;
    }
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (opt.captureStdout) {
        posix_spawn_file_actions_adddup2(&fa, outPipe[1], 1);
        if (opt.mergeStderr)
            posix_spawn_file_actions_adddup2(&fa, outPipe[1], 2);
    }
    if (errPipe[1] >= 0)
        posix_spawn_file_actions_adddup2(&fa, errPipe[1], 2);
    if (!opt.inheritStdin)
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    if (opt.detached) {
        if (!opt.captureStdout)
            posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        if (!opt.captureStderr && !opt.mergeStderr)
            posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    }
    if (!opt.workDir.empty())
        posix_spawn_file_actions_addchdir_np(&fa, opt.workDir.c_str());

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (opt.detached)
        flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&attr, flags);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all); // SIGPIPE ignored here is default again there

    std::vector<std::string> envStore;
    for (char** e = environ; e && *e; ++e)
        envStore.emplace_back(*e);
    for (const std::string& extra : opt.env) {
        std::string name = extra.substr(0, extra.find('=') + 1);
        for (auto it = envStore.begin(); it != envStore.end();)
            it = it->compare(0, name.size(), name) == 0 ? envStore.erase(it) : std::next(it);
        envStore.push_back(extra);
    }
    std::vector<char*> envp;
    for (std::string& s : envStore)
        envp.push_back(s.data());
    envp.push_back(nullptr);

    std::vector<std::string> argStore;
    std::vector<char*> argv = MakeArgv(exe, args, &argStore);

    pid_t pid = -1;
    int rc = posix_spawn(&pid, exe.c_str(), &fa, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    posix_spawnattr_destroy(&attr);
    if (outPipe[1] >= 0)
        close(outPipe[1]);
    if (errPipe[1] >= 0)
        close(errPipe[1]);
    if (rc != 0) {
        if (outPipe[0] >= 0)
            close(outPipe[0]);
        if (errPipe[0] >= 0)
            close(errPipe[0]);
        if (errText)
            *errText = "cannot start " + exe + ": " + strerror(rc);
        return false;
    }
    m_pid = pid;
    m_reaped = false;
    m_detached = opt.detached;
    m_exitCode = -1;
    m_out = outPipe[0];
    m_err = errPipe[0];
    for (int fd : {m_out, m_err})
        if (fd >= 0)
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    if (opt.affinityMask)
        SetProcessAffinity(pid, opt.affinityMask);
    // Set at once after the start, before an encoder has started its worker threads (which
    // inherit it).
    if (opt.niceness > 0)
        setpriority(PRIO_PROCESS, static_cast<id_t>(pid),
                    std::min(19, getpriority(PRIO_PROCESS, 0) + opt.niceness));
    return true;
}

bool CProcess::ReadStdout(std::string* append)
{
    return ReadPipe(&m_out, append);
}

bool CProcess::ReadStderr(std::string* append)
{
    return ReadPipe(&m_err, append);
}

bool CProcess::WaitOutput(int timeoutMs)
{
    pollfd fds[2];
    int n = 0;
    for (int fd : {m_out, m_err})
        if (fd >= 0)
            fds[n++] = pollfd{fd, POLLIN, 0};
    if (n == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0));
        return false;
    }
    int r;
    do {
        r = poll(fds, static_cast<nfds_t>(n), timeoutMs);
    } while (r < 0 && errno == EINTR);
    return r > 0;
}

bool CProcess::TryWait(int* exitCode)
{
    if (m_pid <= 0)
        return false;
    if (!m_reaped) {
        int status = 0;
        pid_t r = waitpid(m_pid, &status, WNOHANG);
        if (r == 0)
            return false;
        m_reaped = true;
        m_exitCode = r == m_pid ? ExitCodeOf(status) : -1;
    }
    if (exitCode)
        *exitCode = m_exitCode;
    return true;
}

bool CProcess::Wait(int timeoutMs, int* exitCode)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!TryWait(exitCode)) {
        if (m_pid <= 0)
            return false;
        if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void CProcess::Terminate(int graceMs)
{
    if (m_pid <= 0 || m_reaped)
        return;
    kill(m_pid, SIGTERM);
    if (!Wait(graceMs, nullptr)) {
        kill(m_pid, SIGKILL);
        Wait(-1, nullptr);
    }
}

std::vector<pid_t> FindProcessesByArgv0(const std::string& path)
{
    std::vector<pid_t> found;
    for (pid_t pid : AllPids())
        if (pid != getpid() && ReadArgv0(pid) == path)
            found.push_back(pid);
    return found;
}

std::vector<pid_t> FindProcessesByExe(const std::string& path)
{
    std::vector<pid_t> found;
    char buf[4096];
    for (pid_t pid : AllPids()) {
        std::string link = "/proc/" + std::to_string(pid) + "/exe";
        ssize_t n = readlink(link.c_str(), buf, sizeof(buf) - 1);
        if (n > 0 && pid != getpid() && std::string(buf, static_cast<size_t>(n)) == path)
            found.push_back(pid);
    }
    return found;
}

bool EndProcess(pid_t pid, int graceMs)
{
    if (pid <= 0 || kill(pid, SIGTERM) != 0)
        return errno == ESRCH;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    while (std::chrono::steady_clock::now() < end) {
        // Reap it if it is our child; otherwise just watch for it to disappear.
        waitpid(pid, nullptr, WNOHANG);
        if (kill(pid, 0) != 0 && errno == ESRCH)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, WNOHANG);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    waitpid(pid, nullptr, WNOHANG);
    return kill(pid, 0) != 0;
}

bool SetProcessAffinity(pid_t pid, uint64_t mask)
{
    if (mask == 0)
        return true;
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int i = 0; i < 64 && i < CPU_SETSIZE; ++i)
        if (mask & (uint64_t{1} << i))
            CPU_SET(i, &set);
    return sched_setaffinity(pid, sizeof(set), &set) == 0;
}

bool RunInPlace(const std::string& exe, const std::vector<std::string>& args, std::string* errText)
{
    std::vector<std::string> argStore;
    std::vector<char*> argv = MakeArgv(exe, args, &argStore);
    execvp(exe.c_str(), argv.data());
    if (errText)
        *errText = "cannot start " + exe + ": " + strerror(errno);
    return false;
}

} // namespace vx
