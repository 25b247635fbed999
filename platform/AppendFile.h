#pragma once
// A text file that several processes append to at the same time (the main program and the
// companion share their logs). Every Append is one write() on a descriptor opened with
// O_APPEND, so lines of different writers never interleave or overwrite each other. A file
// that has reached its size limit is set aside as a backup when opened, by exactly one of the
// processes that open it at once; the others follow it to the fresh file.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vx {

class CAppendFile
{
public:
    CAppendFile() = default;
    ~CAppendFile() { Close(); }
    CAppendFile(const CAppendFile&) = delete;
    CAppendFile& operator=(const CAppendFile&) = delete;

    // Opens path for appending, creating it. When rotateAt > 0 and the file holds at least
    // rotateAt bytes, it is renamed to backupPath (replacing an older backup) and a new, empty
    // file is started. False when the file cannot be opened.
    bool Open(const std::string& path, int64_t rotateAt = 0, const std::string& backupPath = std::string());
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // Appends the bytes in one write; false when the write failed or was short.
    bool Append(const char* data, size_t len);
    // True when the path no longer names the file we hold (another process set it aside, or
    // it was deleted): the owner reopens to keep writing where readers look.
    bool Replaced() const;

private:
    std::string m_path;
    intptr_t m_fd = -1; // descriptor (a handle on Windows)
    uint64_t m_dev = 0; // the file's identity: device and inode (volume and file index)
    uint64_t m_ino = 0;
};

} // namespace vx
