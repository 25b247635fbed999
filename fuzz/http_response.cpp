// libFuzzer target: a whole GET through CHttpClient against an in-process server on 127.0.0.1
// that answers every request with the fuzz input and closes. Exercises the head reading, every
// body framing and the size caps on real sockets.

#include "net/HttpClient.h"
#include "platform/Socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

namespace {

struct Server
{
    int listenFd = -1;
    int port = 0;

    Server()
    {
        vx::IgnoreSigpipe();
        listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listenFd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
        listen(listenFd, 4);
        socklen_t len = sizeof(sa);
        getsockname(listenFd, reinterpret_cast<sockaddr*>(&sa), &len);
        port = ntohs(sa.sin_port);
    }

    // Accepts one connection, reads the request head, sends answer, closes.
    void ServeOnce(const std::string& answer) const
    {
        int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        std::string req;
        char buf[2048];
        while (req.find("\r\n\r\n") == std::string::npos) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 1000) <= 0)
                break;
            ssize_t n = recv(fd, buf, sizeof(buf), 0);
            if (n <= 0)
                break;
            req.append(buf, static_cast<size_t>(n));
        }
        size_t off = 0;
        while (off < answer.size()) {
            ssize_t n = send(fd, answer.data() + off, answer.size() - off, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            off += static_cast<size_t>(n);
        }
        shutdown(fd, SHUT_RDWR);
        close(fd);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Server server;
    std::string answer(reinterpret_cast<const char*>(data), size);
    std::thread t([&] { server.ServeOnce(answer); });
    vx::CHttpClient client;
    vx::HttpTimeouts to;
    to.connectMs = 1000;
    to.recvWaitMs = 50;
    to.recvWaitTries = 1;
    client.SetTimeouts(to);
    bool ok = client.Get("http://127.0.0.1:" + std::to_string(server.port) + "/fuzz", "");
    t.join();
    if (client.GetBody().size() > vx::CHttpClient::kMaxBodyBytes + 64 * 1024)
        __builtin_trap();
    if (ok && client.GetResponseHead().empty())
        __builtin_trap();
    client.GetCookies();
    return 0;
}
