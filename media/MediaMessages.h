#pragma once
// Messages the media workers post to the main window. The payload of a result is the worker's
// own copy of the record (MakePayload); the window applies it to its list record by file index.

#include "platform/MessageLoop.h"

#include <cstdint>

namespace vx {

// wParam 0: probed or measured (copy in status 3); -1 file missing, -2 document could not be
// opened, -3 probe failed (copy in status 1). Negative codes travel sign-extended.
constexpr uint32_t WM_MEDIAINFO_RESULT = WM_USER + 2006; // 3030
// wParam 0: digest computed (copy in status 10, strMd5 and i64FileEnd set); -1 file missing,
// -2 file could not be opened or read (copy in status 9).
constexpr uint32_t WM_MD5_RESULT = WM_USER + 2007; // 3031
// A conversion report of the convert manager (or of the window's document copy): wParam 0,
// payload MakePayload(_sConvertReport) (store/ConvertRecords.h).
constexpr uint32_t WM_CONVERT_RESULT = WM_USER + 2009; // 3033
// wParam 1, no payload: the media thread ended on its own; the window releases it.
constexpr uint32_t WM_CHECK_MEDIAINFO = WM_USER + 2019; // 3043
// Posted by the window to itself only (feed or release the digest thread).
constexpr uint32_t WM_CHECK_FILEMD5 = WM_USER + 2020; // 3044

// The wParam of a result message as the signed code it carries.
inline int64_t ResultCode(uint64_t wParam)
{
    return static_cast<int64_t>(wParam);
}
inline uint64_t ResultParam(int64_t code)
{
    return static_cast<uint64_t>(code);
}

} // namespace vx
