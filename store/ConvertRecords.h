#pragma once
// What the main window, the convert manager and its conversion workers hand each other. All
// plain values copied between threads; a report travels to the window inside a
// std::unique_ptr (message payload) and is freed by whoever holds it last.

#include "platform/MessageLoop.h"
#include "store/MiData.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vx {

class CThread;

// One file to convert, built from the course record by the window.
struct _sConvertTask
{
    std::string strSrcPath;   // the course file (strFilePath)
    std::string strFileIndex; // the record's key
    MiData miData;            // probe result of the source

    bool operator==(const _sConvertTask&) const = default;
};

enum ConvertCodecMode : uint8_t
{
    CODEC_VBR = 1, // CRF with a predicted quality value
    CODEC_CBR = 2  // fixed bit rate
};

// Fixed per manager and copied into every worker when it gets a task.
struct _sConvertOptions
{
    uint8_t nVideoSizeOp = 0;    // target size rule 1..5: the user's size option + 1
    uint8_t nCodecMod = 0;       // ConvertCodecMode; anything else is refused by the worker
    int32_t unRc[2] = {};        // default picture width and height when the source has none
    std::string OUTPATH;         // output root folder, no trailing '/'
    std::string strFfmpegPath;   // codecs/ffmpeg under the program folder
    std::string strYamdiPath;    // codecs/Yamdi-Extend
    std::string strTsMuxerPath;  // codecs/tsMuxeR
    std::string strMencoderPath; // codecs/mencoder
    std::string strAudioBkImage; // picture shown in audio-only outputs
    int8_t nNice = 0;            // added to the encoders' nice value (the user's priority option)

    bool operator==(const _sConvertOptions&) const = default;
};

// Handed to the convert manager's Init.
struct _sConvertInit
{
    uint8_t MAX = 0; // number of conversion workers
    _sConvertOptions options;
    MsgTarget hWnd = 0;  // receives the reports
    uint32_t uMsgId = 0; // WM_CONVERT_RESULT (3033) in the main window

    bool operator==(const _sConvertInit&) const = default;
};

enum ConvertReportCode : int8_t
{
    CR_SUCCESS = 1,     // converted; strOutPath is set
    CR_PROGRESS = 2,    // nValue is the percentage
    CR_WORKER_DONE = 81 // ('Q') the worker's run has ended; pWorker is set
    // negative values: failure codes of the conversion
};

// A worker's report; the receiver owns it.
struct _sConvertReport
{
    std::string strFileIndex;   // the task's key ("" when it had none)
    std::string strOutPath;     // only with CR_SUCCESS
    int8_t nCode = 0;           // ConvertReportCode or a negative failure code
    uint8_t nValue = 0;         // progress, 0..100
    CThread* pWorker = nullptr; // only with CR_WORKER_DONE; not owned

    bool operator==(const _sConvertReport&) const = default;
};

using ConvertReportPtr = std::unique_ptr<_sConvertReport>;

} // namespace vx
