#pragma once
// Media properties of one file as the probe reports them. Copied by value everywhere; a new
// record has every number zero and every text empty. Index 0/1/2 of the per-stream arrays is
// General/Video/Audio.

#include <cstdint>
#include <string>

namespace vx {

enum MiStream : int
{
    MI_GENERAL = 0,
    MI_VIDEO = 1,
    MI_AUDIO = 2
};

struct MiData
{
    int64_t i64FileSize = 0;      // General FileSize, bytes
    bool bEncrypted = false;      // General Encryption is non-empty
    int32_t nDuration[3] = {};    // Duration, ms
    int32_t nBitRate[3] = {};     // BitRate, bit/s
    int32_t nWidth = 0;           // Video Width
    int32_t nHeight = 0;          // Video Height
    float fFrameRate = 0.0f;      // Video FrameRate
    int32_t nChannels = 0;        // Audio Channels
    int32_t nSamplingRate = 0;    // Audio SamplingRate, Hz
    uint8_t ucAudioCount = 0;     // number of Audio streams
    uint8_t ucVideoCount = 0;     // number of Video streams
    std::string strFormat[3];     // Format: container, video, audio ("Flash Video", "AVC", "BDAV" ...)
    std::string strVideoCodec;    // Video Codec, as returned
    std::string strAudioCodec;    // Audio Codec, lower case
    std::string strScanType;      // Video ScanType ("Interlaced" matters)
    std::string strEncodedApp;    // General Encoded_Application
    std::string strBitRateMode;   // Video BitRate_Mode/String ("Variable" matters)
    std::string strFrameRateMode; // Video FrameRate_Mode/String
    std::string strFormatProfile; // Video Format_Profile, trimmed and lower case

    bool operator==(const MiData&) const = default;
};

} // namespace vx
