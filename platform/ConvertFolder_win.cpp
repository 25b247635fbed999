#include "platform/ConvertFolder.h"

#include "platform/Env.h"
#include "platform/Paths.h"
#include "platform/Win32Text.h"

#include <shlobj.h>

namespace vx {

std::string HomeFolder()
{
    std::string home = GetEnvVar("USERPROFILE");
    if (!home.empty())
        return win::PathText(win::Wide(home));
    PWSTR path = nullptr;
    std::string out = "C:/";
    if (SHGetKnownFolderPath(FOLDERID_Profile, 0, nullptr, &path) == S_OK && path)
        out = win::PathText(path);
    CoTaskMemFree(path);
    return out;
}

std::string DefaultConvertFolder(const std::string& /*mountsFile*/)
{
    // The fixed drive with the most free space for this user (the first on a tie).
    std::string best;
    int64_t bestFree = -1;
    DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(drives & (1u << i)))
            continue;
        std::string root = std::string(1, static_cast<char>('A' + i)) + ":/";
        if (GetDriveTypeW(win::WidePath(root).c_str()) != DRIVE_FIXED)
            continue;
        const int64_t avail = FreeDiskSpace(root);
        if (avail > bestFree) {
            bestFree = avail;
            best = root;
        }
    }
    if (best.empty())
        best = HomeFolder();
    return JoinPath(best, "VexoraTemp");
}

} // namespace vx
