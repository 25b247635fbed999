#pragma once
// One running copy per user: an exclusive lock on a file in the data folder stands in for the
// named mutex. The lock goes with the process, so a crashed instance never blocks the next.

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
    int m_fd = -1;
};

} // namespace vx
