#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace vx {

CSingleInstance::~CSingleInstance()
{
    if (m_fd >= 0)
        close(static_cast<int>(m_fd)); // releases the lock
}

bool CSingleInstance::IsAnotherInstanceRunning()
{
    if (m_fd >= 0)
        return false;
    int fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false; // no place for a lock: run rather than refuse
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return true;
    }
    // The holder's pid, for people looking at the file.
    std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) == 0 && write(fd, pid.data(), pid.size()) < 0) {
        // informational only
    }
    m_fd = fd;
    return false;
}

} // namespace vx
