#include "platform/CrashHandler.h"

#include "platform/Paths.h"
#include "platform/Win32Text.h"

#include <csignal>
#include <cstring>
#include <ctime>
#include <dbghelp.h>

namespace vx {

namespace {

wchar_t g_dumpFolder[1024];
void (*g_onWritten)(const char*, bool) = nullptr;

LONG WINAPI CrashDumpFilter(EXCEPTION_POINTERS* info)
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t path[1100];
    swprintf(path, 1100, L"%ls%02u-%02u %02u-%02u-%02u.dmp", g_dumpFolder, t.wMonth, t.wDay, t.wHour,
             t.wMinute, t.wSecond);
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = false;
    if (file != INVALID_HANDLE_VALUE) {
        MINIDUMP_EXCEPTION_INFORMATION mei;
        mei.ThreadId = GetCurrentThreadId();
        mei.ExceptionPointers = info;
        mei.ClientPointers = FALSE;
        ok = MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal,
                               info ? &mei : nullptr, nullptr, nullptr) != 0;
        CloseHandle(file);
    }
    if (g_onWritten) {
        char narrow[1100];
        WideCharToMultiByte(CP_UTF8, 0, path, -1, narrow, sizeof(narrow), nullptr, nullptr);
        g_onWritten(narrow, ok);
    }
    return EXCEPTION_EXECUTE_HANDLER; // the process ends after the dump
}

void OnAbort(int)
{
    // abort() and failed assertions end the process without an exception: dump them too.
    CrashDumpFilter(nullptr);
    _exit(3);
}

} // namespace

void InstallCrashHandler(const std::string& dumpFolder, void (*onWritten)(const char*, bool))
{
    MakeDirs(dumpFolder);
    std::wstring folder = win::WidePath(WithSlash(dumpFolder));
    wcsncpy(g_dumpFolder, folder.c_str(), sizeof(g_dumpFolder) / sizeof(g_dumpFolder[0]) - 1);
    g_onWritten = onWritten;
    // Loaded now, not inside a crash.
    LoadLibraryW(L"dbghelp.dll");
    SetUnhandledExceptionFilter(CrashDumpFilter);
    signal(SIGABRT, OnAbort);
}

} // namespace vx
