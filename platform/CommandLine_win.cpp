#include "platform/CommandLine.h"

#include "platform/Win32Text.h"

#include <shellapi.h>

namespace vx {

void UseUtf8Arguments(int* argc, char*** argv)
{
    int n = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!wide)
        return;
    // Kept for the life of the process, as the run-time's own argv is.
    static std::vector<std::string> store;
    static std::vector<char*> pointers;
    store.clear();
    for (int i = 0; i < n; ++i)
        store.push_back(win::Utf8(wide[i]));
    LocalFree(wide);
    pointers.clear();
    for (std::string& s : store)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    *argc = n;
    *argv = pointers.data();
}

} // namespace vx
