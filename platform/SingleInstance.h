#pragma once
// One running copy per user: an exclusive lock on a file in the data folder (a named mutex on
// Windows, named after that file). The lock goes with the process, so a crashed instance never
// blocks the next.

#include <cstdint>
#include <string>

namespace vx {

class CSingleInstance
{
public:
    // lockPath: e.g. data folder + "VexoraV2.lock".
    explicit CSingleInstance(std::string lockPath) : m_path(std::move(lockPath)) {}
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // True when another process holds the lock; otherwise this object holds it until it goes.
    bool IsAnotherInstanceRunning();

private:
    std::string m_path;
    intptr_t m_fd = -1; // the lock file's descriptor, or the mutex's handle
};

} // namespace vx
