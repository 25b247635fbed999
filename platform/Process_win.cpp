#include "platform/Process.h"

#include "platform/CommandLine.h"
#include "platform/Paths.h"
#include "platform/Win32Text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cwctype>
#include <map>
#include <mutex>
#include <thread>
#include <tlhelp32.h>

namespace vx {

namespace {

// Pipe and process handles are 32-bit significant (as every kernel handle), so they fit the
// int members the POSIX side keeps its descriptors in.
HANDLE H(intptr_t v)
{
    return reinterpret_cast<HANDLE>(v);
}
int PipeInt(HANDLE h)
{
    return static_cast<int>(reinterpret_cast<intptr_t>(h));
}
HANDLE PipeHandle(int v)
{
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(v));
}

// Every child we start and wait for belongs to one job that ends them all when this process
// ends, however it ends: encoders never outlive the program that started them.
HANDLE ChildJob()
{
    static HANDLE job = [] {
        HANDLE j = CreateJobObjectW(nullptr, nullptr);
        if (j) {
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION info{};
            info.BasicLimitInformation.LimitFlags =
                JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
            SetInformationJobObject(j, JobObjectExtendedLimitInformation, &info, sizeof(info));
        }
        return j;
    }();
    return job;
}

// Handles become inheritable only for the moment of one CreateProcess: two starts at once on
// different threads would otherwise hand each other's pipe ends to their children, and a
// pipe held open by another child never reports its end.
std::mutex g_spawnMutex;

// "C:/x/ffmpeg" names "C:/x/ffmpeg.exe" as the system starts it.
std::string ExecutablePath(const std::string& exe)
{
    if (FileExists(exe))
        return exe;
    if (FileExists(exe + ".exe"))
        return exe + ".exe";
    return exe;
}

std::wstring Lower(std::wstring s)
{
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towlower(c));
    for (wchar_t& c : s)
        if (c == L'/')
            c = L'\\';
    return s;
}

std::wstring ImagePath(DWORD pid)
{
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!h)
        return std::wstring();
    wchar_t buf[32768];
    DWORD n = static_cast<DWORD>(sizeof(buf) / sizeof(buf[0]));
    std::wstring out;
    if (QueryFullProcessImageNameW(h, 0, buf, &n))
        out.assign(buf, n);
    CloseHandle(h);
    return out;
}

// The environment block of the child: ours, with the extra entries replacing same-named ones
// (names compare without case, as Windows does).
std::wstring EnvironmentBlock(const std::vector<std::string>& extra)
{
    std::map<std::wstring, std::wstring> entries; // upper-case name -> "Name=value"
    if (LPWCH block = GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
            std::wstring e = p;
            size_t eq = e.find(L'=', 1); // "=C:=C:\x" entries start with '='
            std::wstring name = e.substr(0, eq);
            for (wchar_t& c : name)
                c = static_cast<wchar_t>(std::towupper(c));
            entries[name] = e;
        }
        FreeEnvironmentStringsW(block);
    }
    for (const std::string& x : extra) {
        std::wstring e = win::Wide(x);
        std::wstring name = e.substr(0, e.find(L'='));
        for (wchar_t& c : name)
            c = static_cast<wchar_t>(std::towupper(c));
        entries[name] = e;
    }
    std::wstring out;
    for (const auto& kv : entries) {
        out += kv.second;
        out += L'\0';
    }
    out += L'\0';
    return out;
}

bool ReadPipe(int* pipe, std::string* append)
{
    if (*pipe < 0)
        return false;
    HANDLE h = PipeHandle(*pipe);
    for (;;) {
        DWORD avail = 0;
        if (!PeekNamedPipe(h, nullptr, 0, nullptr, &avail, nullptr)) {
            // Broken: the child closed its end and everything was read.
            CloseHandle(h);
            *pipe = -1;
            return false;
        }
        if (avail == 0)
            return true;
        char buf[8192];
        DWORD n = 0;
        if (!ReadFile(h, buf, std::min<DWORD>(avail, sizeof(buf)), &n, nullptr) || n == 0) {
            CloseHandle(h);
            *pipe = -1;
            return false;
        }
        append->append(buf, n);
    }
}

