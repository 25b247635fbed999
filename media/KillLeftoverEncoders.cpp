#include "media/KillLeftoverEncoders.h"

#include "app/LogFile.h"
#include "platform/Paths.h"
#include "platform/Process.h"

#include <dirent.h>
#include <fstream>
#include <set>
#include <unistd.h>

namespace vx {

namespace {

std::vector<std::string> ReadArgs(pid_t pid, size_t count)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::vector<std::string> args;
    std::string word;
    while (args.size() < count && std::getline(in, word, '\0'))
        args.push_back(word);
    return args;
}

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

std::vector<pid_t> FindLeftoverEncoders(const std::string& codecsFolder)
{
    std::set<pid_t> found;
    const pid_t self = getpid();
    for (const std::string& name : EncoderNames()) {
        const std::string path = JoinPath(codecsFolder, name);
        for (pid_t pid : FindProcessesByArgv0(path))
            if (pid != self)
                found.insert(pid);
    }
    // A script started by its path runs as "<shell> <path> ...".
    const std::string script = JoinPath(codecsFolder, "tsMuxeR");
    if (DIR* d = opendir("/proc")) {
        while (dirent* e = readdir(d)) {
            char* end = nullptr;
            long v = strtol(e->d_name, &end, 10);
            if (!end || *end != '\0' || v <= 0 || v == self)
                continue;
            std::vector<std::string> args = ReadArgs(static_cast<pid_t>(v), 2);
            if (args.size() == 2 && IsInterpreter(args[0]) && args[1] == script)
                found.insert(static_cast<pid_t>(v));
        }
        closedir(d);
    }
    return {found.begin(), found.end()};
}

int KillLeftoverEncoders(const std::string& codecsFolder)
{
    const std::string folder = codecsFolder.empty() ? GetCodecsFolder() : codecsFolder;
    int ended = 0;
    for (pid_t pid : FindLeftoverEncoders(folder)) {
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
