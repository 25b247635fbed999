// CConvertThread: the routes of a run (copy, tag only, audio, video with the middle-file
// fallback) and the tagging step every output ends with.

#include "app/LogFile.h"
#include "app/Utils.h"
#include "media/ConvertThread.h"
#include "media/EncoderOutput.h"
#include "media/FlvMetadata.h"
#include "media/MediaInfo.h"
#include "platform/FileOps.h"
#include "platform/LocalTime.h"
#include "platform/Paths.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace vx {

namespace {

} // namespace

bool CConvertThread::DeleteFileIfAny(const std::string& path)
{
    return RemoveFileIfAny(path);
}

bool CConvertThread::ProbeFile(const std::string& path, MiData* out, int* status)
{
    CMediaInfo probe(path);
    *status = probe.GetMiData(out);
    return *status == MI_OK;
}

int CConvertThread::DealSrcFile(int param)
{
    Log(g_convertLog, "Info : DealSrcFile start, param=%d", param);
    const std::string& src = m_task.strSrcPath;
    int ret = CV_FAILED;
    if (param == kNeedsTagOnly) {
        SetRoute("tag");
        DeleteFileIfAny(m_strOutFile);
        if (!CreateConvertProcess(PK_CBR, MakeRemuxCommand(m_options.strFfmpegPath, src, m_strOutFile))) {
            Log(g_convertLog, "Error : the input file(%s) ConvertMetaFile failed.", src.c_str());
        } else {
            m_nProgress = 99;
            ReportProgress();
            const int tag = AddMetaTag();
            if (tag == 0) {
                m_nProgress = 100;
                ret = CR_SUCCESS;
            } else if (tag == CV_BAD_METADATA) {
                ret = tag;
            }
        }
    } else if (param == kAlreadyTagged) {
        SetRoute("copy");
        // A source that already lies where the output goes must not be copied onto itself.
        if (IsSameFile(src, m_strOutFile) || CopyFileReplace(src, m_strOutFile)) {
            m_nProgress = 100;
            ret = CR_SUCCESS;
        } else {
            Log(g_convertLog,
                "Error : the input file(%s) is already done, copy file to destination failed, code=%d",
                src.c_str(), errno);
            ret = CV_COPY_FAILED;
        }
    }
    Log(g_convertLog, "Info : DealSrcFile end, ret=%d", ret);
    return ret;
}

int CConvertThread::Convert()
{
    int r = m_task.miData.ucVideoCount > 0 ? ConvertVideo() : ConvertAudio();
    if (r == 0) {
        r = AddMetaTag();
        if (r == 0)
            r = CR_SUCCESS;
    }
    return r == CV_STEP_FAILED ? CV_FAILED : r;
}

int CConvertThread::ConvertAudio()
{
    SetRoute("audio");
    MiData dst = m_task.miData;
    MkDestMiData(&dst, 1);
    DeleteFileIfAny(m_strOutFile);
    int channels = dst.nChannels > 0 ? dst.nChannels : 2;
    CCommandLine cmd = MakeAudioCommand(m_options.strFfmpegPath, m_options.strAudioBkImage, m_task.strSrcPath,
                                        channels, m_strOutFile);
    LogText(g_convertLog, "Info : audio convert, cmdLine:(" + cmd.Text() + ")");
    return CreateConvertProcess(PK_AUDIO, cmd) ? 0 : CV_STEP_FAILED;
}

