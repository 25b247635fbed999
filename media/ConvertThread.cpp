#include "media/ConvertThread.h"

#include "app/LogFile.h"
#include "app/Utils.h"
#include "media/DestMiData.h"
#include "media/RateControl.h"
#include "platform/FileCheck.h"
#include "platform/FileOps.h"
#include "platform/Paths.h"

#include <cerrno>

namespace vx {

namespace {

bool EqualsNoCase(const std::string& a, const char* b)
{
    return ToLower(a) == ToLower(b);
}

std::string BaseName(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The output's name: the source's name plus the suffix, cut where the file system's limit
// demands. The stem gives way first (at a character boundary), so the source's extension and
// the suffix stay readable; the encoders would otherwise fail on a name they cannot create.
std::string FitFileName(const std::string& name, const std::string& suffix, size_t maxBytes)
{
    if (name.size() + suffix.size() <= maxBytes)
        return name + suffix;
    std::string stem = name, ext;
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0 && name.size() - dot <= 16) {
        stem = name.substr(0, dot);
        ext = name.substr(dot);
    }
    size_t fixed = ext.size() + suffix.size();
    size_t room = maxBytes > fixed ? maxBytes - fixed : 0;
    if (room < stem.size()) {
        stem.resize(room);
        // Drop a partial UTF-8 sequence at the cut.
        size_t lead = stem.size();
        while (lead > 0 && (static_cast<unsigned char>(stem[lead - 1]) & 0xC0) == 0x80)
            --lead;
        if (lead > 0 && (static_cast<unsigned char>(stem[lead - 1]) & 0x80)) {
            unsigned char c = static_cast<unsigned char>(stem[lead - 1]);
            size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            if (stem.size() - (lead - 1) < need)
                stem.resize(lead - 1);
        }
        if (stem.empty())
            stem = "file";
    }
    return stem + ext + suffix;
}

// A file index names a sub-folder of OUTPATH: it must stay one plain folder name.
bool IsPlainFolderName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

} // namespace

CConvertThread::CConvertThread(uint8_t index, uint64_t affinityMask, ConvertReportFn report)
    : m_nIndex(index), m_uMask(affinityMask), m_fnReport(std::move(report))
{
}

CConvertThread::~CConvertThread()
{
    m_bTerminate = true;
    m_bCancel = true;
    Join();
}

int CConvertThread::Assign(const _sConvertTask& task, const _sConvertOptions& options)
{
    if (m_bBusy.load() || IsRunning())
        return CV_WORKER_BUSY;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_task = task;
        m_options = options;
        m_runInfo = ConvertRunInfo();
        m_bTerminate = false;
        m_bCancel = false;
        m_bBusy = true;
    }
    m_nProgress = 0;
    const MiData& mi = task.miData;
    Log(g_convertLog,
        "Info : file(%s), duraion=%d, v_duration=%d, a_duration:%d, size(%dX%d), br=%d, v_br=%d, a_br=%d, "
        "fps=%f, channel=%d",
        task.strSrcPath.c_str(), mi.nDuration[MI_GENERAL], mi.nDuration[MI_VIDEO], mi.nDuration[MI_AUDIO],
        mi.nWidth, mi.nHeight, mi.nBitRate[MI_GENERAL], mi.nBitRate[MI_VIDEO], mi.nBitRate[MI_AUDIO],
        static_cast<double>(mi.fFrameRate), mi.nChannels);
    if (!Start()) {
        m_bBusy = false;
        return CV_WORKER_BUSY;
    }
    return 0;
}

void CConvertThread::RequestStop()
{
    m_bTerminate = true;
    m_bCancel = true;
}

void CConvertThread::StopEx()
{
    Log(g_convertLog, "Info : StopEx, index=%d, time=%u", m_nIndex, 4294967295u);
    RequestStop();
    Join();
    Log(g_convertLog, "Info : StopEx end, index=%d, time=%u", m_nIndex, 4294967295u);
}

bool CConvertThread::RequestStopFor(const std::string& fileIndex)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_bBusy.load() || m_task.strFileIndex != fileIndex)
        return false;
    m_bTerminate = true;
    m_bCancel = true;
    return true;
}

bool CConvertThread::IsBusyWith(const std::string& fileIndex) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_bBusy.load() && m_task.strFileIndex == fileIndex;
}

