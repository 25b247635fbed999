#pragma once
// The stream values a conversion aims at, derived from the source's: the picture size by the
// size rule (640, 1024, 1280 or 1920 wide, height in proportion; every size rounded down to
// multiples of 4), the frame rate within 1..30 (25 when unknown), the video bit rate by the
// final width, and at most two sound channels for an upload-ready output.

#include "store/ConvertRecords.h"
#include "store/MiData.h"

#include <string>

namespace vx {

// dst starts as a copy of the record being converted (the source, or the middle file made from
// it); src is the task's source record, whose missing size is filled from options.unRc.
// type 1: the upload-ready output (bit rate by width; with CBR a lower source rate is kept;
// channels capped at 2). type 2: the middle file (a high rate, channels kept).
// 0, or CV_NO_SIZE (-3) when no usable picture size is left.
int MakeDestMiData(const MiData& src, const _sConvertOptions& options, const std::string& fileIndex,
                   MiData* dst, int type);

} // namespace vx
