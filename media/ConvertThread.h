#pragma once
// One conversion worker: turns a course file into an upload-ready FLV in its own output folder
// (OUTPATH/<file index>/) by driving ffmpeg, mencoder, the TS remuxer and Yamdi-Extend as
// child processes. It copies, only tags, remuxes or encodes, reports progress and the result
// through its report function, and ends every run with a CR_WORKER_DONE report. The same object
// serves many runs, one thread per run.

#include "media/ConvertCommands.h"
#include "media/Thread.h"
#include "store/ConvertRecords.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vx {

// Result codes of a run, beyond the report codes of the records.
enum ConvertResult : int
{
    CV_NO_STREAMS = -1,      // neither audio nor video
    CV_ENCRYPTED = -2,       // the source is encrypted
    CV_NO_SIZE = -3,         // no usable picture size
    CV_NO_OUTPATH = -4,      // OUTPATH is empty
    CV_MKDIR_FAILED = -5,    // OUTPATH or the output folder cannot be created
    CV_NOT_FOUND = -6,       // the source does not exist
    CV_BAD_PATH = -7,        // the source path is invalid or the file index empty
    CV_NO_TOOLS = -8,        // ffmpeg or Yamdi-Extend missing, or the background image for audio
    CV_BAD_CODEC_MODE = -9,  // nCodecMod is neither 1 nor 2
    CV_NO_OUTPUT = -10,      // the encoder succeeded but wrote no file
    CV_CHECK_FAILED = -11,   // the output cannot be probed or its duration is wrong
    CV_FAILED = -12,         // stopped, or an encoder, remux or tag step failed
    CV_NO_MIDDLE_TOOL = -13, // mencoder or the TS remuxer missing for the middle file
    CV_COPY_FAILED = -14,    // copying an already finished FLV failed
    CV_BAD_METADATA = -15,   // the tagged file lacks its picture size or length, or its seek
                             // index does not match the file
    CV_DISK_FULL = -16,      // a step failed with the output folder's disk full
    CV_STEP_FAILED = -41,    // internal: an encoder step failed (reported as -12)
    CV_CRF_AT_LIMIT = -42,   // internal: the prediction reached CRF 51 (not a failure)
    CV_WORKER_BUSY = -43     // internal: the worker refused a task (never reported)
};

// CheckAndInitialize's answers for FLV sources that need no encode.
constexpr int kNeedsTagOnly = 41;
constexpr int kAlreadyTagged = 42;

// What the last run chose, for the command-line companion and the benchmark.
struct ConvertRunInfo
{
    std::string strRoute; // "copy", "tag", "remux", "vbr", "cbr", "audio", plus "+middle"
    int nCrf = -1;        // the CRF of the final encode, -1 when none
    // Every prediction try: CRF and the measured video bit rate.
    std::vector<std::pair<int, int64_t>> vProbes;
    int64_t i64TargetBitRate = 0;
    int64_t i64SampleBitRate = 0; // the measured rate at the chosen CRF
    double dPredictSeconds = 0;   // wall time spent on the prediction
    double dEncodeSeconds = 0;    // wall time of the final encode step
    bool bPredictionKept = false; // the last prediction try was the final encode: no second run
};

class CConvertThread;
// Receives every report of a worker, with the worker that made it.
using ConvertReportFn = std::function<void(CConvertThread* worker, _sConvertReport&& report)>;

class CConvertThread : public CThread
{
public:
    CConvertThread(uint8_t index, uint64_t affinityMask, ConvertReportFn report);
    ~CConvertThread() override;

    // Takes a task and starts a run; CV_WORKER_BUSY while a previous run is not over.
    int Assign(const _sConvertTask& task, const _sConvertOptions& options);
    // Asks the run to stop (its encoder is ended at the next check) and returns at once.
    void RequestStop();
    // Asks the run to stop and waits until it has returned.
    void StopEx();
    // Asks the run to stop only while it still works on this file index; true when it did.
    bool RequestStopFor(const std::string& fileIndex);
    // True while a run for this file index has not finished.
    bool IsBusyWith(const std::string& fileIndex) const;

    // Called on the run's thread when a named step ("tag") has finished; lets a test stop the
    // run at that exact point. Set before Assign.
    void SetAfterStepHook(std::function<void(const std::string& step)> hook)
    {
        m_fnAfterStep = std::move(hook);
    }

