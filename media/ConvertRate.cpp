// CConvertThread: the rate-control encoders (constant quality with a predicted CRF, fixed bit
// rate), the video copy test and the output check.

#include "app/AppConfig.h"
#include "app/LogFile.h"
#include "app/Utils.h"
#include "media/ConvertThread.h"
#include "media/EncoderOutput.h"
#include "media/MediaInfo.h"
#include "media/RateControl.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>

namespace vx {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

EncodeTarget TargetOf(const MiData& dst)
{
    return EncodeTarget{dst.nChannels, dst.fFrameRate, dst.nWidth, dst.nHeight};
}

// The video bit rate of a probed file. When the probe names none, it is derived from the
// overall rate or the size, so a missing figure never reads as "small enough".
int64_t VideoBitRateOf(const MiData& mi)
{
    if (mi.nBitRate[MI_VIDEO] > 0)
        return mi.nBitRate[MI_VIDEO];
    if (mi.nBitRate[MI_GENERAL] > 0)
        return std::max<int64_t>(1, static_cast<int64_t>(mi.nBitRate[MI_GENERAL]) - mi.nBitRate[MI_AUDIO]);
    int ms = mi.nDuration[MI_VIDEO] > 0 ? mi.nDuration[MI_VIDEO] : mi.nDuration[MI_GENERAL];
    if (ms > 0 && mi.i64FileSize > 0)
        return std::max<int64_t>(1, mi.i64FileSize * 8000 / ms - mi.nBitRate[MI_AUDIO]);
    return 0;
}

} // namespace

bool CConvertThread::CanCopyVideo(const MiData& inMi, std::string* profileOption, const MiData& dst)
{
    Log(g_convertLog, "Info : the format profile (%s)", inMi.strFormatProfile.c_str());
    profileOption->clear();
    if (!HasFlvCodecs(inMi))
        return false;
    if (IsHighBitDepthProfile(inMi.strFormatProfile)) {
        *profileOption = "-profile:v high"; // players of FLV only know 8-bit 4:2:0
        return false;
    }
    return inMi.nBitRate[MI_VIDEO] > 0 && inMi.nBitRate[MI_VIDEO] <= 1.2 * dst.nBitRate[MI_VIDEO];
}

bool CConvertThread::CheckDuration(const MiData& inMi, const std::string& outPath, const MiData* probed)
{
    MiData out;
    int status = 0;
    if (probed) {
        out = *probed;
    } else if (!ProbeFile(outPath, &out, &status)) {
        Log(g_convertLog, "Error : Check Duration, file(%s) Get MediaInfo Failed,code=%d", outPath.c_str(),
            status);
        return false;
    }
    Log(g_convertLog, "Info : check Duration, old(%d, %d, %d), new(%d, %d, %d)", inMi.nDuration[MI_GENERAL],
        inMi.nDuration[MI_VIDEO], inMi.nDuration[MI_AUDIO], out.nDuration[MI_GENERAL],
        out.nDuration[MI_VIDEO], out.nDuration[MI_AUDIO]);
    if (!CAppConfig::Instance().m_bNeedCheck)
        return true;
    // The whole file and the picture must both last as long as the source: an encoder that
    // dropped most frames still writes a file as long as its sound.
    bool ok = DurationMatches(inMi.nDuration[MI_GENERAL], out.nDuration[MI_GENERAL]);
    if (inMi.nDuration[MI_VIDEO] > 0 && out.ucVideoCount > 0)
        ok = ok && DurationMatches(inMi.nDuration[MI_VIDEO], out.nDuration[MI_VIDEO]);
    return ok;
}

