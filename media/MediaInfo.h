#pragma once
// One probe of one file with the MediaInfo library: the constructor opens the file, reads the
// fixed list of properties into a MiData and sets the probe status; GetMiData hands the result
// over. The library is loaded at run time on first use, so a machine without it still runs:
// every probe then fails with status 2.

#include "store/MiData.h"

#include <string>

namespace vx {

// Probe status values.
enum : int
{
    MI_NOT_PROBED = -1, // set before probing
    MI_OK = 0,          // result complete
    MI_EMPTY_PATH = 1,  // the path is empty
    MI_OPEN_FAILED = 2, // the library could not open the file, or is not loaded
    MI_NO_FILESIZE = 3, // the General stream has no FileSize
    MI_NO_STREAMS = 6   // neither an audio nor a video stream
};

class CMediaInfo
{
public:
    // Binds the library when it is not bound yet, then probes path at once.
    explicit CMediaInfo(const std::string& path);
    ~CMediaInfo();
    CMediaInfo(const CMediaInfo&) = delete;
    CMediaInfo& operator=(const CMediaInfo&) = delete;

    // Copies the result into *out when the status is MI_OK (out may be null); in every case
    // closes the file. Returns the probe status.
    int GetMiData(MiData* out);

    int Status() const { return m_nStatus; }
    const std::string& Path() const { return m_strPath; }
    const MiData& Result() const { return m_miData; }

    // The library's own texts: one parameter of one stream (kind 0 General, 1 Video, 2 Audio),
    // stream number 0; empty when absent. Valid until GetMiData closes the file. Without a
    // handle the text is kUnableText.
    std::string GetText(int streamKind, const char* parameter) const;

    // Loads the library when it is not loaded yet; a failed load is tried again next time.
    // The file name is "libmediainfo.so.0" unless $VEXORA_MEDIAINFO_LIB names another.
    static bool BindLibrary();
    static bool IsLibraryBound();
    // The library's version text ("MediaInfoLib - v23.04"), empty when not bound.
    static std::string LibraryVersion();

#ifdef _WIN32
    static constexpr const char* kLibraryName = "MediaInfo.dll";
#else
    static constexpr const char* kLibraryName = "libmediainfo.so.0";
#endif
    static constexpr const char* kUnableText = "Unable to load libmediainfo.so.0";

private:
    void Probe();
    size_t StreamCount(int streamKind) const;

    void* m_hHandle = nullptr; // library handle, null when the library is unavailable
    std::string m_strPath;
    int m_nStatus = MI_NOT_PROBED;
    MiData m_miData;
    bool m_bOpen = false;
};

} // namespace vx
