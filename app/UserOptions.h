#pragma once
// The user's working options (one row of table setdata per user), held by CAppConfig and
// edited in the settings windows. Values here are the ones before anything was stored.

#include <cstdint>
#include <string>

namespace vx {

// Bits of the options word (_sSetData::nUinfo), shared by the settings windows, the pipeline
// and the main window.
enum SetDataFlag : int
{
    kOptAutoPowerOff = 0x02, // shut down when all uploads have finished
    kOptAutoShutdown = 0x02, // the same bit, as the pipeline names it
    kOptExitApp = 0x04,      // closing the main window ends the program
    kOptAutoDelete = 0x08,   // delete the conversion output after the upload
    kOptUnknownSize = 0x10,  // scale videos of unknown size
    kOptTimeStamp = 0x20,    // converted names carry a date stamp instead of the suffix
    kOptStartSetDone = 0x80, // the start-up settings window is not shown again
    kOptShowMin = 0x100,     // closing the main window hides it
};

// The message that tells the main window the options were saved (WM_USER + 2012); wParam is
// the set of what changed (0x01 conversion settings, 0x02 uploads at once).
constexpr uint32_t WM_SET_INFO_DATA = 1024 + 2012; // 3036

struct _sSetData
{
    int nUinfo = 288; // flags word, 0x120
    std::string strConvertPath;
    int nConvertMax = -1;
    int nPriortyLevel = 0;
    int nVideoConvertType = 0;
    int nVideoConvertWidth = 0;
    int nVideoConvertHeight = 0;
    int nUnkVideoConvertType = -1;
    int nUnkConvertWidth = 0;
    int nUnkConvertHeight = 0;
    int nUploadMax = 2;
    std::string strTimeStamp;
    int nFileConvertType = 0;

    bool operator==(const _sSetData&) const = default;
};

} // namespace vx