int CConvertThread::ConvertVideo()
{
    const MiData& mi = m_task.miData;
    const std::string& src = m_task.strSrcPath;
    const bool cbr = m_options.nCodecMod == CODEC_CBR;
    int r = CV_STEP_FAILED;
    if (cbr) {
        r = DoCBR(src, mi, PK_CBR);
    } else if (mi.strBitRateMode != "Variable" && mi.strFrameRateMode != "Variable") {
        r = DoVBR(src, mi, PK_VBR);
    } else {
        Log(g_convertLog, "Info : file(%s), BitRate mode is Variable(%s), Frame RateMode(%s)", src.c_str(),
            mi.strBitRateMode.c_str(), mi.strFrameRateMode.c_str());
    }

    std::string middle;
    if (r == CV_STEP_FAILED) {
        Log(g_convertLog, "Warning : file(%s) converted by (%s) failed. Now try to dump to middle file.",
            src.c_str(), cbr ? "CBR" : "VBR");
        if (!Stopped()) {
            m_nProgress = 0;
            MiData middleMi;
            r = DumptoMiddleFile(src, mi, &middle, &middleMi);
            if (Stopped())
                r = CV_STEP_FAILED;
            else if (r == 0)
                r = cbr ? DoCBR(middle, middleMi, PK_CBR_MIDDLE) : DoVBR(middle, middleMi, PK_VBR_MIDDLE);
        }
    }
    if (!DeleteFileIfAny(middle))
        Log(g_convertLog, "Error : delete middle_file(%s) failed, code=%d", middle.c_str(), errno);
    return r;
}

int CConvertThread::DumptoMiddleFile(const std::string& src, const MiData& srcMi, std::string* middle,
                                     MiData* middleMi)
{
    if (src.empty())
        return CV_STEP_FAILED;
    const std::string copied = MiddleSourcePath();
    const std::string meta = JoinPath(m_strOutFolder, "middle.meta");
    DeleteFileIfAny(copied);
    // The middle tools get our own name for the source. A hard link costs nothing; a copy is
    // made only across file systems, and it stops when the task is withdrawn.
    std::string input = copied;
    if (!MakeHardLink(src, copied) && !CopyFileReplace(src, copied, &m_bCancel)) {
        Log(g_convertLog, "Error : DumptoMiddleFile, copy file to destination failed, code=%d", errno);
        input = src; // the argument vector carries the original name safely as well
    }

    int ret = 0;
    CCommandLine cmd;
    int kind = PK_NONE;
    const char* label = "";
    std::string format = ToLower(srcMi.strFormat[MI_GENERAL]);
    if (format != "bdav" && format != "mpeg-ts") {
        if (!FileExists(m_options.strMencoderPath)) {
            ret = CV_NO_MIDDLE_TOOL;
        } else {
            MiData target = srcMi;
            ret = MkDestMiData(&target, 2);
            if (ret == 0) {
                *middle = JoinPath(m_strOutFolder, "middle.avi");
                int srate = target.nSamplingRate > 7999 ? target.nSamplingRate : 44100;
                int channels = target.nChannels > 0 ? target.nChannels : 2;
                cmd = MakeMencoderCommand(m_options.strMencoderPath, input, *middle, channels, srate,
                                          target.fFrameRate, target.nBitRate[MI_VIDEO] / 1024,
                                          srcMi.fFrameRate);
                kind = PK_MENCODER;
                label = "AVI";
            }
        }
    } else if (!FileExists(m_options.strTsMuxerPath)) {
        ret = CV_NO_MIDDLE_TOOL;
    } else {
        FILE* f = OpenFile(meta, "wb");
        if (!f) {
            Log(g_convertLog, "Error : dump to TS, but create meta file(%s) failed, code=%d", meta.c_str(),
                errno);
            ret = CV_STEP_FAILED;
        } else {
            std::string text = MakeTsMetaText(input, srcMi.fFrameRate);
            if (Stopped() || fwrite(text.data(), 1, text.size(), f) != text.size()) {
                if (!Stopped())
                    Log(g_convertLog, "Error : dump to TS, but write meta file failed, code=%d", errno);
                ret = CV_STEP_FAILED;
            }
            if (fclose(f) != 0)
                Log(g_convertLog, "Warning : dump to TS, but close meta file failed, code=%d", errno);
        }
        if (ret == 0) {
            *middle = JoinPath(m_strOutFolder, "middle.ts");
            cmd = MakeTsMuxerCommand(m_options.strTsMuxerPath, meta, *middle);
            kind = PK_TSMUXER;
            label = "TS";
        }
    }

    if (ret == 0 && Stopped())
        ret = CV_STEP_FAILED;
    if (ret == 0) {
        SetRoute(std::string("middle-") + label);
        LogText(g_convertLog,
                std::string("Info : DumptoMiddleFile to (") + label + "), cmdLine:(" + cmd.Text() + ") ");
        DeleteFileIfAny(*middle);
        if (!CreateConvertProcess(kind, cmd)) {
            ret = CV_STEP_FAILED;
        } else {
            int status = 0;
            if (!ProbeFile(*middle, middleMi, &status)) {
                Log(g_convertLog,
                    "Error : dump to middle file success, but get the media information failed! code=%d",
                    status);
                ret = CV_STEP_FAILED;
            }
        }
    }
    DeleteFileIfAny(meta);
    DeleteFileIfAny(copied);
    if (ret != 0 && !middle->empty()) {
        DeleteFileIfAny(*middle);
        middle->clear();
    }
    return ret;
}

