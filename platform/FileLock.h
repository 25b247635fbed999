#pragma once
// An advisory lock on a file that one process at a time holds, with a line saying who holds it
// for the others to read. The lock goes with the process that holds it, so a crash or kill -9
// never leaves it taken. The file itself is never removed.

#include <cstdint>
#include <mutex>
#include <string>

namespace vx {

class CFileLock
{
public:
    explicit CFileLock(std::string path) : m_path(std::move(path)) {}
    ~CFileLock();
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;

    // Takes the lock without waiting and writes owner into the file; true when this object holds
    // it (now or already). False when another process holds it (*holder: what it wrote there,
    // empty when it wrote nothing yet) or the file cannot be opened (*holder: the cause).
    bool TryLock(const std::string& owner, std::string* holder = nullptr);
    void Unlock();
    bool Held() const;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    mutable std::mutex m_mutex; // the holder may be asked from another thread than the taker
    intptr_t m_fd = -1;         // the descriptor (the handle on Windows)
};

} // namespace vx
