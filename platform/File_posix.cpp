#include "platform/File.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vx {

bool CFile::Open(const std::string& path, Mode mode)
{
    Close();
    int fd = mode == Mode::Write ? ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644)
                                 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        m_error = errno;
        return false;
    }
    if (mode == Mode::ReadSequential)
        posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_handle = fd;
    return true;
}

bool CFile::CreateFresh(const std::string& path, bool executable)
{
    Close();
    unlink(path.c_str());
    int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, executable ? 0755 : 0644);
    if (fd < 0) {
        m_error = errno;
        return false;
    }
    m_handle = fd;
    return true;
}

bool CFile::Write(const void* buf, size_t len)
{
    const auto* p = static_cast<const char*>(buf);
    while (len > 0) {
        ssize_t n = ::write(static_cast<int>(m_handle), p, len);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_error = n < 0 ? errno : ENOSPC;
            return false;
        }
        p += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

void CFile::Close()
{
    if (m_handle != kInvalid) {
        ::close(static_cast<int>(m_handle));
        m_handle = kInvalid;
    }
}

int64_t CFile::ReadFull(void* buf, size_t len)
{
    auto* p = static_cast<char*>(buf);
    size_t got = 0;
    while (got < len) {
        ssize_t n = ::read(static_cast<int>(m_handle), p + got, len - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_error = errno;
            return -1;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(got);
}

int64_t CFile::ReadAt(void* buf, size_t len, int64_t offset)
{
    auto* p = static_cast<char*>(buf);
    size_t got = 0;
    while (got < len) {
        ssize_t n = ::pread(static_cast<int>(m_handle), p + got, len - got, offset + static_cast<off_t>(got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_error = errno;
            return -1;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(got);
}

bool CFile::WriteAt(const void* buf, size_t len, int64_t offset)
{
    const auto* p = static_cast<const char*>(buf);
    while (len > 0) {
        ssize_t n = ::pwrite(static_cast<int>(m_handle), p, len, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_error = n < 0 ? errno : ENOSPC;
            return false;
        }
        p += n;
        offset += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

bool CFile::Truncate(int64_t size)
{
    if (ftruncate(static_cast<int>(m_handle), size) != 0) {
        m_error = errno;
        return false;
    }
    return true;
}

int64_t CFile::Size()
{
    struct stat st;
    if (fstat(static_cast<int>(m_handle), &st) != 0) {
        m_error = errno;
        return -1;
    }
    return static_cast<int64_t>(st.st_size);
}

} // namespace vx
