#pragma once
// Messages of the upload subsystem to and from the main window (the window's other messages
// are defined by the window).

#include "platform/MessageLoop.h"

#include <cstdint>
#include <string>

namespace vx {

// Posted by the login window: fetch the file-server list and start the speed test.
constexpr uint32_t WM_FILESERVER_LIST = WM_USER + 2001; // 3025
// A transfer report: wParam 0, payload MakePayload(_sTransReport) (store/TransRecords.h).
constexpr uint32_t WM_TRANS_RESULT = WM_USER + 2005; // 3029
// The speed test's choice: wParam = IPv4 address in network byte order (0xFFFFFFFF: none),
// payload MakePayload(FileServerChoice).
constexpr uint32_t WM_FILESERVER_TEST = WM_USER + 2021; // 3045

// The first file server that agreed to the running speed test: wParam the test's number
// (CTestNetWorkThread::Id), payload MakePayload(FileServerChoice).
constexpr uint32_t WM_FILESERVER_FIRST = WM_USER + 2025; // 3049

constexpr uint32_t kNoServerAddress = 0xFFFFFFFFu;

// What the speed test chose; port 0 and an empty host when no server took any data.
struct FileServerChoice
{
    std::string strHost; // dotted IPv4 text
    uint16_t usPort = 0;
};

} // namespace vx