bool PipeReadable(int pipe)
{
    DWORD avail = 0;
    // A broken pipe counts as readable: the next read reports its end.
    return pipe >= 0 && (!PeekNamedPipe(PipeHandle(pipe), nullptr, 0, nullptr, &avail, nullptr) || avail > 0);
}

} // namespace

std::vector<ProcessId> AllProcessIds()
{
    std::vector<ProcessId> pids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return pids;
    PROCESSENTRY32W e;
    e.dwSize = sizeof(e);
    for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e))
        if (e.th32ProcessID != 0)
            pids.push_back(static_cast<ProcessId>(e.th32ProcessID));
    CloseHandle(snap);
    return pids;
}

std::vector<std::string> ProcessArgs(ProcessId pid, size_t count)
{
    // Another process's command line is not readable here; its program is the first word.
    std::vector<std::string> args;
    std::wstring image = ImagePath(static_cast<DWORD>(pid));
    if (count > 0 && !image.empty())
        args.push_back(win::PathText(image));
    return args;
}

ProcessId CurrentProcessId()
{
    return static_cast<ProcessId>(GetCurrentProcessId());
}

CProcess::~CProcess()
{
    for (int* p : {&m_out, &m_err})
        if (*p >= 0)
            CloseHandle(PipeHandle(*p));
    // A child still running when its owner goes is ended, never left as an orphan; a detached
    // one (the updater, a restarted program) is meant to outlive us.
    if (m_pid > 0 && !m_reaped && !m_detached)
        Terminate(1000);
    if (m_handle)
        CloseHandle(H(m_handle));
}

