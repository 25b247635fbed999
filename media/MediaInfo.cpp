#include "media/MediaInfo.h"

#include "app/Utils.h"
#include "platform/Env.h"
#include "platform/Paths.h"
#include "platform/SharedLibrary.h"
#include "platform/Utf8.h"

#include <climits>
#include <cstdlib>
#include <mutex>

namespace vx {
namespace {

// The library's flat wide-character interface (wchar_t as the library has it: UTF-32 on Linux,
// UTF-16 on Windows).
using FnNew = void* (*)();
using FnDelete = void (*)(void*);
using FnOpen = size_t (*)(void*, const wchar_t*);
using FnClose = void (*)(void*);
using FnGet = const wchar_t* (*)(void*, int, size_t, const wchar_t*, int, int);
using FnCountGet = size_t (*)(void*, int, size_t);
using FnOption = const wchar_t* (*)(void*, const wchar_t*, const wchar_t*);

struct Library
{
    std::mutex lock;
    CSharedLibrary module;
    bool bound = false;
    FnNew pNew = nullptr;
    FnDelete pDelete = nullptr;
    FnOpen pOpen = nullptr;
    FnClose pClose = nullptr;
    FnGet pGet = nullptr;
    FnCountGet pCountGet = nullptr;
    FnOption pOption = nullptr;
    std::string version;
};

Library& Lib()
{
    static Library lib;
    return lib;
}

constexpr int kInfoText = 1;   // value as text
constexpr int kSearchName = 0; // parameter given by name

// Leading decimal integer of a library text ("60000.5" -> 60000); 0 when there is none.
int64_t LeadingInt64(const std::string& text)
{
    return strtoll(text.c_str(), nullptr, 10); // saturates on overflow
}

int32_t LeadingInt32(const std::string& text)
{
    int64_t v = LeadingInt64(text);
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

} // namespace

bool CMediaInfo::BindLibrary()
{
    Library& lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    if (lib.bound)
        return true;
    std::string name = GetEnvVar("VEXORA_MEDIAINFO_LIB");
    if (name.empty())
        name = kLibraryName;
#ifdef _WIN32
    // Beside the program, never wherever the search order of the system would find one.
    if (!IsAbsolutePath(name))
        name = GetProgramFolder() + name;
#endif
    CSharedLibrary& module = lib.module;
    if (!module.Open(name))
        return false;
    auto sym = [&module](const char* s) { return module.Symbol(s); };
    lib.pNew = reinterpret_cast<FnNew>(sym("MediaInfo_New"));
    lib.pDelete = reinterpret_cast<FnDelete>(sym("MediaInfo_Delete"));
    lib.pOpen = reinterpret_cast<FnOpen>(sym("MediaInfo_Open"));
    lib.pClose = reinterpret_cast<FnClose>(sym("MediaInfo_Close"));
    lib.pGet = reinterpret_cast<FnGet>(sym("MediaInfo_Get"));
    lib.pCountGet = reinterpret_cast<FnCountGet>(sym("MediaInfo_Count_Get"));
    lib.pOption = reinterpret_cast<FnOption>(sym("MediaInfo_Option"));
    if (!lib.pNew || !lib.pDelete || !lib.pOpen || !lib.pClose || !lib.pGet || !lib.pCountGet) {
        module.Close();
        return false;
    }
    if (lib.pOption) {
        // Recent versions answer "Codec" only in legacy mode; the conversion relies on it.
        lib.pOption(nullptr, L"Legacy", L"1");
        // Never let a path that looks like an address reach out to the network.
        lib.pOption(nullptr, L"Internet", L"No");
        const wchar_t* v = lib.pOption(nullptr, L"Info_Version", L"");
        lib.version = v ? WideToUtf8(v) : std::string();
    }
    lib.bound = true; // published last: a bound library is complete
    return true;
}

bool CMediaInfo::IsLibraryBound()
{
    Library& lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    return lib.bound;
}

std::string CMediaInfo::LibraryVersion()
{
    Library& lib = Lib();
    std::lock_guard<std::mutex> guard(lib.lock);
    return lib.version;
}

CMediaInfo::CMediaInfo(const std::string& path) : m_strPath(path)
{
    if (BindLibrary())
        m_hHandle = Lib().pNew();
    m_nStatus = MI_NOT_PROBED;
    Probe();
}

CMediaInfo::~CMediaInfo()
{
    if (m_hHandle) {
        if (m_bOpen)
            Lib().pClose(m_hHandle);
        Lib().pDelete(m_hHandle);
    }
}

int CMediaInfo::GetMiData(MiData* out)
{
    if (m_nStatus == MI_OK && out)
        *out = m_miData;
    if (m_hHandle && m_bOpen) {
        Lib().pClose(m_hHandle);
        m_bOpen = false;
    }
    return m_nStatus;
}

std::string CMediaInfo::GetText(int streamKind, const char* parameter) const
{
    if (!m_hHandle)
        return kUnableText;
    std::wstring name = Utf8ToWide(parameter);
    // The returned text lives in a buffer the next call overwrites: copy it at once.
    const wchar_t* v = Lib().pGet(m_hHandle, streamKind, 0, name.c_str(), kInfoText, kSearchName);
    return v ? WideToUtf8(v) : std::string();
}

size_t CMediaInfo::StreamCount(int streamKind) const
{
    return m_hHandle ? Lib().pCountGet(m_hHandle, streamKind, static_cast<size_t>(-1)) : 0;
}

void CMediaInfo::Probe()
{
    if (m_strPath.empty()) {
        m_nStatus = MI_EMPTY_PATH;
        return;
    }
    // Only regular files are handed to the library: given a folder it would scan the whole tree,
    // a device or pipe could be read without end, and an address-like text is not a local file.
    if (!m_hHandle || !FileExists(m_strPath)) {
        m_nStatus = MI_OPEN_FAILED;
        return;
    }
    std::wstring wpath = Utf8ToWide(m_strPath);
    if (Lib().pOpen(m_hHandle, wpath.c_str()) == 0) {
        m_nStatus = MI_OPEN_FAILED;
        return;
    }
    m_bOpen = true;

    size_t audio = StreamCount(MI_AUDIO);
    size_t video = StreamCount(MI_VIDEO);
    m_miData.ucAudioCount = static_cast<uint8_t>(audio > 255 ? 255 : audio);
    m_miData.ucVideoCount = static_cast<uint8_t>(video > 255 ? 255 : video);
    if (audio == 0 && video == 0) {
        m_nStatus = MI_NO_STREAMS;
        return;
    }
    if (!GetText(MI_GENERAL, "Encryption").empty())
        m_miData.bEncrypted = true;
    std::string size = GetText(MI_GENERAL, "FileSize");
    if (size.empty()) {
        m_nStatus = MI_NO_FILESIZE;
        return;
    }
    m_miData.i64FileSize = LeadingInt64(size);

    // An empty text keeps the field's initial value.
    auto readInt = [this](int kind, const char* name, int32_t* field) {
        std::string t = GetText(kind, name);
        if (!t.empty())
            *field = LeadingInt32(t);
    };
    auto readText = [this](int kind, const char* name, std::string* field) {
        std::string t = GetText(kind, name);
        if (!t.empty())
            *field = t;
    };
    for (int k = MI_GENERAL; k <= MI_AUDIO; ++k)
        readInt(k, "Duration", &m_miData.nDuration[k]);
    for (int k = MI_GENERAL; k <= MI_AUDIO; ++k)
        readInt(k, "BitRate", &m_miData.nBitRate[k]);
    readInt(MI_VIDEO, "Width", &m_miData.nWidth);
    readInt(MI_VIDEO, "Height", &m_miData.nHeight);
    std::string fps = GetText(MI_VIDEO, "FrameRate");
    if (!fps.empty())
        m_miData.fFrameRate = strtof(fps.c_str(), nullptr);
    readInt(MI_AUDIO, "Channels", &m_miData.nChannels);
    readInt(MI_AUDIO, "SamplingRate", &m_miData.nSamplingRate);
    for (int k = MI_GENERAL; k <= MI_AUDIO; ++k)
        readText(k, "Format", &m_miData.strFormat[k]);
    readText(MI_VIDEO, "Codec", &m_miData.strVideoCodec);
    std::string acodec = GetText(MI_AUDIO, "Codec");
    if (!acodec.empty())
        m_miData.strAudioCodec = ToLower(acodec);
    readText(MI_VIDEO, "ScanType", &m_miData.strScanType);
    readText(MI_GENERAL, "Encoded_Application", &m_miData.strEncodedApp);
    readText(MI_VIDEO, "BitRate_Mode/String", &m_miData.strBitRateMode);
    readText(MI_VIDEO, "FrameRate_Mode/String", &m_miData.strFrameRateMode);
    std::string profile = Trim(GetText(MI_VIDEO, "Format_Profile"));
    if (!profile.empty())
        m_miData.strFormatProfile = ToLower(profile);
    m_nStatus = MI_OK;
}

} // namespace vx
