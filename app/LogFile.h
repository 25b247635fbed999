#pragma once
// The three diagnostic logs: general, conversion and transfer. Each line is time-stamped and
// written whole in one append, so several processes (the program and the companion) can log
// into the same files at once without losing or mixing lines. A channel that cannot open its
// file drops lines silently: logging never fails visibly.

#include "platform/AppendFile.h"
#include "platform/PrintfFormat.h"

#include <mutex>
#include <string>
#include <vector>

namespace vx {

class CLogFile
{
public:
    CLogFile() = default;
    ~CLogFile() { Close(); }
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Opens path for appending (rotating it first when it has reached kRotateSize) and writes
    // the banner. Only when not open yet. False when the file could not be opened.
    bool Open(const std::string& path, const char* banner);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    const std::string& Path() const { return m_path; }

    // One line: time stamp, text, line feed. When another process has set the file aside
    // meanwhile, the channel moves on to the new file first.
    void Write(const std::string& text);
    // Several lines in one append (a bulk addition logs a line per file): each stamped as
    // Write stamps it, and none split or mixed with another writer's.
    void WriteLines(const std::vector<std::string>& texts);
    // The same from a crash handler: gives up instead of waiting when the channel is busy
    // (the crash may have happened inside a write).
    void TryWrite(const char* text);

    static constexpr long kRotateSize = 0x300000; // 3 MiB
    // log.txt -> log_bak.txt (only the file name changes, never a folder).
    static std::string BackupPath(const std::string& path);

private:
    std::string m_path;
    CAppendFile m_file;
    std::mutex m_lock;
};

extern CLogFile* g_log;
extern CLogFile* g_convertLog;
extern CLogFile* g_transLog;

// Creates and opens the channels that do not exist yet, under data folder + "Log/".
void OpenLogs();
void CloseLogs();

// printf-style; the format must be a literal of ours. Texts from outside go through %s.
void Log(CLogFile* channel, const char* format, ...) VX_PRINTF_FORMAT(2, 3);
// Writes text as it stands (no format processing).
void LogText(CLogFile* channel, const std::string& text);
// Lines as they stand, in one append.
void LogLines(CLogFile* channel, const std::vector<std::string>& lines);

} // namespace vx
