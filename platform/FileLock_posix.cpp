#include "platform/FileLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vx {

bool CFileLock::TryLock(const std::string& owner, std::string* holder)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd >= 0)
        return true;
    // Close-on-exec: a child (an encoder) must never keep the lock after we are gone.
    int fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (holder)
            *holder = m_path + ": " + strerror(errno);
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (holder) {
            holder->clear();
            char buf[512];
            ssize_t n = pread(fd, buf, sizeof(buf), 0);
            if (n > 0)
                holder->assign(buf, static_cast<size_t>(n));
            while (!holder->empty() && (holder->back() == '\n' || holder->back() == '\0'))
                holder->pop_back();
        }
        close(fd);
        return false;
    }
    const std::string line = owner + "\n";
    if (ftruncate(fd, 0) != 0 || pwrite(fd, line.data(), line.size(), 0) < 0) {
        // The text only informs the others; the lock holds without it.
    }
    m_fd = fd;
    return true;
}

void CFileLock::Unlock()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd < 0)
        return;
    const int fd = static_cast<int>(m_fd);
    if (ftruncate(fd, 0) != 0) {
        // A stale text is read only while someone holds the lock, who wrote its own.
    }
    close(fd); // releases the lock
    m_fd = -1;
}

} // namespace vx