int CConvertThread::AddMetaTag()
{
    Log(g_convertLog, "Info : add meta tag start");
    const std::string tagged = JoinPath(m_strOutFolder, "tag.copy.flv");
    const std::string copy = JoinPath(m_strOutFolder, "copy.flv");
    DeleteFileIfAny(tagged);
    DeleteFileIfAny(copy);
    std::string input = copy;
    if (rename(m_strOutFile.c_str(), copy.c_str()) != 0) {
        Log(g_convertLog,
            "Error: do add tag, rename the file failed, code=%d, now use the output name. code=%d  "
            "oldname(%s), "
            "newname(%s)",
            0, errno, m_strOutFile.c_str(), copy.c_str());
        input = m_strOutFile;
    }
    const std::tm tm = LocalTimeNow();
    CCommandLine cmd = MakeTagCommand(m_options.strYamdiPath, input, tagged, tm);
    if (Stopped() || !CreateConvertProcess(PK_NONE, cmd)) {
        // Put the untagged output back, so a failed step leaves no stray copy behind.
        if (input == copy)
            rename(copy.c_str(), m_strOutFile.c_str());
        DeleteFileIfAny(tagged);
        return CV_STEP_FAILED;
    }
    AfterStep("tag");
    MiData mi;
    int status = 0;
    bool ok = ProbeFile(tagged, &mi, &status);
    if (!ok)
        Log(g_convertLog, "Error : do add tag, file(%s) Get MediaInfo failed, code=%d", tagged.c_str(),
            status);
    else if (mi.strEncodedApp.find(kProgramTag) == std::string::npos)
        ok = false;
    // The player sizes the picture and seeks by this metadata: a file whose metadata is
    // incomplete or does not match it is no finished conversion.
    int ret = ok ? 0 : static_cast<int>(CV_STEP_FAILED);
    if (ok && !Stopped()) {
        const std::string fault = CheckFlvMetadata(tagged, mi.ucVideoCount > 0);
        if (!fault.empty()) {
            LogText(g_convertLog, "Error : do add tag, file(" + tagged + ") metadata check failed: " + fault);
            ret = CV_BAD_METADATA;
        }
    }
    // A stop that lands after the tagger has finished still ends the run as stopped: the
    // working copies go, and the run cleans up like any other stopped one.
    if (ret != 0 || Stopped()) {
        DeleteFileIfAny(tagged);
        DeleteFileIfAny(copy);
        return Stopped() ? static_cast<int>(CV_STEP_FAILED) : ret;
    }
    DeleteFileIfAny(copy);
    if (rename(tagged.c_str(), m_strOutFile.c_str()) != 0) {
        Log(g_convertLog, "Error : do add tag, rename the file failed, ret=%d, now use the temp file", errno);
        m_strOutFile = tagged;
    }
    m_nProgress = 100;
    Log(g_convertLog, "Info : add meta tag end");
    return 0;
}

} // namespace vx
