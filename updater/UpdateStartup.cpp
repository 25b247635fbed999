#include "updater/UpdateStartup.h"

#include "platform/Env.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/TempFolder.h"

#include <cstdlib>

namespace vx {

bool IsSameFolder(const std::string& exeFolder, const std::string& tempFolder)
{
    std::string a = RealPath(exeFolder), b = RealPath(tempFolder);
    return !a.empty() && a == b;
}

std::string CopySelfToTemp(const std::string& selfPath, const std::string& folder, std::string* err)
{
    std::string cause;
    for (int i = 0; i < 10; ++i) {
        std::string copy = JoinPath(folder, "VX-Update" + std::to_string(i));
        if (CopyToNewFile(selfPath, copy, 0700, &cause))
            return copy;
    }
    if (err)
        *err = cause;
    return std::string();
}

bool Relocate(const std::string& selfPath, const std::vector<std::string>& args, std::string* err)
{
    std::string folder = MakePrivateFolder("vexora-update", err);
    if (folder.empty())
        return false;
    std::string copy = CopySelfToTemp(selfPath, folder, err);
    if (copy.empty())
        return false;
    CProcess p;
    ProcessOptions opt;
    opt.detached = true;
    opt.env.push_back(std::string(kRelocatedFolderEnv) + "=" + folder);
    std::string cause;
    if (!p.Start(copy, args, opt, &cause)) {
        *err = cause;
        return false;
    }
    return true;
}

bool IsRelocatedCopy()
{
    const char* marked = getenv(kRelocatedFolderEnv);
    bool relocated = marked && *marked && IsSameFolder(GetProgramFolder(), marked);
    UnsetEnvVar(kRelocatedFolderEnv);
    return relocated;
}

bool StartDetached(const std::string& path, const std::vector<std::string>& args)
{
    CProcess p;
    ProcessOptions opt;
    opt.detached = true;
    return p.Start(path, args, opt);
}

int EndMainProgram(const std::string& path)
{
    if (path.empty())
        return 0;
    std::string exe = RealPath(path);
    if (exe.empty())
        return 0; // no such file: nothing of ours can be running from it
    int ended = 0;
    for (ProcessId pid : FindProcessesByExe(exe))
        if (EndProcess(pid, 3000))
            ++ended;
    return ended;
}

} // namespace vx
