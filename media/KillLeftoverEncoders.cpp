#include "media/KillLeftoverEncoders.h"

#include "app/LogFile.h"
#include "platform/Paths.h"
#include "platform/Process.h"

#include <set>

namespace vx {

namespace {

bool IsInterpreter(const std::string& argv0)
{
    std::string base = argv0.substr(argv0.find_last_of('/') + 1);
    return base == "sh" || base == "bash" || base == "dash";
}

} // namespace

const std::vector<std::string>& EncoderNames()
{
    // Yamdi-Extend continues as the flvmeta beside it, under that name.
    static const std::vector<std::string> names = {"ffmpeg", "mencoder", "tsMuxeR", "Yamdi-Extend",
                                                   "flvmeta"};
    return names;
}

std::vector<ProcessId> FindLeftoverEncoders(const std::string& codecsFolder)
{
    std::set<ProcessId> found;
    const ProcessId self = CurrentProcessId();
    for (const std::string& name : EncoderNames()) {
        const std::string path = JoinPath(codecsFolder, name);
        for (ProcessId pid : FindProcessesByArgv0(path))
            if (pid != self)
                found.insert(pid);
    }
    // A script started by its path runs as "<shell> <path> ...".
    const std::string script = JoinPath(codecsFolder, "tsMuxeR");
    for (ProcessId pid : AllProcessIds()) {
        if (pid == self)
            continue;
        std::vector<std::string> args = ProcessArgs(pid, 2);
        if (args.size() == 2 && IsInterpreter(args[0]) && args[1] == script)
            found.insert(pid);
    }
    return {found.begin(), found.end()};
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
