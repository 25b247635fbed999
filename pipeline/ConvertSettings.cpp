#include "pipeline/ConvertSettings.h"

#include "app/LogFile.h"
#include "media/MediaMessages.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>

namespace vx {

int DefaultConvertCount(int stored, int cpuCount)
{
    const int n = std::max(1, cpuCount);
    if (stored > n)
        return 1;
    if (stored >= 1)
        return std::min(stored, 255);
    if (n <= 2)
        return 1;
    if (n <= 4)
        return 2;
    if (n <= 8)
        return 4;
    return 1;
}

uint8_t CodecModeOf(const CAppConfig& config, const _sSetData& options)
{
    if (config.m_nCodecOption == 1 && options.nFileConvertType == 0)
        return CODEC_VBR;
    return CODEC_CBR;
}

std::string PrepareAudioBkImage(const std::string& programFolder)
{
    const std::string shipped = JoinPath(programFolder, "AudioBkImage/audiobackground.png");
    const std::string folder = JoinPath(GetDataFolder(), "AudioBkImage");
    const std::string target = JoinPath(folder, "audiobackground.png");
    if (!DirExists(folder) && !MakeDirs(folder)) {
        Log(g_log, "Error : Create bkimage path failed! %s   ErrorCode : %d", folder.c_str(), errno);
        return shipped;
    }
    if (FileExists(target))
        return target;
    if (!CopyFileReplace(shipped, target)) {
        Log(g_log, "Info : InItTaskS --CopyFile fail   %s ", target.c_str());
        return shipped;
    }
    return target;
}

int8_t NicenessOf(int priorityLevel)
{
    return priorityLevel <= 0 ? 0 : priorityLevel == 1 ? 10 : 19;
}

_sConvertInit BuildConvertInit(const CAppConfig& config, const _sSetData& options, MsgTarget window,
                               const std::string& outPath, const std::string& programFolder)
{
    const std::string program = programFolder.empty() ? GetProgramFolder() : programFolder;
    _sConvertInit init;
    std::string out = outPath.empty() ? options.strConvertPath : outPath;
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    const std::string codecs = JoinPath(program, "codecs");
    init.options.OUTPATH = out;
    init.options.strFfmpegPath = JoinPath(codecs, "ffmpeg");
    init.options.strYamdiPath = JoinPath(codecs, "Yamdi-Extend");
    init.options.strTsMuxerPath = JoinPath(codecs, "tsMuxeR");
    init.options.strMencoderPath = JoinPath(codecs, "mencoder");
    init.options.strAudioBkImage = PrepareAudioBkImage(program);
    init.options.nVideoSizeOp = static_cast<uint8_t>(std::clamp(options.nVideoConvertType + 1, 1, 5));
    init.options.nCodecMod = CodecModeOf(config, options);
    init.options.nNice = NicenessOf(options.nPriortyLevel);
    Log(g_log, "Info : coderoption:%d", config.m_nCodecOption);
    // Without a default size of its own the user gets the common 4:3 picture.
    init.options.unRc[0] = options.nUnkConvertWidth > 0 ? options.nUnkConvertWidth : 640;
    init.options.unRc[1] = options.nUnkConvertHeight > 0 ? options.nUnkConvertHeight : 480;
    init.MAX = static_cast<uint8_t>(DefaultConvertCount(options.nConvertMax, config.m_nCpuCount));
    init.hWnd = window;
    init.uMsgId = WM_CONVERT_RESULT;
    return init;
}

} // namespace vx