bool CProcess::Start(const std::string& exe, const std::vector<std::string>& args, const ProcessOptions& opt,
                     std::string* errText)
{
    const std::string program = ExecutablePath(exe);
    auto fail = [&](DWORD code) {
        errno = win::ErrnoOf(code);
        if (errText) {
            std::string cause = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND
                                    ? "No such file or directory"
                                    : "system error " + std::to_string(code);
            *errText = "cannot start " + exe + ": " + cause;
        }
        return false;
    };
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, FALSE};
    if (opt.captureStdout && !CreatePipe(&outRead, &outWrite, &sa, 1 << 16))
        return fail(GetLastError());
    if (opt.captureStderr && !opt.mergeStderr && !CreatePipe(&errRead, &errWrite, &sa, 1 << 16)) {
        CloseHandle(outRead);
        CloseHandle(outWrite);
        return fail(GetLastError());
    }
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                             OPEN_EXISTING, 0, nullptr);
    HANDLE stdIn = opt.inheritStdin ? GetStdHandle(STD_INPUT_HANDLE) : nul;
    HANDLE stdOut = opt.captureStdout ? outWrite : (opt.detached ? nul : GetStdHandle(STD_OUTPUT_HANDLE));
    HANDLE stdErr = opt.captureStdout && opt.mergeStderr
                        ? outWrite
                        : (errWrite ? errWrite : (opt.detached ? nul : GetStdHandle(STD_ERROR_HANDLE)));

    std::wstring cmd = win::Wide(BuildCommandLine(program, args));
    std::wstring env = EnvironmentBlock(opt.env);
    std::wstring dir = win::WidePath(opt.workDir);
    DWORD flags = CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED;
    if (opt.detached)
        flags |= DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | CREATE_BREAKAWAY_FROM_JOB;
    if (opt.niceness > 0)
        flags |= BELOW_NORMAL_PRIORITY_CLASS;

    PROCESS_INFORMATION pi{};
    DWORD error = 0;
    {
        std::lock_guard<std::mutex> lock(g_spawnMutex);
        HANDLE inherit[3] = {stdIn, stdOut, stdErr};
        std::vector<HANDLE> list;
        for (HANDLE h : inherit) {
            if (h && h != INVALID_HANDLE_VALUE && std::find(list.begin(), list.end(), h) == list.end()) {
                SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
                list.push_back(h);
            }
        }
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = stdIn;
        si.hStdOutput = stdOut;
        si.hStdError = stdErr;
        BOOL ok = CreateProcessW(win::WidePath(program).c_str(), cmd.data(), nullptr, nullptr, TRUE, flags,
                                 env.data(), opt.workDir.empty() ? nullptr : dir.c_str(), &si, &pi);
        error = ok ? 0 : GetLastError();
        // Ours stay ours: the standard handles of this process go back to not inherited only
        // when they were not before (the console's are shared by design).
        for (HANDLE h : {outWrite, errWrite, nul})
            if (h)
                SetHandleInformation(h, HANDLE_FLAG_INHERIT, 0);
    }
    for (HANDLE h : {outWrite, errWrite, nul})
        if (h && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    if (error != 0) {
        for (HANDLE h : {outRead, errRead})
            if (h)
                CloseHandle(h);
        return fail(error);
    }
    if (!opt.detached && ChildJob())
        AssignProcessToJobObject(ChildJob(), pi.hProcess);
    if (opt.affinityMask)
        SetProcessAffinityMask(pi.hProcess, static_cast<DWORD_PTR>(opt.affinityMask));
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);

    if (m_handle)
        CloseHandle(H(m_handle));
    m_handle = reinterpret_cast<intptr_t>(pi.hProcess);
    m_pid = static_cast<ProcessId>(pi.dwProcessId);
    m_reaped = false;
    m_detached = opt.detached;
    m_exitCode = -1;
    m_out = outRead ? PipeInt(outRead) : -1;
    m_err = errRead ? PipeInt(errRead) : -1;
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
    // Anonymous pipes cannot be waited on: look every few milliseconds.
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    if (m_out < 0 && m_err < 0) {
        // Every pipe has closed: wait for the end, which follows at once, not the whole timeout.
        if (m_pid <= 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(std::max(timeoutMs, 0)));
        else if (!m_reaped)
            Wait(std::max(timeoutMs, 0), nullptr);
        return false;
    }
    for (;;) {
        if (PipeReadable(m_out) || PipeReadable(m_err))
            return true;
        if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool CProcess::TryWait(int* exitCode)
{
    if (m_pid <= 0)
        return false;
    if (!m_reaped) {
        if (WaitForSingleObject(H(m_handle), 0) != WAIT_OBJECT_0)
            return false;
        DWORD code = 0;
        m_reaped = true;
        m_exitCode = GetExitCodeProcess(H(m_handle), &code) ? static_cast<int>(code) : -1;
    }
    if (exitCode)
        *exitCode = m_exitCode;
    return true;
}

bool CProcess::Wait(int timeoutMs, int* exitCode)
{
    if (m_pid <= 0)
        return false;
    if (!m_reaped &&
        WaitForSingleObject(H(m_handle), timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs)) !=
            WAIT_OBJECT_0)
        return false;
    return TryWait(exitCode);
}

void CProcess::Terminate(int /*graceMs*/)
{
    if (m_pid <= 0 || m_reaped)
        return;
    // A console program without a console of ours to signal has no gentler way to be asked.
    TerminateProcess(H(m_handle), 1);
    Wait(-1, nullptr);
}

void CProcess::Kill()
{
    // Terminate is already the abrupt end here.
    Terminate(0);
}

std::vector<ProcessId> FindProcessesByArgv0(const std::string& path)
{
    // The program file stands in for argv[0]: our encoders are found by their codecs/ path.
    return FindProcessesByExe(path);
}