int CConvertThread::PredictCrfValue(const MiData& dst, const std::string& in, const MiData& inMi, int* crf,
                                    SMadeOutput* kept)
{
    CCrfSearch search(inMi.nBitRate[MI_VIDEO], dst.nBitRate[MI_VIDEO]);
    const std::string predictFile = JoinPath(m_strOutFolder, "predict.flv");
    const int start = SampleStartSeconds(inMi.nDuration[MI_VIDEO]);
    const int kind = start < 0 ? PK_PREDICT_ALL : PK_PREDICT_SAMPLE;
    CCommandLine cmd =
        MakePredictCommand(m_options.strFfmpegPath, in, start, TargetOf(dst), search.Crf(), predictFile);
    Log(g_convertLog, "Info : Convert predict. way(%s), file(%s), v_duration=%d, cmd(%s)",
        start < 0 ? "ConvertAll" : "Convert 2min", in.c_str(), inMi.nDuration[MI_VIDEO], cmd.Text().c_str());

    int result = CV_STEP_FAILED;
    MiData pm;
    auto measure = [&](int progressKind, int64_t* rate) -> bool {
        DeleteFileIfAny(predictFile);
        if (!CreateConvertProcess(progressKind, cmd)) {
            if (!Stopped())
                Log(g_convertLog, "Error : Do Predict failed, try_times=%d, cmd(%s)", search.Tries(),
                    cmd.Text().c_str());
            return false;
        }
        int status = 0;
        if (!ProbeFile(predictFile, &pm, &status)) {
            Log(g_convertLog,
                "Error : Do Predict, get predict file media information failed,code(%d), cmd(%s), "
                "try_times=%d",
                status, cmd.Text().c_str(), search.Tries());
            return false;
        }
        *rate = VideoBitRateOf(pm);
        std::lock_guard<std::mutex> guard(m_lock);
        m_runInfo.vProbes.emplace_back(search.Crf(), *rate);
        m_runInfo.i64SampleBitRate = *rate;
        return true;
    };

    int64_t m = 0;
    if (!Stopped() && measure(kind, &m)) {
        for (;;) {
            std::string warning;
            CCrfSearch::EStep step = search.Measured(m, &warning);
            if (!warning.empty())
                LogText(g_convertLog, warning);
            if (step == CCrfSearch::FOUND) {
                result = 0;
                break;
            }
            if (step == CCrfSearch::AT_LIMIT) {
                result = CV_CRF_AT_LIMIT;
                break;
            }
            if (Stopped()) {
                Log(g_convertLog, "Info : PredictCrfValue, try(%d)times, _Crf=%d", search.Tries(),
                    search.Crf());
                break;
            }
            Log(g_convertLog, "Info : PredictCrfValue, try_times(%d),Crf=%d", search.Tries(), search.Crf());
            cmd.SetCrf(search.Crf());
            if (!measure(PK_NONE, &m))
                break;
        }
    }
    *crf = search.Crf();
    // The last try encoded all of a short input at the CRF found: it may be the final file.
    const bool found = result == 0 || result == CV_CRF_AT_LIMIT;
    if (kept && found && kind == PK_PREDICT_ALL && !Stopped()) {
        *kept = SMadeOutput{predictFile, cmd, pm};
        return result;
    }
    if (!DeleteFileIfAny(predictFile))
        Log(g_convertLog, "Error : PredictFile  name: %s  delete  is failed  code:%d", predictFile.c_str(),
            errno);
    return result;
}

// What tells the two rate modes apart in the frame they share.
struct CConvertThread::SRateMode
{
    const char* name;    // "VBR" or "CBR", in the logs; lower case it names the route
    const char* runHead; // the head of the command line log
    int middleKind;      // the process kind of a second try on the middle file
};

