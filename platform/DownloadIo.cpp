#include "platform/DownloadIo.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vx {

bool IsDottedIPv4(const std::string& text)
{
    in_addr a{};
    return inet_pton(AF_INET, text.c_str(), &a) == 1;
}

int ConnectStoppable(const std::string& dotted, uint16_t port, int timeoutMs, int stepMs,
                     const std::atomic<bool>& stop, int* sysErr)
{
    int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (sock < 0) {
        *sysErr = errno;
        return -1;
    }
    timeval tv{10, 0};
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    inet_pton(AF_INET, dotted.c_str(), &sa.sin_addr);
    int flags = fcntl(sock, F_GETFL, 0);
    fcntl(sock, F_SETFL, flags | O_NONBLOCK);
    int err = 0;
    if (::connect(sock, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) != 0) {
        err = errno;
        if (err == EINPROGRESS) {
            err = ETIMEDOUT;
            for (int i = 0; i < timeoutMs / stepMs && !stop; ++i) {
                pollfd p{sock, POLLOUT, 0};
                if (poll(&p, 1, stepMs) > 0) {
                    socklen_t len = sizeof(err);
                    getsockopt(sock, SOL_SOCKET, SO_ERROR, &err, &len);
                    break;
                }
            }
        }
    }
    if (err != 0) {
        ::close(sock);
        *sysErr = err;
        return -1;
    }
    fcntl(sock, F_SETFL, flags & ~O_NONBLOCK);
    return sock;
}

void CloseDescriptor(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

int WaitReadableStoppable(int fd, int timeoutMs, int stepMs, const std::atomic<bool>& stop)
{
    for (int i = 0; i < timeoutMs / stepMs && !stop; ++i) {
        pollfd p{fd, POLLIN, 0};
        int r = poll(&p, 1, stepMs);
        if (r > 0)
            return 1;
        if (r < 0 && errno != EINTR)
            return -1;
    }
    return -2;
}

ssize_t ReceiveSome(int fd, char* buf, size_t len)
{
    return ::recv(fd, buf, len, 0);
}

ssize_t SendOnce(int fd, const char* data, size_t len)
{
    return ::send(fd, data, len, MSG_NOSIGNAL);
}

int CreateFreshFile(const std::string& path, int mode)
{
    unlink(path.c_str());
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
}

bool SeekToStart(int fd)
{
    return lseek(fd, 0, SEEK_SET) == 0;
}

bool WriteAll(int fd, const char* data, size_t len, int* sysErr)
{
    while (len > 0) {
        ssize_t n = ::write(fd, data, len);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            *sysErr = n < 0 ? errno : ENOSPC;
            return false;
        }
        data += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace vx
