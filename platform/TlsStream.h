#pragma once
// The client side of a TLS connection over a socket that is already connected: the server's
// certificate must chain to a trusted authority and name the host we asked for, or nothing is
// sent. The trusted authorities are the system's (OpenSSL's default paths, which also honour
// SSL_CERT_FILE and SSL_CERT_DIR), or the one file a caller names.

#include <atomic>
#include <cstddef>
#include <string>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace vx {

class CTlsStream
{
public:
    enum class Result
    {
        Ok,
        Failed,    // no handshake: time-out, stop, closed, or not a TLS server
        Untrusted, // the certificate does not chain to a trusted authority or names another host
    };

    CTlsStream() = default;
    ~CTlsStream() { Close(); }
    CTlsStream(const CTlsStream&) = delete;
    CTlsStream& operator=(const CTlsStream&) = delete;

    // Runs the handshake on fd (not owned; switched to non-blocking) for host (a name or a
    // dotted address). caFile empty: the system's authorities. Gives up after timeoutMs or
    // when *stop becomes true. *err says why on failure.
    Result Handshake(int fd, const std::string& host, const std::string& caFile, int timeoutMs,
                     const std::atomic<bool>* stop, std::string* err);
    // Sends every byte within timeoutMs; false on failure.
    bool SendAll(const char* data, size_t len, int timeoutMs, const std::atomic<bool>* stop);
    // Bytes read (> 0), 0 when the peer closed, -1 on an error, -2 when no whole record has
    // arrived yet (wait for the socket to become readable and ask again).
    long Recv(char* buf, size_t len);
    // Decrypted bytes waiting to be read: the socket may be quiet while these are there.
    bool Pending() const;
    // Frees the session; the socket stays open for its owner to close.
    void Close();

private:
    // Waits for the socket as OpenSSL asked (read or write); false on time-out or stop.
    bool WaitFor(int sslError, int timeoutMs, const std::atomic<bool>* stop);

    int m_fd = -1;
    SSL_CTX* m_ctx = nullptr;
    SSL* m_ssl = nullptr;
};

} // namespace vx
