#pragma once
// Messages between the login and settings windows and the main window. The numbers are the
// window messages the main window already answers to.

#include "platform/MessageLoop.h"
#include "upload/UploadMessages.h" // WM_FILESERVER_LIST (3025): the login succeeded

#include <cstdint>

namespace vx {

// Asks the main window to close (the program ends).
constexpr uint32_t WM_CLOSE = 0x0010;
// The options were saved: wParam bit 0 conversion settings changed, bit 1 uploads at once.
constexpr uint32_t WM_SET_INFO_DATA = WM_USER + 2012; // 3036

} // namespace vx
