#include "TlsProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vx::test {

CTlsProxy::~CTlsProxy()
{
    m_server.Stop();
    if (m_ctx)
        SSL_CTX_free(m_ctx);
}

bool CTlsProxy::Start(const std::string& certFile, const std::string& keyFile, uint16_t backendPort)
{
    m_backend = backendPort;
    m_ctx = SSL_CTX_new(TLS_server_method());
    if (!m_ctx || SSL_CTX_use_certificate_file(m_ctx, certFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(m_ctx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
        return false;
    return m_server.Start([this](int fd) { Serve(fd); });
}

void CTlsProxy::Serve(int fd)
{
    timeval tv{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    SSL* ssl = SSL_new(m_ctx);
    SSL_set_fd(ssl, fd);
    if (SSL_accept(ssl) != 1) {
        ++m_failed;
        SSL_free(ssl);
        return;
    }
    ++m_handshakes;
    int back = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(m_backend);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(back, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) == 0) {
        char buf[16384];
        while (!m_server.Stopping()) {
            pollfd p[2] = {{fd, POLLIN, 0}, {back, POLLIN, 0}};
            if (SSL_pending(ssl) == 0 && poll(p, 2, 100) <= 0)
                continue;
            if (SSL_pending(ssl) > 0 || (p[0].revents & (POLLIN | POLLHUP | POLLERR))) {
                int n = SSL_read(ssl, buf, sizeof(buf));
                if (n <= 0 || !SendAllBytes(back, buf, static_cast<size_t>(n)))
                    break;
            }
            if (p[1].revents & (POLLIN | POLLHUP | POLLERR)) {
                ssize_t n = recv(back, buf, sizeof(buf), 0);
                if (n <= 0 || SSL_write(ssl, buf, static_cast<int>(n)) != n)
                    break;
            }
        }
    }
    close(back);
    SSL_free(ssl);
}

} // namespace vx::test
