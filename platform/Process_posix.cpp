#include "platform/Process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
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

// The first `count` words of a process's command line.
std::vector<std::string> ReadArgs(pid_t pid, size_t count)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::vector<std::string> args;
    std::string word;
    while (args.size() < count && std::getline(in, word, '\0'))
        args.push_back(word);
    return args;
}

// The state letter and the parent's pid from /proc/<pid>/stat (false when it cannot be read).
// The name field may hold blanks and parentheses, so the fields are counted after its last ')'.
bool ReadStat(pid_t pid, char* state, pid_t* parent)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    const size_t close = stat.rfind(')');
    long ppid = 0;
    if (close == std::string::npos || sscanf(stat.c_str() + close + 1, " %c %ld", state, &ppid) != 2)
        return false;
    *parent = static_cast<pid_t>(ppid);
    return true;
}

pid_t ParentOf(pid_t pid)
{
    char state = 0;
    pid_t parent = 0;
    return ReadStat(pid, &state, &parent) ? parent : 0;
}

// The environment variable that names the starter of a child started with endWithStarter.
constexpr char kStarterVar[] = "VX_STARTER_PID=";

// Everything the child needs, made before the fork: between fork and exec the child may only
// make system calls (another thread may hold the allocator's lock at the fork).
struct ChildPlan
{
    const char* exe = nullptr;
    char** argv = nullptr;
    char** envp = nullptr;
    const char* workDir = nullptr;
    int outFd = -1; // becomes 1 (and 2 with mergeStderr)
    int errFd = -1; // becomes 2
    bool mergeStderr = false;
    bool nullStdin = true;
    bool nullStdout = false;
    bool nullStderr = false;
    bool newSession = false;
    bool endWithStarter = false;
    pid_t starter = -1;
    bool setAffinity = false;
    cpu_set_t affinity;
    bool setNice = false;
    int nice = 0;
    int reportFd = -1; // close-on-exec: carries errno when the exec fails
};

bool MoveFd(int from, int to)
{
    if (from == to) // dup2 would keep close-on-exec
        return fcntl(to, F_SETFD, 0) == 0;
    return dup2(from, to) == to;
}

bool OpenNullAs(int to, int flags)
{
    int fd = open("/dev/null", flags);
    if (fd < 0)
        return false;
    bool ok = MoveFd(fd, to);
    if (fd != to)
        close(fd);
    return ok;
}

[[noreturn]] void ChildFail(const ChildPlan& plan)
{
    int err = errno;
    ssize_t n = write(plan.reportFd, &err, sizeof(err));
    (void)n;
    _exit(127);
}