std::string CConvertThread::FileIndex() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_task.strFileIndex;
}

ConvertRunInfo CConvertThread::LastRunInfo() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_runInfo;
}

void CConvertThread::SetRoute(const std::string& route)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_runInfo.strRoute = route;
}

void CConvertThread::Report(int8_t code, uint8_t value, const std::string& outPath)
{
    _sConvertReport r;
    r.strFileIndex = m_task.strFileIndex;
    r.strOutPath = outPath;
    r.nCode = code;
    r.nValue = value;
    r.pWorker = code == CR_WORKER_DONE ? this : nullptr;
    if (m_fnReport)
        m_fnReport(this, std::move(r));
}

void CConvertThread::ReportProgress()
{
    if (!Stopped())
        Report(CR_PROGRESS, m_nProgress);
}

void CConvertThread::Process()
{
    Log(g_convertLog, "Info : start convert, file(%s)", m_task.strSrcPath.c_str());
    m_strOutFile.clear();
    m_strOutFolder.clear();
    m_nProgress = 0;
    ReportProgress();

    int r = CheckAndInitialize();
    int result;
    if (Stopped()) {
        result = CV_FAILED;
    } else {
        Log(g_convertLog, "Info : Check and Initialize result=%d ", r);
        if (r < 0)
            result = r;
        else if (r > 0)
            result = DealSrcFile(r);
        else
            result = Convert();
    }
    // A stopped run never counts as done, whatever step it had reached: it reports nothing and
    // leaves nothing behind.
    if (result == CV_STEP_FAILED || result == CV_CRF_AT_LIMIT || result == CV_WORKER_BUSY || Stopped())
        result = CV_FAILED;
    // An encoder that ran out of disk only says it failed: the disk tells why (looked at before
    // the half-made files below are removed and free some of it again).
    if (!Stopped() && WritesFailed(result) && OutputDiskFull())
        result = CV_DISK_FULL;
    if (!Stopped())
        Report(static_cast<int8_t>(result), m_nProgress, result == CR_SUCCESS ? m_strOutFile : std::string());
    if (result != CR_SUCCESS && !m_strOutFolder.empty()) {
        // A failed or stopped run leaves nothing half-made behind; the folder goes when empty.
        for (const char* name :
             {"predict.flv", "copy.flv", "tag.copy.flv", "middle.avi", "middle.ts", "middle.meta"})
            RemoveFileIfAny(JoinPath(m_strOutFolder, name));
        RemoveFileIfAny(MiddleSourcePath());
        const bool isSource = IsSameFile(m_strOutFile, m_task.strSrcPath);
        if (!m_strOutFile.empty() && !isSource)
            RemoveFileIfAny(m_strOutFile);
        RemoveEmptyFolder(m_strOutFolder);
    }
    Log(g_convertLog, "Info : convert thread end, index=%d, mask=%d", m_nIndex, static_cast<int>(m_uMask));
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_bBusy = false;
    }
    Report(CR_WORKER_DONE, m_nProgress);
}

bool CConvertThread::WritesFailed(int result)
{
    return result == CV_FAILED || result == CV_NO_OUTPUT || result == CV_CHECK_FAILED ||
           result == CV_COPY_FAILED || result == CV_MKDIR_FAILED;
}

bool CConvertThread::OutputDiskFull() const
{
    // Less than this is full for an encoder: its next write of a frame or an index fails.
    constexpr int64_t kFullBelowBytes = 1 << 20;
    const std::string& folder = m_strOutFolder.empty() ? m_options.OUTPATH : m_strOutFolder;
    if (folder.empty())
        return false;
    const int64_t free = FreeDiskSpace(DirExists(folder) ? folder : m_options.OUTPATH);
    return free >= 0 && free < kFullBelowBytes;
}

std::string CConvertThread::MiddleSourcePath() const
{
    // The middle tools may go by the extension; one too long for a file name is left off.
    std::string ext = GetFileExt(m_task.strSrcPath);
    if (ext.size() > 16 || ext.find('/') != std::string::npos)
        ext.clear();
    return JoinPath(m_strOutFolder, "middle.src" + ext);
}

