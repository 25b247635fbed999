#pragma once
// One open file, read in large pieces or written at given offsets. Failures keep the system's
// error code (errno values on both sides) for the caller to log or describe.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vx {

class CFile
{
public:
    enum class Mode
    {
        Read,           // reading
        ReadSequential, // reading front to back (the system may read ahead)
        Write           // writing; created when missing, never truncated on open
    };

    CFile() = default;
    ~CFile() { Close(); }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    bool Open(const std::string& path, Mode mode);
    // Creates path afresh for writing: an old file, or a link planted under that name, is
    // removed first and never written through. executable: the owner (and others) may run it.
    bool CreateFresh(const std::string& path, bool executable);
    void Close();
    bool IsOpen() const { return m_handle != kInvalid; }

    // Reads until len bytes or the end of the file: the count (less than len only at the end),
    // or -1 on an error.
    int64_t ReadFull(void* buf, size_t len);
    // The same at a given offset, leaving the file position alone.
    int64_t ReadAt(void* buf, size_t len, int64_t offset);
    // Writes all len bytes at the current position; false on any error (ENOSPC when the system
    // took nothing).
    bool Write(const void* buf, size_t len);
    // Writes all len bytes at offset; false on any error or a short write.
    bool WriteAt(const void* buf, size_t len, int64_t offset);
    // Cuts or extends the file to size bytes.
    bool Truncate(int64_t size);
    // The file's length, or -1.
    int64_t Size();

    // The system's code of the last failure (errno values).
    int LastError() const { return m_error; }

private:
    static constexpr intptr_t kInvalid = -1;
    intptr_t m_handle = kInvalid;
    int m_error = 0;
};

} // namespace vx
