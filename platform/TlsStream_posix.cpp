#include "platform/TlsStream.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>

namespace vx {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kStepMs = 100; // waits are cut into steps that watch the stop flag

bool IsAddress(const std::string& host)
{
    in_addr a4;
    in6_addr a6;
    return inet_pton(AF_INET, host.c_str(), &a4) == 1 || inet_pton(AF_INET6, host.c_str(), &a6) == 1;
}

std::string OpenSslError()
{
    unsigned long e = ERR_get_error();
    ERR_clear_error();
    if (e == 0)
        return "the server closed the connection or does not speak TLS";
    char buf[256];
    ERR_error_string_n(e, buf, sizeof(buf));
    return buf;
}

} // namespace

bool CTlsStream::WaitFor(int sslError, int timeoutMs, const std::atomic<bool>* stop)
{
    short events = sslError == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!(stop && stop->load())) {
        pollfd p{m_fd, events, 0};
        int r = poll(&p, 1, kStepMs);
        if (r > 0)
            return true;
        if (r < 0 && errno != EINTR)
            return false;
        if (Clock::now() >= end)
            return false;
    }
    return false;
}

CTlsStream::Result CTlsStream::Handshake(int fd, const std::string& host, const std::string& caFile,
                                         int timeoutMs, const std::atomic<bool>* stop, std::string* err)
{
    Close();
    m_fd = fd;
    m_ctx = SSL_CTX_new(TLS_client_method());
    if (!m_ctx) {
        *err = "cannot set up TLS: " + OpenSslError();
        return Result::Failed;
    }
    SSL_CTX_set_min_proto_version(m_ctx, TLS1_2_VERSION);
    SSL_CTX_set_verify(m_ctx, SSL_VERIFY_PEER, nullptr);
    bool trusted = caFile.empty() ? SSL_CTX_set_default_verify_paths(m_ctx) == 1
                                  : SSL_CTX_load_verify_locations(m_ctx, caFile.c_str(), nullptr) == 1;
    if (!trusted) {
        *err = "cannot load the trusted certificates" + (caFile.empty() ? std::string() : " from " + caFile) +
               ": " + OpenSslError();
        return Result::Untrusted;
    }
    m_ssl = SSL_new(m_ctx);
    if (!m_ssl || SSL_set_fd(m_ssl, fd) != 1) {
        *err = "cannot set up TLS: " + OpenSslError();
        return Result::Failed;
    }
    // The certificate must name the host we asked for: a name, or an address for a dotted one.
    if (IsAddress(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), host.c_str());
    } else {
        SSL_set_tlsext_host_name(m_ssl, host.c_str());
        SSL_set1_host(m_ssl, host.c_str());
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        ERR_clear_error();
        int r = SSL_connect(m_ssl);
        if (r == 1)
            return Result::Ok;
        int e = SSL_get_error(m_ssl, r);
        long verify = SSL_get_verify_result(m_ssl);
        if (verify != X509_V_OK) {
            *err = std::string("the server's certificate is not trusted: ") +
                   X509_verify_cert_error_string(verify);
            return Result::Untrusted;
        }
        if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE) {
            *err = "TLS handshake failed: " + OpenSslError();
            return Result::Failed;
        }
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
        if (left <= 0 || !WaitFor(e, left, stop)) {
            *err = stop && stop->load() ? "stopped" : "TLS handshake timed out";
            return Result::Failed;
        }
    }
}

bool CTlsStream::SendAll(const char* data, size_t len, int timeoutMs, const std::atomic<bool>* stop)
{
    if (!m_ssl)
        return false;
    while (len > 0) {
        ERR_clear_error();
        int r = SSL_write(m_ssl, data, static_cast<int>(len));
        if (r > 0) {
            data += r;
            len -= static_cast<size_t>(r);
            continue;
        }
        int e = SSL_get_error(m_ssl, r);
        if ((e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE) || !WaitFor(e, timeoutMs, stop))
            return false;
    }
    return true;
}

long CTlsStream::Recv(char* buf, size_t len)
{
    if (!m_ssl)
        return -1;
    ERR_clear_error();
    int r = SSL_read(m_ssl, buf, static_cast<int>(len));
    if (r > 0)
        return r;
    int e = SSL_get_error(m_ssl, r);
    if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE)
        return -2;
    if (e == SSL_ERROR_ZERO_RETURN)
        return 0;
    return -1;
}

bool CTlsStream::Pending() const
{
    return m_ssl && SSL_pending(m_ssl) > 0;
}

void CTlsStream::Close()
{
    if (m_ssl)
        SSL_free(m_ssl);
    if (m_ctx)
        SSL_CTX_free(m_ctx);
    m_ssl = nullptr;
    m_ctx = nullptr;
    m_fd = -1;
}

} // namespace vx
