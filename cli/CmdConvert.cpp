// vexora convert [--cbr] [--size N] [--out DIR] FILE...: upload-ready FLV files, made by the same
// convert manager and workers as the window uses, with a progress bar per file.

#include "app/AppConfig.h"
#include "app/Utils.h"
#include "cli/CliCommand.h"
#include "cli/CliHelpers.h"
#include "cli/JsonOut.h"
#include "media/ConvertMgr.h"
#include "media/MediaInfo.h"
#include "media/MediaMessages.h"
#include "pipeline/ConvertSettings.h"
#include "platform/FileCheck.h"
#include "platform/FileOps.h"
#include "platform/MessageLoop.h"
#include "platform/Paths.h"
#include "platform/Terminal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace vx::cli {
namespace {

const char* ResultText(int code)
{
    switch (code) {
    case CV_NO_STREAMS:
        return "the file has neither audio nor video";
    case CV_ENCRYPTED:
        return "the file is encrypted";
    case CV_NO_SIZE:
        return "the picture has no usable size";
    case CV_NO_OUTPATH:
        return "no output folder";
    case CV_MKDIR_FAILED:
        return "the output folder cannot be created";
    case CV_NOT_FOUND:
        return "the file does not exist";
    case CV_BAD_PATH:
        return "the path is not a readable file";
    case CV_NO_TOOLS:
        return "ffmpeg, Yamdi-Extend or the audio picture is missing beside the program";
    case CV_BAD_CODEC_MODE:
        return "unknown rate mode";
    case CV_NO_OUTPUT:
        return "the encoder wrote no output";
    case CV_CHECK_FAILED:
        return "the output does not last as long as the source";
    case CV_FAILED:
        return "an encoder step failed (see Log/convert.txt)";
    case CV_NO_MIDDLE_TOOL:
        return "mencoder or tsMuxeR is missing beside the program";
    case CV_COPY_FAILED:
        return "copying the finished file failed";
    case CV_BAD_METADATA:
        return "the converted file's metadata is incomplete or does not match it (see Log/convert.txt)";
    default:
        return "conversion failed";
    }
}

std::string Absolute(const std::string& path)
{
    if (!path.empty() && path[0] == '/')
        return path;
    const std::string cwd = CurrentFolder();
    return !cwd.empty() ? JoinPath(cwd, path) : path;
}

std::string BaseName(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

struct Job
{
    std::string path;
    std::string index;
    int progress = 0;
    bool done = false;
    _sConvertReport result;
    int probeStatus = MI_OK; // a source the probe refused never reaches the manager
};

class CConvertView : public IMsgHandler
{
public:
    CConvertView(std::vector<Job>* jobs, bool tty) : m_jobs(jobs), m_tty(tty)
    {
        m_target = CMessageLoop::Main().Register(this);
    }
    ~CConvertView() override { CMessageLoop::Main().Unregister(m_target); }
    MsgTarget Target() const { return m_target; }

    void OnMessage(uint32_t id, uint64_t, std::unique_ptr<CMsgPayload> payload) override
    {
        _sConvertReport* r = PayloadAs<_sConvertReport>(payload);
        if (id != WM_CONVERT_RESULT || !r)
            return;
        for (Job& j : *m_jobs) {
            if (j.index != r->strFileIndex)
                continue;
            if (r->nCode == CR_PROGRESS) {
                j.progress = r->nValue;
            } else {
                j.done = true;
                j.result = *r;
                if (r->nCode == CR_SUCCESS)
                    j.progress = 100;
            }
        }
        Draw();
    }

    // One line per file: a bar on a terminal, otherwise nothing until the end.
    void Draw()
    {
        if (!m_tty)
            return;
        if (m_drawn)
            fprintf(stderr, "\x1b[%zuA", m_jobs->size());
        for (const Job& j : *m_jobs) {
            int filled = j.progress * 30 / 100;
            std::string bar(static_cast<size_t>(filled), '#');
            bar.append(static_cast<size_t>(30 - filled), '.');
            const char* state = !j.done ? "" : j.result.nCode == CR_SUCCESS ? " done" : " FAILED";
            std::string name = PlainText(BaseName(j.path));
            if (name.size() > 40)
                name = name.substr(0, 37) + "...";
            fprintf(stderr, "\r\x1b[2K[%s] %3d%% %s%s\n", bar.c_str(), j.progress, name.c_str(), state);
        }
        m_drawn = true;
    }

private:
    std::vector<Job>* m_jobs;
    bool m_tty;
    bool m_drawn = false;
    MsgTarget m_target;
};

int RunConvert(CCliArgs& args)
{
    bool cbr = args.TakeFlag("--cbr");
    std::optional<std::string> size = args.TakeOption("--size");
    std::optional<std::string> out = args.TakePathOption("--out");
    std::vector<std::string> files;
    if (!args.PathPositionals(&files))
        return UsageError(args, args.Error());
    if (files.empty())
        return UsageError(args, "convert needs at least one FILE");
    int sizeOp = 1;
    if (!ParseBounded(size, 1, 5, &sizeOp))
        return UsageError(args, "--size takes 1 (keep), 2 (640), 3 (1024), 4 (1280) or 5 (1920)");
    std::string outPath = Absolute(out ? *out : "converted");
    while (outPath.size() > 1 && outPath.back() == '/')
        outPath.pop_back();

    // The same settings as the pipeline's, with the command line's size and rate mode.
    _sSetData userOptions;
    userOptions.nVideoConvertType = sizeOp - 1;
    _sConvertInit init = BuildConvertInit(CAppConfig::Instance(), userOptions, 0, outPath);
    init.options.nCodecMod = cbr ? CODEC_CBR : CODEC_VBR;

    std::vector<Job> jobs;
    int failed = 0;
    for (const std::string& f : files) {
        std::string path = Absolute(f);
        std::string problem = DescribeInputFile(path);
        if (!problem.empty()) {
            Fail(f + ": " + problem);
            ++failed;
            continue;
        }
        Job j;
        j.path = path;
        j.index = NewFileIndex();
        jobs.push_back(j);
    }

    const bool tty = IsTerminal(StdStream::Err) && !args.Json();
    CConvertView view(&jobs, tty);
    init.MAX = static_cast<uint8_t>(std::max<size_t>(1, std::min<size_t>(jobs.size(), init.MAX)));
    init.hWnd = view.Target();
    init.uMsgId = WM_CONVERT_RESULT;
    CConvertMgr mgr;
    if (!jobs.empty())
        mgr.Init(init);
    for (Job& j : jobs) {
        MiData mi;
        CMediaInfo probe(j.path);
        int status = probe.GetMiData(&mi);
        if (status != MI_OK) {
            j.done = true;
            j.probeStatus = status;
            j.result.nCode = CV_NO_STREAMS;
            j.result.strFileIndex = j.index;
            continue;
        }
        if (!mgr.AddFile(_sConvertTask{j.path, j.index, mi})) {
            j.done = true; // the manager took no task: nothing would ever report it
            j.result.nCode = CV_FAILED;
            j.result.strFileIndex = j.index;
        }
    }
    view.Draw();
    auto allDone = [&] {
        for (const Job& j : jobs)
            if (!j.done)
                return false;
        return true;
    };
    while (!CMessageLoop::Main().PumpUntil(allDone, 1000)) {
    }
    mgr.StopWork();

    for (const Job& j : jobs) {
        ConvertRunInfo info;
        bool haveInfo = mgr.RunInfoOf(j.index, &info);
        std::string probes;
        for (const auto& [crf, rate] : info.vProbes)
            probes +=
                (probes.empty() ? "" : ",") + std::to_string(crf) + ":" + std::to_string(rate / 1000) + "k";
        if (j.probeStatus != MI_OK && j.probeStatus != MI_NO_STREAMS) {
            ++failed;
            std::string problem = DescribeInputFile(j.path);
            Fail(j.path + ": " + (problem.empty() ? "not a media file the library can read" : problem) +
                 " (probe status " + std::to_string(j.probeStatus) + ")");
            continue;
        }
        if (j.result.nCode != CR_SUCCESS) {
            ++failed;
            Fail(j.path + ": " + ResultText(j.result.nCode) + " (code " + std::to_string(j.result.nCode) +
                 ")");
            continue;
        }
        CJsonOut o;
        o.Text("file", j.path);
        o.Text("output", j.result.strOutPath);
        o.Text("route", haveInfo ? info.strRoute : "");
        o.Int("crf", info.nCrf);
        o.Text("probes", probes);
        o.Int("targetBitRate", info.i64TargetBitRate);
        o.Int("sampleBitRate", info.i64SampleBitRate);
        o.Int("probeCount", static_cast<long long>(info.vProbes.size()));
        o.Int("predictMs", static_cast<long long>(info.dPredictSeconds * 1000));
        o.Int("encodeMs", static_cast<long long>(info.dEncodeSeconds * 1000));
        o.Bool("predictionKept", info.bPredictionKept);
        if (args.Json())
            fputs(o.Json().c_str(), stdout);
        else
            printf("%s\n  output: %s\n  route: %s  crf: %d  probes (crf:rate): %s\n",
                   PlainText(j.path).c_str(), PlainText(j.result.strOutPath).c_str(), info.strRoute.c_str(),
                   info.nCrf, probes.empty() ? "-" : probes.c_str());
    }
    return failed == 0 ? kExitOk : kExitFailed;
}

} // namespace

VX_CLI_COMMAND("convert", "convert [--cbr] [--size N] [--out DIR] FILE...",
               "convert media files into upload-ready FLV files (progress bar per file)", RunConvert);

} // namespace vx::cli
