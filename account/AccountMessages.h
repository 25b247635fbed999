#pragma once
// Messages between the login and settings windows and the main window. The numbers are the
// window messages the main window already answers to.

#include "app/UserOptions.h"
#include "platform/MessageLoop.h"
#include "upload/UploadMessages.h" // WM_FILESERVER_LIST (3025): the login succeeded

#include <cstdint>

namespace vx {

// Asks the main window to close (the program ends).
constexpr uint32_t WM_CLOSE = 0x0010;
// WM_SET_INFO_DATA (3036, the options were saved) is defined with the options.

} // namespace vx
