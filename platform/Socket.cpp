#include "platform/Socket.h"

#include <cerrno>

namespace vx {

CSocket& CSocket::operator=(CSocket&& o) noexcept
{
    if (this != &o) {
        Close();
        m_fd = o.Release();
    }
    return *this;
}

int CSocket::Release()
{
    int fd = m_fd;
    m_fd = -1;
    return fd;
}

bool CSocket::Connect(const std::string& host, uint16_t port, int timeoutMs, std::string* errText,
                      const std::atomic<bool>* stop)
{
    Close();
    std::string dotted;
    if (!ResolveHost(host, &dotted)) {
        if (errText)
            *errText = "cannot resolve host " + host;
        return false;
    }
    ConnectFailure f;
    if (ConnectDotted(dotted, port, timeoutMs, &f, stop))
        return true;
    if (errText) {
        if (f.step == ConnectStep::Timeout || f.code == ETIMEDOUT)
            *errText = "connection timed out at " + host + ":" + std::to_string(port);
        else
            *errText = SocketErrorText(f.code) + " at " + host + ":" + std::to_string(port);
    }
    return false;
}

SockResult CSocket::SendAll(const void* data, size_t len, int timeoutMs, const std::atomic<bool>* stop)
{
    const char* p = static_cast<const char*>(data);
    while (len > 0) {
        if (stop) {
            int waited = 0;
            while (!WaitWritable(100)) {
                waited += 100;
                if (stop->load() || (timeoutMs >= 0 && waited >= timeoutMs))
                    return SockResult::Timeout;
            }
            if (stop->load())
                return SockResult::Timeout;
        } else if (!WaitWritable(timeoutMs)) {
            return SockResult::Timeout;
        }
        bool retry = false;
        long n = SendNow(p, len, &retry);
        if (n < 0) {
            if (retry)
                continue;
            return n == kClosed ? SockResult::Closed : SockResult::Error;
        }
        p += n;
        len -= static_cast<size_t>(n);
    }
    return SockResult::Ok;
}

SockResult CSocket::RecvSome(void* buf, size_t len, int timeoutMs, size_t* got)
{
    *got = 0;
    for (;;) {
        if (!WaitReadable(timeoutMs))
            return SockResult::Timeout;
        bool retry = false;
        long n = RecvNow(buf, len, &retry);
        if (n > 0) {
            *got = static_cast<size_t>(n);
            return SockResult::Ok;
        }
        if (n == 0)
            return SockResult::Closed;
        if (retry)
            continue;
        return n == kClosed ? SockResult::Closed : SockResult::Error;
    }
}

SockResult CSocket::RecvAll(void* buf, size_t len, int timeoutMs)
{
    char* p = static_cast<char*>(buf);
    while (len > 0) {
        size_t got = 0;
        SockResult r = RecvSome(p, len, timeoutMs, &got);
        if (r != SockResult::Ok)
            return r;
        p += got;
        len -= got;
    }
    return SockResult::Ok;
}

int CSocket::WaitReadable(int timeoutMs, int stepMs, const std::atomic<bool>& stop) const
{
    for (int i = 0; i < timeoutMs / stepMs && !stop; ++i) {
        int r = Poll(true, stepMs);
        if (r > 0)
            return 1;
        if (r < 0)
            return -1;
    }
    return -2;
}

bool CSocket::WaitReadable(int timeoutMs) const
{
    return Poll(true, timeoutMs) > 0;
}

bool CSocket::WaitWritable(int timeoutMs) const
{
    return Poll(false, timeoutMs) > 0;
}

void CSocket::CloseReset()
{
    if (!IsValid())
        return;
    SetLinger(true, 0);
    Close();
}

} // namespace vx
