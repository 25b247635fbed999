#pragma once
// Child processes started from an argument vector (never through a shell), with optional
// non-blocking output pipes, processor affinity, bounded waits and ends. Only processes we
// started, or processes whose command names our own executable, are ever ended. A child may be
// tied to its starter: it ends when the starter ends, however that ends (a crash, kill -9), and
// it carries a note of who started it, so a later look can tell a leftover from a child whose
// starter still works.

#include <cstdint>
#include <string>
#include <vector>

namespace vx {

// A process id as the system gives it.
using ProcessId = int;

// The id of this process.
ProcessId CurrentProcessId();

struct ProcessOptions
{
    bool captureStdout = false;
    bool captureStderr = false;
    bool mergeStderr = false;     // stderr into the stdout pipe (needs captureStdout)
    bool detached = false;        // own session; outlives us (the updater, a restarted program)
    bool inheritStdin = false;    // by default a child reads /dev/null, never our terminal
    std::string workDir;          // empty: ours
    std::vector<std::string> env; // extra "NAME=value" entries on top of ours
    uint64_t affinityMask = 0;    // 0: no binding
    int niceness = 0;             // added to the child's nice value (0: as ours; higher: lower priority)
    // The child (and whatever it replaces itself with) is ended when we end, and records us as
    // its starter (see StarterOf). On Linux the end comes when the thread that started it ends,
    // so start such a child on a thread that outlives it (our encoders run on the thread that
    // waits for them). Not with detached.
    bool endWithStarter = false;
};

class CProcess
{
public:
    CProcess() = default;
    ~CProcess();
    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;

    // Starts exe with args (argv[0] is exe itself). errText names the program and the cause.
    bool Start(const std::string& exe, const std::vector<std::string>& args, const ProcessOptions& opt = {},
               std::string* errText = nullptr);

    ProcessId Pid() const { return m_pid; }
    // Reads what the pipe holds now, without blocking; false once the pipe is closed and empty.
    bool ReadStdout(std::string* append);
    bool ReadStderr(std::string* append);
    // Waits up to timeoutMs for output on a captured pipe; once every pipe has closed, for the end.
    bool WaitOutput(int timeoutMs);

    // True when the process has ended (exit code in *exitCode: its status, or 128 + signal).
    bool TryWait(int* exitCode);
    // Waits up to timeoutMs (negative: forever) for the end.
    bool Wait(int timeoutMs, int* exitCode);
    // SIGTERM, then after graceMs SIGKILL; always reaps. Only our own child.
    void Terminate(int graceMs = 2000);
    // Ends the child at once, without a chance to tidy up, as a crash or a kill -9 would
    // (SIGKILL; TerminateProcess on Windows); always reaps. Only our own child.
    void Kill();
    bool Running() const { return m_pid > 0 && !m_reaped; }

private:
    ProcessId m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    bool m_reaped = false;
    bool m_detached = false;
    int m_exitCode = -1;
    intptr_t m_handle = 0; // the process handle (Windows; the pipes above hold handles there too)
};

// Process ids whose first command-line word (argv[0]) is exactly path. Our own encoders are
// started by their codecs/ path, so this finds them and nothing else.
std::vector<ProcessId> FindProcessesByArgv0(const std::string& path);
// As FindProcessesByArgv0, plus scripts at path run by a shell ("sh path ...").
std::vector<ProcessId> FindProcessesStartedFrom(const std::string& path);
// Every process id of the machine (that this user may see).
std::vector<ProcessId> AllProcessIds();
// The first count words of a process's command line; empty when it cannot be read.
std::vector<std::string> ProcessArgs(ProcessId pid, size_t count);

// What became of the process that started pid with endWithStarter.
enum class StarterState
{
    Unknown, // pid carries no note of its starter (started otherwise, or unreadable)
    Running, // the starter still runs and is still above pid
    Gone,    // the starter has ended: pid is a leftover
};
StarterState StarterOf(ProcessId pid);
// Process ids whose executable (/proc/<pid>/exe) is exactly path.
std::vector<ProcessId> FindProcessesByExe(const std::string& path);
// True while pid exists and has not ended (an ended child that nobody has reaped yet counts as
// ended).
bool ProcessRunning(ProcessId pid);
// Sends SIGTERM then SIGKILL after graceMs to a process found above; true when it is gone.
bool EndProcess(ProcessId pid, int graceMs = 2000);
// Applies an affinity mask to a running process (0 does nothing).
bool SetProcessAffinity(ProcessId pid, uint64_t mask);

// Runs exe with args (argv[0] is exe) in place of the calling program: its exit code becomes
// ours, and whatever ends this process ends it too. A name without a '/' is looked up in PATH.
// Returns only when exe cannot be started; errText then names it and the cause.
bool RunInPlace(const std::string& exe, const std::vector<std::string>& args, std::string* errText = nullptr);

} // namespace vx
