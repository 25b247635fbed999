#pragma once
// One course file: a local file that the user handed over, from adding until deletion. Plain
// value type: copies own their texts. Stored as one row of table coursefile (CLocalDb).

#include "store/CourseStatus.h"
#include "store/MiData.h"

#include <cstdint>
#include <string>

namespace vx {

struct _sLCItemData
{
    int64_t i64FileId = 0;    // id the file server gave the upload; 0 until known
    int64_t i64DirId = 0;     // remote folder that receives the file; <= 0: none known yet
    int64_t i64FileStart = 0; // bytes of the upload file the server has accepted
    int64_t i64FileEnd = 0;   // length of the upload file (set by the digest step)
    int64_t i64FileSize = 0;  // length of the source file
    int32_t nEnabled = 0;     // 0 for every record we create; only 0 is loaded
    int32_t nFileBits = 0;    // overall source bit rate, kbit/s
    int32_t nSpeed = 0;       // upload speed, bytes/s (display only, not stored)
    int32_t nFileType = 0;    // 0 audio or video, 1 document (.pdf/.swf)
    int32_t nStatus = CS_WAIT_MEDIAINFO;
    int32_t nProgress = 0; // percent of the current stage (not stored)
    int32_t nWidth = 0;
    int32_t nHeight = 0;
    std::string strFileName;    // name part of strFilePath
    std::string strConvertName; // name part of strConvertPath (not stored)
    std::string strMd5;         // digest text of the upload file
    std::string strFilePath;    // the source file
    std::string strConvertPath; // the file to upload: converted output or copied document
    std::string strFileIndex;   // key of the course file (NewFileIndex)
    std::string strModifyTime;  // local time the conversion finished, "%4d-%02d-%02d %2d:%02d:%02d"
    int32_t nMediaError = 0;    // -1 after a failed probe (not stored)
    MiData miData;              // probe result; general duration and bit rate are stored
    int32_t nTransTimes = 0;    // hand-overs to the transfer manager since the user's last start

    bool operator==(const _sLCItemData&) const = default;

    // The record as a restart sees it: the status folded back to the last safe point and the
    // stage progress cleared for records that go back to probing.
    void FoldBackForLoad()
    {
        const int32_t folded = FoldBackStatus(nStatus);
        if (folded == CS_WAIT_MEDIAINFO)
            nProgress = 0;
        nStatus = folded;
    }
};

} // namespace vx
