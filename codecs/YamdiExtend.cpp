// Yamdi-Extend -i INPUT -o OUTPUT [-c CREATOR]: the conversion's tagging step. Writes a fresh
// onMetaData into a copy of an FLV file (picture size, frame rate, data rates, duration, file
// size and a keyframe index that matches the copy) with CREATOR as its creator, which is what
// the media probe reports as the encoded application.
//
// The metadata itself comes from flvmeta: the one beside this program, else the one in PATH.
// It runs in place of this program, so its exit code is ours and ending this process (a stopped
// conversion) ends it as well.

#include "platform/Paths.h"
#include "platform/Process.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Usage(const char* error)
{
    if (error)
        std::fprintf(stderr, "Yamdi-Extend: %s\n", error);
    std::fprintf(stderr, "usage: Yamdi-Extend -i INPUT -o OUTPUT [-c CREATOR]\n");
    return 2;
}

// A relative name that begins with '-' would be read as an option.
std::string PathArg(const std::string& path)
{
    return !path.empty() && path[0] == '-' ? "./" + path : path;
}

} // namespace

int main(int argc, char** argv)
{
    std::string in, out, creator;
    bool hasCreator = false;
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "-h" || opt == "--help") {
            Usage(nullptr);
            return 0;
        }
        if (opt != "-i" && opt != "-o" && opt != "-c")
            return Usage(("unknown option " + opt).c_str());
        if (i + 1 >= argc)
            return Usage((opt + " needs a value").c_str());
        const std::string value = argv[++i];
        if (opt == "-i")
            in = value;
        else if (opt == "-o")
            out = value;
        else {
            creator = value;
            hasCreator = true;
        }
    }
    if (in.empty() || out.empty())
        return Usage("an input and an output file are needed");

    std::string flvmeta = vx::GetProgramFolder() + "flvmeta";
    if (!vx::FileExists(flvmeta))
        flvmeta = "flvmeta";
    std::vector<std::string> args = {"--update"};
    if (hasCreator)
        args.insert(args.end(), {"--add", "creator=" + creator});
    args.push_back(PathArg(in));
    args.push_back(PathArg(out));
    std::string error;
    vx::RunInPlace(flvmeta, args, &error);
    std::fprintf(stderr, "Yamdi-Extend: %s\n", error.c_str());
    return 127;
}