std::vector<ProcessId> FindProcessesByExe(const std::string& path)
{
    std::vector<ProcessId> found;
    const std::wstring want = Lower(win::Wide(ExecutablePath(path)));
    const DWORD self = GetCurrentProcessId();
    for (ProcessId pid : AllProcessIds()) {
        if (static_cast<DWORD>(pid) == self)
            continue;
        std::wstring image = ImagePath(static_cast<DWORD>(pid));
        if (!image.empty() && Lower(image) == want)
            found.push_back(pid);
    }
    return found;
}

std::vector<ProcessId> FindProcessesStartedFrom(const std::string& path)
{
    // No encoder of ours runs as a script here: the program file is the whole answer.
    return FindProcessesByExe(path);
}

namespace {

// The creation time of a process, as a number that orders processes by their start.
bool CreationTime(HANDLE h, uint64_t* when)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(h, &created, &exited, &kernel, &user))
        return false;
    *when = (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    return true;
}

DWORD ParentOf(DWORD pid)
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32W e;
    e.dwSize = sizeof(e);
    DWORD parent = 0;
    for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e))
        if (e.th32ProcessID == pid) {
            parent = e.th32ParentProcessID;
            break;
        }
    CloseHandle(snap);
    return parent;
}

} // namespace

StarterState StarterOf(ProcessId pid)
{
    // The system keeps the id of the process that created another; the id may belong to a later
    // process once the starter has ended, which then started after its supposed child.
    const DWORD parent = ParentOf(static_cast<DWORD>(pid));
    if (parent == 0)
        return StarterState::Unknown;
    HANDLE child = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!child)
        return StarterState::Unknown;
    uint64_t childStart = 0, parentStart = 0;
    const bool childKnown = CreationTime(child, &childStart);
    CloseHandle(child);
    if (!childKnown)
        return StarterState::Unknown;
    HANDLE starter = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, parent);
    if (!starter)
        return StarterState::Gone;
    const bool alive = WaitForSingleObject(starter, 0) == WAIT_TIMEOUT;
    const bool older = CreationTime(starter, &parentStart) && parentStart <= childStart;
    CloseHandle(starter);
    return alive && older ? StarterState::Running : StarterState::Gone;
}

bool ProcessRunning(ProcessId pid)
{
    if (pid <= 0)
        return false;
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!h)
        return GetLastError() == ERROR_ACCESS_DENIED; // exists, but not ours to look at
    const bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    CloseHandle(h);
    return running;
}

bool EndProcess(ProcessId pid, int graceMs)
{
    HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!h)
        return GetLastError() == ERROR_INVALID_PARAMETER; // no such process: gone already
    TerminateProcess(h, 1);
    bool gone = WaitForSingleObject(h, static_cast<DWORD>(std::max(graceMs, 0))) == WAIT_OBJECT_0;
    CloseHandle(h);
    return gone;
}

bool SetProcessAffinity(ProcessId pid, uint64_t mask)
{
    if (mask == 0)
        return true;
    HANDLE h =
        OpenProcess(PROCESS_SET_INFORMATION | PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!h)
        return false;
    bool ok = SetProcessAffinityMask(h, static_cast<DWORD_PTR>(mask)) != 0;
    CloseHandle(h);
    return ok;
}

bool RunInPlace(const std::string& exe, const std::vector<std::string>& args, std::string* errText)
{
    // Windows cannot replace a running program: the child runs in our job (so it ends with us)
    // on our console and standard handles, and its exit code becomes ours.
    std::string program = exe;
    if (exe.find_first_of("/\\") == std::string::npos) {
        wchar_t found[32768];
        const DWORD n = SearchPathW(nullptr, win::Wide(exe).c_str(), L".exe", 32768, found, nullptr);
        if (n > 0 && n < 32768)
            program = win::PathText(std::wstring(found, n));
    }
    CProcess child;
    ProcessOptions opt;
    opt.inheritStdin = true;
    if (!child.Start(program, args, opt, errText))
        return false;
    int code = 1;
    child.Wait(-1, &code);
    std::fflush(nullptr);
    ExitProcess(static_cast<UINT>(code));
}

} // namespace vx
