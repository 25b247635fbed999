#include "platform/AppendFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx {

namespace {

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

bool CAppendFile::Open(const std::string& path, int64_t rotateAt, const std::string& backupPath)
{
    Close();
    m_path = path;
    // A few rounds at most: each one either keeps the file, or starts over after a rotation
    // (ours or another process's).
    for (int round = 0; round < 8; ++round) {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        struct stat held;
        if (fstat(fd, &held) != 0) {
            close(fd);
            return false;
        }
        if (rotateAt > 0 && !backupPath.empty()) {
            // The lock only orders the openers' size check and rename; writers never take it.
            while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
            }
            struct stat named;
            if (fstat(fd, &held) != 0 || stat(path.c_str(), &named) != 0 || !SameFile(held, named)) {
                close(fd); // set aside while we waited: open the new one
                continue;
            }
            if (held.st_size >= rotateAt) {
                // rename replaces the old backup in one step; writers still holding this file
                // keep appending to it (now the backup) until they notice and reopen.
                bool moved = rename(path.c_str(), backupPath.c_str()) == 0;
                close(fd);
                if (!moved)
                    return false;
                continue;
            }
            flock(fd, LOCK_UN);
        }
        m_fd = fd;
        m_dev = held.st_dev;
        m_ino = held.st_ino;
        return true;
    }
    return false;
}

void CAppendFile::Close()
{
    if (m_fd >= 0)
        close(static_cast<int>(m_fd));
    m_fd = -1;
}

bool CAppendFile::Append(const char* data, size_t len)
{
    if (m_fd < 0)
        return false;
    for (;;) {
        ssize_t n = write(static_cast<int>(m_fd), data, len);
        if (n < 0 && errno == EINTR)
            continue;
        return n == static_cast<ssize_t>(len);
    }
}

bool CAppendFile::Replaced() const
{
    if (m_fd < 0)
        return false;
    struct stat named;
    if (stat(m_path.c_str(), &named) != 0)
        return true;
    return named.st_dev != m_dev || named.st_ino != m_ino;
}

} // namespace vx
