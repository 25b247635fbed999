#pragma once
// The user's working options (one row of table setdata per user), held by CAppConfig and
// edited in the settings windows. Values here are the ones before anything was stored.

#include <cstdint>
#include <string>

namespace vx {

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
