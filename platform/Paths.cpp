#include "platform/Paths.h"

#include "platform/FileOps.h"

namespace vx {

const std::string& GetProgramFolder()
{
    static const std::string folder = [] {
        const std::string& exe = GetProgramPath();
        if (exe.empty())
            return std::string("./");
        return exe.substr(0, exe.rfind('/') + 1);
    }();
    return folder;
}

std::string WithSlash(std::string s)
{
    if (s.empty() || s.back() != '/')
        s += '/';
    return s;
}

std::string JoinPath(const std::string& a, const std::string& b)
{
    if (a.empty())
        return b;
    std::string r = WithSlash(a);
    size_t skip = 0;
    while (skip < b.size() && b[skip] == '/')
        ++skip;
    return r + b.substr(skip);
}

std::string MakeAbsolute(const std::string& path)
{
    if (IsAbsolutePath(path))
        return path;
    const std::string cwd = CurrentFolder();
    return cwd.empty() ? path : JoinPath(cwd, path);
}

namespace {

bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

InstallLayout ResolveInstallLayout(const std::string& programFolder)
{
    InstallLayout layout;
    const std::string folder = WithSlash(programFolder);
    layout.resourceFolder = folder;
    layout.helperFolder = folder;
    // The prefix is cut from the text rather than reached with "..", so the paths the programs
    // log and show stay readable, and a symlinked bin/ still finds its own prefix.
    std::string prefix;
    if (EndsWith(folder, "/bin/"))
        prefix = folder.substr(0, folder.size() - 4);
    else if (EndsWith(folder, "/lib/vexora/"))
        prefix = folder.substr(0, folder.size() - 11);
    else
        return layout;
    if (!DirExists(prefix + "share/vexora"))
        return layout;
    layout.installed = true;
    layout.resourceFolder = prefix + "share/vexora/";
    layout.helperFolder = prefix + "lib/vexora/";
    return layout;
}

const InstallLayout& GetInstallLayout()
{
    static const InstallLayout layout = ResolveInstallLayout(GetProgramFolder());
    return layout;
}

const std::string& GetResourceFolder()
{
    return GetInstallLayout().resourceFolder;
}

const std::string& GetHelperFolder()
{
    return GetInstallLayout().helperFolder;
}

std::string GetCodecsFolder()
{
    return GetHelperFolder() + "codecs/";
}

} // namespace vx
