#pragma once
// Start-up question to the version server ("is a newer release out?") and the hand-off to the
// Update program. One 41-byte datagram goes out over UDP (then TCP once when UDP stays
// silent); the reply either says "up to date" or carries the installer address.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vx {

constexpr uint16_t kVersionMsgType = 800;
constexpr size_t kVersionRequestSize = 41;
constexpr size_t kVersionReplyBufSize = 1400;
constexpr size_t kVersionReplyHeadSize = 34; // type ... length field; the text follows
constexpr size_t kVersionReplyMinSize = 32;

// Waits of one exchange. The defaults are the product's; tests may shorten them.
struct VersionWaits
{
    int udpWaitMs = 200;
    int tcpConnectMs = 3000;
    int tcpWaitMs = 500;
    int waitTries = 10;
};

enum class VersionResult
{
    UpToDate,
    UpdateDue,
    Failed
};

// "2.0.31.7" -> {2, 0, 31, 7}. Each piece is read like atoi (leading digits, else 0); false
// with fewer than three dots or nothing after the third.
bool ParseAppVersion(const std::string& text, uint16_t ver[4]);
// The 41-byte request for a program version.
std::vector<uint8_t> BuildVersionRequest(const uint16_t ver[4]);
// Bytes a complete reply needs once `got` bytes are in buf: the head, then the text length
// from offset 32, limited to what fits in the 1,400-byte buffer.
size_t VersionReplyNeeded(const uint8_t* buf, size_t got);
// True when nothing more is worth waiting for: at least 32 bytes and either the up-to-date flag
// or every text byte the length field announces (within the buffer).
bool VersionReplyComplete(const uint8_t* buf, size_t got);
// Reads a reply of len bytes (32 are enough): UpToDate, UpdateDue (text set, may be empty:
// the announced length is cut to the bytes that arrived and to the buffer) or Failed (fewer
// than 32 bytes, wrong type; cause set).
VersionResult ParseVersionReply(const uint8_t* buf, size_t len, std::string* text, std::string* cause);

// One exchange with host (dotted IPv4) and port. buf must hold kVersionReplyBufSize bytes and
// is zeroed first; *len gets the bytes received, also on failure (then fewer than 32: something
// arrived that is no reply). Succeeds once 32 bytes came from the address asked; over TCP the
// rest of an announced text is awaited for one more wait at most.
bool RequestVersionData(uint8_t* buf, size_t* len, const std::string& host, uint16_t port, bool tcp,
                        const VersionWaits& waits = {});

// The whole question to one server (host name or dotted address). cause names the server and
// the reason when the result is Failed.
VersionResult AskVersionServer(const std::string& host, int port, const std::string& appVersion,
                               std::string* updateText, std::string* cause, const VersionWaits& waits = {});

// What start-up plugs in from the layers above the core.
struct VersionCheckHooks
{
    // The refreshed version server address from the web host; a negative result (or an empty
    // host) means "use the configured one".
    std::function<int(std::string* host, int* port)> liveServerLookup;
    // A modal error box (text, caption); without it the error is only logged.
    std::function<void(const std::string& text, const std::string& caption)> showError;
    // The updater program; empty: "Update" in the program folder.
    std::string updaterPath;
    VersionWaits waits;
    // How long the hand-off waits for the updater to move itself to its private folder (it
    // ends as soon as its copy runs there; a non-zero exit means the move failed).
    int handOffWaitMs = 10000;
};

// True only when the reply announces an update (updateText set).
bool CheckVersion(std::string* updateText, const VersionCheckHooks& hooks = {});

// Only an http:// or https:// address with a host and no blanks or control characters is
// handed to the updater: the text comes from the network and is opened by a browser later.
bool IsHttpUrl(const std::string& text);

// The updater's arguments: installer address, product name, main program path, then the main
// program's own arguments one by one. Separate arguments survive any content (";" included).
std::vector<std::string> BuildUpdaterArgs(const std::string& updateText, const std::string& productName,
                                          const std::string& mainProgramPath,
                                          const std::vector<std::string>& mainProgramArgs);

// Starts the updater detached and waits until it has moved itself to its private folder. True
// when it took over; false when it is missing, cannot start, or reports that its move failed
// (each logged and shown through hooks.showError).
bool StartUpdater(const std::string& updaterPath, const std::vector<std::string>& args,
                  const VersionCheckHooks& hooks = {});

// True when an update is due and the updater took over, or is missing (the user has been told
// to reinstall): the caller then ends the program. An updater that exists but cannot run is
// logged and shown, and the answer is false: the program starts normally rather than ending
// on every start while the update is announced. ownArgs are the program's own arguments
// (without argv[0]).
bool NeedUpate(const std::vector<std::string>& ownArgs, const VersionCheckHooks& hooks = {});

} // namespace vx
