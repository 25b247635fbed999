#pragma once
// The raw socket and file calls of a download that must stop within a moment when asked:
// every wait is cut into steps that watch a stop flag. Failures keep the system's error code
// (errno, or *sysErr where stated) so the caller can report it as it stands.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace vx {

// True when text is an IPv4 address in dotted notation.
bool IsDottedIPv4(const std::string& text);

// TCP connection to a dotted IPv4 address: a descriptor, or -1 with *sysErr (ETIMEDOUT when
// timeoutMs passed or stop was set first). Reads on it block at most 10 seconds.
int ConnectStoppable(const std::string& dotted, uint16_t port, int timeoutMs, int stepMs,
                     const std::atomic<bool>& stop, int* sysErr);
void CloseDescriptor(int fd);
// 1 data ready, -1 error (errno), -2 nothing within timeoutMs, or stopped.
int WaitReadableStoppable(int fd, int timeoutMs, int stepMs, const std::atomic<bool>& stop);
// One recv / one send (never a broken-pipe signal): bytes, 0 peer closed, -1 error (errno).
ssize_t ReceiveSome(int fd, char* buf, size_t len);
ssize_t SendOnce(int fd, const char* data, size_t len);

// Creates path afresh with the given mode: an old file, or a link planted under that name, is
// removed first and never written through. A descriptor, or -1 (errno).
int CreateFreshFile(const std::string& path, int mode);
// Moves to the file's start; false (errno) on failure.
bool SeekToStart(int fd);
// Writes everything; false with *sysErr (ENOSPC when the system took nothing).
bool WriteAll(int fd, const char* data, size_t len, int* sysErr);

} // namespace vx
