// CConvertThread: running one encoder step as a child process and watching it.

#include "app/AppConfig.h"
#include "app/LogFile.h"
#include "media/ConvertThread.h"
#include "media/EncoderOutput.h"
#include "platform/Process.h"

#include <cerrno>
#include <chrono>

namespace vx {

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// How long a step may stay silent: the configured time, doubled when the processors are
// crowded with conversions (an encoder then legitimately prints less often).
long long SilenceLimitMs(const CAppConfig& cfg)
{
    long long limit = cfg.m_nCheckDurTime > 0 ? cfg.m_nCheckDurTime : 600000;
    int busy = cfg.m_setData.nConvertMax > 0 ? cfg.m_setData.nConvertMax : 1;
    return cfg.m_nCpuCount - busy > 2 ? limit : limit * 2;
}

} // namespace

bool CConvertThread::CreateConvertProcess(int kind, const CCommandLine& cmd)
{
    if (Stopped())
        return false;
    Log(g_convertLog, "Info : CreateConvertProcess start, _nPro=%d", kind);
    const CAppConfig& cfg = CAppConfig::Instance();
    const std::string text = cmd.Text();

    ProcessOptions opt;
    opt.captureStdout = true;
    opt.mergeStderr = true; // ffmpeg reports on stderr, mencoder on stdout: one pipe, one order
    opt.workDir = m_strOutFolder;
    opt.niceness = m_options.nNice;
    // Started and waited for on this worker's thread: if our process goes (a crash, kill -9),
    // the encoder goes with it instead of working on for nobody.
    opt.endWithStarter = true;
    CProcess proc;
    std::string err;
    if (!proc.Start(cmd.exe, cmd.args, opt, &err)) {
        Log(g_convertLog, "Error: create convert process failed(%s), code=%d", text.c_str(), errno);
        LogText(g_convertLog, "Error : " + err);
        return false;
    }
    if (cfg.m_nMaskOfBindCPU == 1) {
        if (m_uMask != 0 && !SetProcessAffinity(proc.Pid(), m_uMask))
            Log(g_convertLog, "Error: set process affinity mask failed(%s), mask=0x%08x, code=%d",
                text.c_str(), static_cast<unsigned>(m_uMask), errno);
    } else {
        Log(g_convertLog, "Info : mask not bind cpu, value=%d", cfg.m_nMaskOfBindCPU);
    }

    const long long limitMs = SilenceLimitMs(cfg);
    const int durationMs = m_task.miData.nDuration[MI_GENERAL];
    CEncoderOutput parser(kind);
    auto lastOutput = Clock::now();
    auto lastReport = Clock::now();
    bool ended = false;
    int exitCode = -1;
    std::string chunk;
    while (!Stopped()) {
        // Drain the pipe continuously: an encoder blocked on a full pipe makes no progress.
        proc.WaitOutput(200);
        chunk.clear();
        proc.ReadStdout(&chunk);
        if (!chunk.empty()) {
            lastOutput = Clock::now(); // any output proves the step is alive
            if (parser.Feed(chunk)) {
                if (Stopped())
                    break;
                m_nProgress = NextProgress(kind, m_nProgress, parser.Position(), durationMs);
                if (MsSince(lastReport) >= 1000) {
                    ReportProgress();
                    lastReport = Clock::now();
                }
            }
        }
        if (proc.TryWait(&exitCode)) {
            chunk.clear();
            proc.ReadStdout(&chunk);
            parser.Feed(chunk);
            ended = true;
            break;
        }
        if (MsSince(lastOutput) >= limitMs) {
            Log(g_convertLog,
                "Error : create convert process, the process has no changed more than %d min, l_dwRet=%d , "
                "code:=%d , the process will be terminated, cmd(%s)",
                static_cast<int>(limitMs / 60000), 258, 0, text.c_str());
            break;
        }
    }

    if (ended) {
        if (exitCode == 0)
            return true;
        Log(g_convertLog, "Error: create convert process, exit code=%d, cmd(%s).", exitCode, text.c_str());
        LogText(g_convertLog, "Error : encoder output: " + parser.Tail());
        return false;
    }
    if (!Stopped())
        Log(g_convertLog,
            "Error: get process exit code failed, code=%d, return=%d, cmd(%s). the process will be ended!", 0,
            259, text.c_str());
    proc.Terminate(2000);
    return false;
}

} // namespace vx