// Runs in the child, system calls only.
[[noreturn]] void RunChild(const ChildPlan& plan)
{
    // Signals as a fresh program expects them: default actions, nothing blocked.
    struct sigaction dfl;
    memset(&dfl, 0, sizeof(dfl));
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig)
        sigaction(sig, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    if (plan.endWithStarter) {
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
            ChildFail(plan);
        // The starter may have ended between the fork and the line above: then nobody would
        // send the signal.
        if (getppid() != plan.starter)
            _exit(127);
    }
    if (plan.newSession)
        setsid();
    if (plan.outFd >= 0 && !MoveFd(plan.outFd, 1))
        ChildFail(plan);
    if (plan.outFd >= 0 && plan.mergeStderr && !MoveFd(plan.outFd, 2))
        ChildFail(plan);
    if (plan.errFd >= 0 && !MoveFd(plan.errFd, 2))
        ChildFail(plan);
    if ((plan.nullStdin && !OpenNullAs(0, O_RDONLY)) || (plan.nullStdout && !OpenNullAs(1, O_WRONLY)) ||
        (plan.nullStderr && !OpenNullAs(2, O_WRONLY)))
        ChildFail(plan);
    if (plan.workDir && chdir(plan.workDir) != 0)
        ChildFail(plan);
    // Before the program runs, so every thread it starts inherits them.
    if (plan.setAffinity)
        sched_setaffinity(0, sizeof(plan.affinity), &plan.affinity);
    if (plan.setNice)
        setpriority(PRIO_PROCESS, 0, plan.nice);
    execve(plan.exe, plan.argv, plan.envp);
    ChildFail(plan);
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

std::vector<ProcessId> AllProcessIds()
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

std::vector<std::string> ProcessArgs(ProcessId pid, size_t count)
{
    return ReadArgs(pid, count);
}

ProcessId CurrentProcessId()
{
    return getpid();
}

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
    auto fail = [&](int err) {
        if (errText)
            *errText = "cannot start " + exe + ": " + strerror(err);
        return false;
    };
    int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1}, report[2] = {-1, -1};
    auto closeAll = [&] {
        for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1], report[0], report[1]})
            if (fd >= 0)
                close(fd);
    };
    if ((opt.captureStdout && pipe2(outPipe, O_CLOEXEC) != 0) ||
        (opt.captureStderr && !opt.mergeStderr && pipe2(errPipe, O_CLOEXEC) != 0) ||
        pipe2(report, O_CLOEXEC) != 0) {
        int err = errno;
        closeAll();
        return fail(err);
    }

    std::vector<std::string> envStore;
    for (char** e = environ; e && *e; ++e)
        envStore.emplace_back(*e);
    std::vector<std::string> extras = opt.env;
    const bool tied = opt.endWithStarter && !opt.detached;
    if (tied)
        extras.push_back(kStarterVar + std::to_string(getpid()));
    for (const std::string& extra : extras) {
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

    ChildPlan plan;
    plan.exe = exe.c_str();
    plan.argv = argv.data();
    plan.envp = envp.data();
    plan.workDir = opt.workDir.empty() ? nullptr : opt.workDir.c_str();
    plan.outFd = outPipe[1];
    plan.errFd = errPipe[1];
    plan.mergeStderr = opt.captureStdout && opt.mergeStderr;
    plan.nullStdin = !opt.inheritStdin;
    plan.nullStdout = opt.detached && !opt.captureStdout;
    plan.nullStderr = opt.detached && !opt.captureStderr && !opt.mergeStderr;
    plan.newSession = opt.detached;
    plan.endWithStarter = tied;
    plan.starter = getpid();
    if (opt.affinityMask) {
        plan.setAffinity = true;
        CPU_ZERO(&plan.affinity);
        for (int i = 0; i < 64 && i < CPU_SETSIZE; ++i)
            if (opt.affinityMask & (uint64_t{1} << i))
                CPU_SET(i, &plan.affinity);
    }
    if (opt.niceness > 0) {
        plan.setNice = true;
        plan.nice = std::min(19, getpriority(PRIO_PROCESS, 0) + opt.niceness);
    }
    plan.reportFd = report[1];

    // No handler of ours may run in the child before it has reset them.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    pid_t pid = fork();
    if (pid == 0)
        RunChild(plan);
    int forkErr = errno;
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    close(report[1]);
    report[1] = -1;
    for (int* fd : {&outPipe[1], &errPipe[1]}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
    if (pid < 0) {
        closeAll();
        return fail(forkErr);
    }
    // The report pipe closes unread when the exec succeeded.
    int childErr = 0;
    ssize_t n;
    do {
        n = read(report[0], &childErr, sizeof(childErr));
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(sizeof(childErr))) {
        waitpid(pid, nullptr, 0);
        closeAll();
        return fail(childErr);
    }
    close(report[0]);
    report[0] = -1;

    m_pid = pid;
    m_reaped = false;
    m_detached = opt.detached;
    m_exitCode = -1;
    m_out = outPipe[0];
    m_err = errPipe[0];
    for (int fd : {m_out, m_err})
        if (fd >= 0)
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
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
        // Every pipe has closed: what is left to wait for is the end, which follows at once
        // (the caller's next TryWait sees it instead of sleeping out the whole timeout).
        if (m_pid <= 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0));
        else if (!m_reaped)
            Wait(timeoutMs > 0 ? timeoutMs : 0, nullptr);
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

void CProcess::Kill()
{
    if (m_pid <= 0 || m_reaped)
        return;
    kill(m_pid, SIGKILL);
    Wait(-1, nullptr);
}

std::vector<pid_t> FindProcessesByArgv0(const std::string& path)
{
    std::vector<pid_t> found;
    for (pid_t pid : AllProcessIds())
        if (pid != getpid() && ReadArgs(pid, 1) == std::vector<std::string>{path})
            found.push_back(pid);
    return found;
}

std::vector<pid_t> FindProcessesStartedFrom(const std::string& path)
{
    auto isShell = [](const std::string& argv0) {
        const std::string base = argv0.substr(argv0.find_last_of('/') + 1);
        return base == "sh" || base == "bash" || base == "dash";
    };
    std::vector<pid_t> found;
    for (pid_t pid : AllProcessIds()) {
        if (pid == getpid())
            continue;
        std::vector<std::string> words = ReadArgs(pid, 2);
        if ((!words.empty() && words[0] == path) ||
            (words.size() == 2 && isShell(words[0]) && words[1] == path))
            found.push_back(pid);
    }
    return found;
}

StarterState StarterOf(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
    std::string entry;
    pid_t starter = -1;
    const size_t prefix = sizeof(kStarterVar) - 1;
    while (std::getline(in, entry, '\0'))
        if (entry.compare(0, prefix, kStarterVar) == 0)
            starter = static_cast<pid_t>(strtol(entry.c_str() + prefix, nullptr, 10));
    if (starter <= 0)
        return StarterState::Unknown;
    // An orphan is handed to init or to a sub-reaper, both older than its starter: once the
    // starter has ended, its pid (even when used again) is never above the child.
    pid_t at = pid;
    for (int depth = 0; depth < 64 && at > 1; ++depth) {
        at = ParentOf(at);
        if (at == starter)
            return StarterState::Running;
    }
    return StarterState::Gone;
}

std::vector<pid_t> FindProcessesByExe(const std::string& path)
{
    std::vector<pid_t> found;
    char buf[4096];
    for (pid_t pid : AllProcessIds()) {
        std::string link = "/proc/" + std::to_string(pid) + "/exe";
        ssize_t n = readlink(link.c_str(), buf, sizeof(buf) - 1);
        if (n > 0 && pid != getpid() && std::string(buf, static_cast<size_t>(n)) == path)
            found.push_back(pid);
    }
    return found;
}

bool ProcessRunning(pid_t pid)
{
    char state = 0;
    pid_t parent = 0;
    if (pid <= 0 || (kill(pid, 0) != 0 && errno == ESRCH))
        return false;
    // An orphan that has ended stays a zombie where the first process does not reap.
    return !ReadStat(pid, &state, &parent) || (state != 'Z' && state != 'X');
}

bool EndProcess(pid_t pid, int graceMs)
{
    if (pid <= 0 || kill(pid, SIGTERM) != 0)
        return errno == ESRCH;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    while (std::chrono::steady_clock::now() < end) {
        // Reap it if it is our child; otherwise just watch for it to end.
        waitpid(pid, nullptr, WNOHANG);
        if (!ProcessRunning(pid))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, WNOHANG);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    waitpid(pid, nullptr, WNOHANG);
    return !ProcessRunning(pid);
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