    bool IsBusy() const { return m_bBusy.load(); }
    uint8_t Index() const { return m_nIndex; }
    uint64_t AffinityMask() const { return m_uMask; }
    // The file index of the task assigned last. Changes only in Assign.
    std::string FileIndex() const;
    ConvertRunInfo LastRunInfo() const;

protected:
    void Process() override;

private:
    // ConvertThread.cpp: run, checks, reports, target records.
    int CheckAndInitialize();
    // True when every stream is one an FLV carries as it stands: H.264 video, AAC sound.
    static bool HasFlvCodecs(const MiData& mi);
    bool IsCompatible(const MiData& src, const MiData& dst);
    int MkDestMiData(MiData* dst, int type);
    void Report(int8_t code, uint8_t value, const std::string& outPath = "");
    void ReportProgress();
    bool Stopped() const { return m_bTerminate.load(); }
    void SetRoute(const std::string& route);
    void AfterStep(const char* step)
    {
        if (m_fnAfterStep)
            m_fnAfterStep(step);
    }

    // ConvertRoutes.cpp: copy, tag, audio, video and middle-file routes.
    int DealSrcFile(int param);
    int Convert();
    int ConvertAudio();
    int ConvertVideo();
    // Where the middle step puts its own link or copy of the source.
    std::string MiddleSourcePath() const;
    // Failures that may come from a write running out of disk.
    static bool WritesFailed(int result);
    // The disk of the output folder (or of the output root) has next to nothing left.
    bool OutputDiskFull() const;
    int DumptoMiddleFile(const std::string& src, const MiData& srcMi, std::string* middle, MiData* middleMi);
    // 0, CV_STEP_FAILED, or CV_BAD_METADATA when the tagged file fails the metadata check.
    int AddMetaTag();
    // Deletes a file; a file that is not there (or no name) counts as deleted.
    static bool DeleteFileIfAny(const std::string& path);
    // Probes a file; false with the probe's status when it fails.
    static bool ProbeFile(const std::string& path, MiData* out, int* status);

    // ConvertProcess.cpp: one child process, watched until it ends.
    bool CreateConvertProcess(int kind, const CCommandLine& cmd);

    // ConvertRate.cpp: the rate-control encoders.
    struct SRateMode;
    // A file a prediction made with the very line of the final encode, and its probe.
    struct SMadeOutput
    {
        std::string file;
        CCommandLine cmd;
        MiData probed;
    };
    // Builds a rate mode's own encoder command for the target dst; 0, or the failure code. made
    // receives a file that already holds this encode (then the encoder does not run again).
    using RateCommandFn = std::function<int(const MiData& dst, const std::string& profile, CCommandLine* cmd,
                                            SMadeOutput* made)>;
    // The frame both modes share: the route, the target, the copy test, the encoder run, the
    // output check and the removal of a failed output.
    int EncodeAtRate(const std::string& in, const MiData& inMi, int kind, const SRateMode& mode,
                     const RateCommandFn& encodeCommand);
    int DoVBR(const std::string& in, const MiData& inMi, int kind);
    int DoCBR(const std::string& in, const MiData& inMi, int kind);
    // kept, when given, receives the last try's output when that try encoded the whole input
    // at the CRF found; the caller then owns the file.
    int PredictCrfValue(const MiData& dst, const std::string& in, const MiData& inMi, int* crf,
                        SMadeOutput* kept = nullptr);
    bool CanCopyVideo(const MiData& inMi, std::string* profileOption, const MiData& dst);
    // probed: the output's probe when one was already made.
    bool CheckDuration(const MiData& inMi, const std::string& outPath, const MiData* probed = nullptr);

    const uint8_t m_nIndex;
    const uint64_t m_uMask;
    ConvertReportFn m_fnReport;
    std::function<void(const std::string&)> m_fnAfterStep;

    std::atomic<bool> m_bTerminate{false};
    std::atomic<bool> m_bCancel{false};
    std::atomic<bool> m_bBusy{false};

    mutable std::mutex m_lock; // guards the task's index and the run info read from outside
    _sConvertTask m_task;
    _sConvertOptions m_options;
    ConvertRunInfo m_runInfo;

    // Per run (only the run's thread touches these).
    std::string m_strOutFile;
    std::string m_strOutFolder;
    uint8_t m_nProgress = 0;
};

} // namespace vx
