#pragma once
// The conversion settings, built in one place from the user's options and the configuration:
// the session start, a change of the settings and `vexora convert` all get the same output
// folder rule, encoder paths, background picture, size rule, rate mode and number of workers.

#include "app/AppConfig.h"
#include "app/UserOptions.h"
#include "store/ConvertRecords.h"

namespace vx {

// Conversions at once when the user has not chosen (a count below 1) or has chosen more than
// the processors there are: up to 2 processors 1, up to 4 two, up to 8 four, more 1 (the
// settings window offers the same default). Never 0, never more than 255.
int DefaultConvertCount(int stored, int cpuCount);

// The rate mode: VBR only when the configuration's CodecOption is 1 and the user's encoding
// choice (nFileConvertType) is 0; CBR otherwise.
uint8_t CodecModeOf(const CAppConfig& config, const _sSetData& options);

// The picture shown in audio-only outputs: the data folder's AudioBkImage/audiobackground.png,
// copied there from beside the program when missing; the program's own copy when that fails.
std::string PrepareAudioBkImage(const std::string& programFolder);

// The encoders' niceness for the user's priority option (the settings window's list index):
// 0 normal (0), 1 below normal (10), 2 and above low (19).
int8_t NicenessOf(int priorityLevel);

// Everything CConvertMgr::Init needs. outPath empty: the option's convert path (without a
// trailing '/'); programFolder empty: beside the program. The message id is WM_CONVERT_RESULT.
_sConvertInit BuildConvertInit(const CAppConfig& config, const _sSetData& options, MsgTarget window,
                               const std::string& outPath = "", const std::string& programFolder = "");

} // namespace vx