int CConvertThread::EncodeAtRate(const std::string& in, const MiData& inMi, int kind, const SRateMode& mode,
                                 const RateCommandFn& encodeCommand)
{
    const bool again = kind == mode.middleKind;
    const std::string name = mode.name;
    const std::string routeHead = again ? LastRunInfo().strRoute + "+" : "";
    MiData dst = inMi;
    int ret = MkDestMiData(&dst, 1);
    if (ret == 0) {
        std::string profile;
        CCommandLine cmd;
        SMadeOutput made;
        if (CanCopyVideo(inMi, &profile, dst)) {
            SetRoute(routeHead + "remux");
            cmd = MakeCopyCommand(m_options.strFfmpegPath, in, TargetOf(dst), m_strOutFile);
        } else {
            SetRoute(routeHead + ToLower(name));
            ret = encodeCommand(dst, profile, &cmd, &made);
        }
        if (ret == 0) {
            LogText(g_convertLog,
                    std::string(mode.runHead) + (again ? "again" : "") + ") , cmdLine:(" + cmd.Text() + ") ");
            DeleteFileIfAny(m_strOutFile);
            auto t0 = Clock::now();
            bool ok = false;
            const MiData* probed = nullptr;
            if (!made.file.empty() && rename(made.file.c_str(), m_strOutFile.c_str()) == 0) {
                // Running this line again would only write the same file under another name.
                Log(g_convertLog, "Info : the prediction encoded the whole file with this line, output kept");
                ok = true;
                probed = &made.probed;
                m_nProgress = std::max<uint8_t>(m_nProgress, 99);
                ReportProgress();
            } else {
                DeleteFileIfAny(made.file);
                ok = CreateConvertProcess(kind, cmd);
            }
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_runInfo.dEncodeSeconds = SecondsSince(t0);
                m_runInfo.bPredictionKept = probed != nullptr;
            }
            if (Stopped()) {
                ret = CV_STEP_FAILED;
            } else if (!ok) {
                LogText(g_convertLog, "Error : " + name + " convert failed, cmd(" + cmd.Text() + ")");
                ret = CV_STEP_FAILED;
            } else if (!FileExists(m_strOutFile)) {
                LogText(g_convertLog, "Error : " + name +
                                          " convert successfully, but output file not existed, cmd(" +
                                          cmd.Text() + ")");
                ret = CV_NO_OUTPUT;
            } else if (!CheckDuration(inMi, m_strOutFile, probed)) {
                LogText(g_convertLog, "Error : " + name +
                                          " convert successfully, but check file duration failed, cmd(" +
                                          cmd.Text() + ")");
                ret = CV_CHECK_FAILED;
            }
        }
    }
    // A failed output is never left behind: the folder may be uploaded from later.
    if (ret != 0 && !DeleteFileIfAny(m_strOutFile))
        Log(g_convertLog, "Error : Do%s, file(%s) delete failed, code:%d", mode.name, m_strOutFile.c_str(),
            errno);
    return ret;
}

int CConvertThread::DoVBR(const std::string& in, const MiData& inMi, int kind)
{
    if (in.empty()) {
        Log(g_convertLog, "Error : VBR convert, but invalid input file parameters");
        return CV_STEP_FAILED;
    }
    static constexpr SRateMode kVbr{"VBR", "Info : DoVBR  (", PK_VBR_MIDDLE};
    return EncodeAtRate(
        in, inMi, kind, kVbr,
        [&](const MiData& dst, const std::string& profile, CCommandLine* cmd, SMadeOutput* made) {
            auto t0 = Clock::now();
            int crf = CCrfSearch::kFirstCrf;
            SMadeOutput kept;
            int p = PredictCrfValue(dst, in, inMi, &crf, &kept);
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_runInfo.dPredictSeconds = SecondsSince(t0);
                m_runInfo.nCrf = crf;
                m_runInfo.i64TargetBitRate = dst.nBitRate[MI_VIDEO];
            }
            if (Stopped() || (p != 0 && p != CV_CRF_AT_LIMIT)) {
                DeleteFileIfAny(kept.file);
                if (!Stopped())
                    Log(g_convertLog,
                        "Error: VBR convert predict CRF failed. process_affinity_mask=%d, dest_bitrate=%d",
                        static_cast<int>(m_uMask), dst.nBitRate[MI_VIDEO]);
                return static_cast<int>(CV_STEP_FAILED);
            }
            *cmd = MakeVbrCommand(m_options.strFfmpegPath, in, TargetOf(dst), crf, profile, m_strOutFile);
            if (!kept.file.empty() && SameEncodeBesidesOutput(kept.cmd, *cmd))
                *made = std::move(kept);
            else
                DeleteFileIfAny(kept.file);
            return 0;
        });
}

int CConvertThread::DoCBR(const std::string& in, const MiData& inMi, int kind)
{
    if (in.empty()) {
        Log(g_convertLog, "Error : CBR convert, but invalid parameters");
        return CV_STEP_FAILED;
    }
    static constexpr SRateMode kCbr{"CBR", "Info : DoCBR (", PK_CBR_MIDDLE};
    return EncodeAtRate(in, inMi, kind, kCbr,
                        [&](const MiData& dst, const std::string& profile, CCommandLine* cmd, SMadeOutput*) {
                            bool deinterlace = ToLower(inMi.strScanType) == "interlaced" && inMi.nWidth > 640;
                            *cmd = MakeCbrCommand(m_options.strFfmpegPath, in, TargetOf(dst), deinterlace,
                                                  dst.nBitRate[MI_VIDEO] / 1024, profile, m_strOutFile);
                            std::lock_guard<std::mutex> guard(m_lock);
                            m_runInfo.i64TargetBitRate = dst.nBitRate[MI_VIDEO];
                            return 0;
                        });
}

} // namespace vx
