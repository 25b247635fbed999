#pragma once
// Status codes of an installer download and the texts the window shows for them. Codes below
// -84 are our own additions for failures that used to pass silently (a partial or mismatched
// download, an installer that reports failure).

#include <cstdint>

namespace vx {

constexpr int DS_NONE = -99;           // no error
constexpr int DS_CREATE_FILE = -97;    // the temp file cannot be created
constexpr int DS_SEEK_FILE = -96;      // its position cannot be set to the start
constexpr int DS_WRITE_FILE = -95;     // a write fails or is short
constexpr int DS_RECV_BODY = -93;      // body: silence, peer closed or socket error
constexpr int DS_PARSE_URL = -92;      // no "/" after the host
constexpr int DS_RESOLVE = -91;        // the host resolves to 255.255.255.255
constexpr int DS_CONNECT = -90;        // no connection
constexpr int DS_SEND = -89;           // the request was not sent whole
constexpr int DS_RECV_HEADER = -88;    // no complete response header
constexpr int DS_HTTP_STATUS = -87;    // status other than 206
constexpr int DS_NO_LENGTH = -86;      // no Content-Length
constexpr int DS_ZERO_LENGTH = -85;    // total length 0
constexpr int DS_INSTALL = -84;        // the installer did not start or did not end in time
constexpr int DS_INSTALLER_EXIT = -83; // the installer ended with a non-zero exit code
constexpr int DS_BAD_RANGE = -82;      // Content-Range missing, or not where the file ends
constexpr int DS_INCOMPLETE = -81;     // every attempt used and the file is still short
constexpr int DS_TLS = -80;            // no TLS session with the server of an https address
constexpr int DS_TLS_UNTRUSTED = -79;  // its certificate is not trusted or names another host

// With status DS_NONE the value is a percentage; this one means "installed".
constexpr uint32_t kDownloadDone = 100;

// The text shown for a status code ("无效错误码" for any code not in the table).
const char* DownloadStatusText(int status);

} // namespace vx
