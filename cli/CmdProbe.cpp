// vexora probe FILE...: the media properties the conversion relies on, one block per file.

#include "cli/CliCommand.h"
#include "cli/CliHelpers.h"
#include "cli/JsonOut.h"
#include "media/MediaInfo.h"
#include "platform/FileCheck.h"

#include <cstdio>
#include <string>
#include <vector>

namespace vx::cli {
namespace {

// One property: its MediaInfo parameter name and its value as plain text and as JSON.
struct Prop
{
    std::string name, plain, json;
};

Prop Num(const char* name, long long v)
{
    return {name, std::to_string(v), std::to_string(v)};
}

Prop Real(const char* name, double v)
{
    char buf[32];
    snprintf(buf, sizeof buf, "%.6g", v);
    return {name, buf, buf};
}

// Texts come from the file's own metadata: plain output escapes what could forge lines.
Prop Text(const char* name, const std::string& v)
{
    return {name, PlainText(v), CJsonOut::Quote(v)};
}

struct Group
{
    const char* name;
    std::vector<Prop> props;
};

std::vector<Group> Groups(const MiData& m)
{
    return {
        {"General",
         {Num("FileSize", m.i64FileSize),
          {"Encryption", m.bEncrypted ? "yes" : "no", m.bEncrypted ? "true" : "false"},
          Num("Duration", m.nDuration[MI_GENERAL]),
          Num("BitRate", m.nBitRate[MI_GENERAL]),
          Text("Format", m.strFormat[MI_GENERAL]),
          Text("Encoded_Application", m.strEncodedApp)}},
        {"Video",
         {Num("StreamCount", m.ucVideoCount), Num("Duration", m.nDuration[MI_VIDEO]),
          Num("BitRate", m.nBitRate[MI_VIDEO]), Num("Width", m.nWidth), Num("Height", m.nHeight),
          Real("FrameRate", m.fFrameRate), Text("Format", m.strFormat[MI_VIDEO]),
          Text("Codec", m.strVideoCodec), Text("ScanType", m.strScanType),
          Text("BitRate_Mode/String", m.strBitRateMode), Text("FrameRate_Mode/String", m.strFrameRateMode),
          Text("Format_Profile", m.strFormatProfile)}},
        {"Audio",
         {Num("StreamCount", m.ucAudioCount), Num("Duration", m.nDuration[MI_AUDIO]),
          Num("BitRate", m.nBitRate[MI_AUDIO]), Num("Channels", m.nChannels),
          Num("SamplingRate", m.nSamplingRate), Text("Format", m.strFormat[MI_AUDIO]),
          Text("Codec", m.strAudioCodec)}},
    };
}

std::string StatusText(const std::string& path, int status)
{
    if (status == MI_OK)
        return "ok";
    if (status == MI_EMPTY_PATH)
        return "the path is empty";
    if (status == MI_OPEN_FAILED && !CMediaInfo::IsLibraryBound())
        return std::string("the MediaInfo library (") + CMediaInfo::kLibraryName + ") could not be loaded";
    // A file that cannot be read at all is no question of its format.
    std::string problem = DescribeInputFile(path);
    if (!problem.empty())
        return problem;
    switch (status) {
    case MI_OPEN_FAILED:
        return "not a media file the library can read";
    case MI_NO_FILESIZE:
        return "no file size in the General stream";
    case MI_NO_STREAMS:
        return "neither an audio nor a video stream";
    default:
        return "not probed";
    }
}

std::string JsonBlock(const std::string& path, int status, const MiData& m)
{
    std::string out = "{\"file\": " + CJsonOut::Quote(path) + ", \"status\": " + std::to_string(status);
    if (status != MI_OK)
        return out + ", \"error\": " + CJsonOut::Quote(StatusText(path, status)) + "}";
    for (const Group& g : Groups(m)) {
        out += std::string(", \"") + g.name + "\": {";
        for (size_t i = 0; i < g.props.size(); ++i)
            out += (i ? ", " : "") + CJsonOut::Quote(g.props[i].name) + ": " + g.props[i].json;
        out += "}";
    }
    return out + "}";
}

std::string PlainBlock(const std::string& path, int status, const MiData& m)
{
    std::string out = "File: " + PlainText(path) + "\nStatus: " + std::to_string(status) + " (" +
                      StatusText(path, status) + ")\n";
    if (status != MI_OK)
        return out;
    for (const Group& g : Groups(m)) {
        out += std::string(g.name) + "\n";
        for (const Prop& p : g.props)
            out += "  " + p.name + ": " + p.plain + "\n";
    }
    return out;
}

int RunProbe(CCliArgs& args)
{
    std::vector<std::string> files;
    if (!args.PathPositionals(&files))
        return UsageError(args, args.Error());
    if (files.empty())
        return UsageError(args, "probe needs at least one file");
    int rc = kExitOk;
    for (size_t i = 0; i < files.size(); ++i) {
        CMediaInfo probe(files[i]);
        MiData m;
        int status = probe.GetMiData(&m);
        if (args.Json()) {
            printf("%s\n", JsonBlock(files[i], status, m).c_str());
        } else {
            printf("%s%s", i ? "\n" : "", PlainBlock(files[i], status, m).c_str());
        }
        if (status != MI_OK)
            rc = Fail("probe " + files[i] + ": " + StatusText(files[i], status) + " (status " +
                      std::to_string(status) + ")");
    }
    fflush(stdout);
    return rc;
}

} // namespace

VX_CLI_COMMAND("probe", "probe FILE...", "media properties of each file (MediaInfo)", RunProbe);

} // namespace vx::cli