int CConvertThread::CheckAndInitialize()
{
    const _sConvertOptions& o = m_options;
    const MiData& mi = m_task.miData;
    if (!FileExists(o.strFfmpegPath) || !FileExists(o.strYamdiPath) ||
        (mi.ucVideoCount == 0 && !FileExists(o.strAudioBkImage)))
        return CV_NO_TOOLS;
    if (o.nCodecMod != CODEC_VBR && o.nCodecMod != CODEC_CBR)
        return CV_BAD_CODEC_MODE;
    if (o.OUTPATH.empty())
        return CV_NO_OUTPATH;
    if (!DirExists(o.OUTPATH) && !MakeDirs(o.OUTPATH)) {
        Log(g_log,
            "Error : FilePath:%s Create dir  failed-code:%d ,please check  Administrator privileges and the  "
            "disk "
            "is enough,",
            o.OUTPATH.c_str(), errno);
        return CV_MKDIR_FAILED;
    }
    // The index becomes a folder name: anything but one plain name would write elsewhere.
    if (!IsPlainFolderName(m_task.strFileIndex))
        return CV_BAD_PATH;
    m_strOutFolder = JoinPath(o.OUTPATH, m_task.strFileIndex);
    if (!DirExists(m_strOutFolder) && !MakeDirs(m_strOutFolder)) {
        Log(g_log,
            "Error :FilePath:%s Create dir  failed-code:%d ,please check  Administrator privileges and the  "
            "disk "
            "is enough",
            m_strOutFolder.c_str(), errno);
        return CV_MKDIR_FAILED;
    }

    const std::string& src = m_task.strSrcPath;
    if (src.empty())
        return CV_BAD_PATH;
    switch (CheckRegularFile(src)) {
    case RegularFileState::Missing:
        return CV_NOT_FOUND;
    case RegularFileState::NotRegular:
        return CV_BAD_PATH;
    case RegularFileState::Regular:
        break;
    }

    const std::string suffix = mi.ucVideoCount > 0 ? ".asc.flv" : ".audioc.flv";
    const size_t nameMax = static_cast<size_t>(MaxFileNameBytes(m_strOutFolder));
    m_strOutFile = JoinPath(m_strOutFolder, BaseName(src));

    if (ToLower(GetFileExt(src)) == ".flv" && EqualsNoCase(mi.strFormat[MI_GENERAL], "Flash Video")) {
        MiData dst = mi;
        if (MkDestMiData(&dst, 1) == 0 && IsCompatible(mi, dst)) {
            if (mi.strEncodedApp.find(kProgramTag) == std::string::npos) {
                Log(g_convertLog, "Info : file(%s) just need to add tag ", src.c_str());
                m_strOutFile = JoinPath(m_strOutFolder, FitFileName(BaseName(src), suffix, nameMax));
                return kNeedsTagOnly;
            }
            Log(g_convertLog, "Info : file(%s) has a tag ,no need to add tag ", src.c_str());
            m_strOutFile = JoinPath(m_strOutFolder, FitFileName(BaseName(src), "", nameMax));
            return kAlreadyTagged;
        }
    }
    m_strOutFile = JoinPath(m_strOutFolder, FitFileName(BaseName(src), suffix, nameMax));
    if (mi.ucAudioCount == 0 && mi.ucVideoCount == 0)
        return CV_NO_STREAMS;
    if (mi.bEncrypted)
        return CV_ENCRYPTED;
    return 0;
}

bool CConvertThread::HasFlvCodecs(const MiData& mi)
{
    if (mi.ucVideoCount > 0) {
        std::string codec = ToLower(mi.strVideoCodec);
        if (codec != "avc" && codec != "x264" && codec != "h264")
            return false;
    }
    return mi.ucAudioCount == 0 || ToLower(mi.strAudioCodec).find("aac") != std::string::npos;
}

bool CConvertThread::IsCompatible(const MiData& src, const MiData& dst)
{
    Log(g_convertLog, "Info : the format profile is (%s)", src.strFormatProfile.c_str());
    if (!HasFlvCodecs(src) || IsHighBitDepthProfile(src.strFormatProfile))
        return false;
    return src.nBitRate[MI_VIDEO] > 0 && src.nBitRate[MI_VIDEO] <= 1.2 * dst.nBitRate[MI_VIDEO];
}

int CConvertThread::MkDestMiData(MiData* dst, int type)
{
    return MakeDestMiData(m_task.miData, m_options, m_task.strFileIndex, dst, type);
}

} // namespace vx
