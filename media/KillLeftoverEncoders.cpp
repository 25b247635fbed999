#include "media/KillLeftoverEncoders.h"

#include "app/LogFile.h"
#include "platform/Paths.h"
#include "platform/Process.h"

#include <set>

namespace vx {

const std::vector<std::string>& EncoderNames()
{
    // Yamdi-Extend continues as the flvmeta beside it, under that name.
    static const std::vector<std::string> names = {"ffmpeg", "mencoder", "tsMuxeR", "Yamdi-Extend",
                                                   "flvmeta"};
    return names;
}

std::vector<ProcessId> FindEncoders(const std::string& codecsFolder)
{
    std::set<ProcessId> found;
    for (const std::string& name : EncoderNames())
        for (ProcessId pid : FindProcessesStartedFrom(JoinPath(codecsFolder, name)))
            found.insert(pid);
    return {found.begin(), found.end()};
}

std::vector<ProcessId> FindLeftoverEncoders(const std::string& codecsFolder)
{
    std::vector<ProcessId> leftovers;
    for (ProcessId pid : FindEncoders(codecsFolder))
        if (StarterOf(pid) != StarterState::Running)
            leftovers.push_back(pid);
    return leftovers;
}

int KillLeftoverEncoders(const std::string& codecsFolder)
{
    const std::string folder = codecsFolder.empty() ? GetCodecsFolder() : codecsFolder;
    int ended = 0;
    for (ProcessId pid : FindLeftoverEncoders(folder)) {
        if (EndProcess(pid, 1000)) {
            ++ended;
            Log(g_log, "Info : ended leftover encoder process %d", static_cast<int>(pid));
        } else {
            Log(g_log, "Warning : leftover encoder process %d could not be ended", static_cast<int>(pid));
        }
    }
    return ended;
}

} // namespace vx
