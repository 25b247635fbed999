// libFuzzer target: a whole GET through CHttpClient against an in-process server on 127.0.0.1
// that answers every request with the fuzz input and closes. Exercises the head reading, every
// body framing and the size caps on real sockets.

#include "net/HttpClient.h"
#include "platform/Socket.h"

// fuzz/run builds each target from its one source, so the tests' socket helpers come in whole.
#include "tests/common/LoopbackServer.cpp"

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
    uint16_t port = 0;

    Server()
    {
        vx::IgnoreSigpipe();
        listenFd = vx::test::ListenOnLoopback(&port);
    }

    // Accepts one connection, reads the request head, sends answer, closes.
    void ServeOnce(const std::string& answer) const
    {
        int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        std::string req;
        vx::test::RecvUntil(fd, &req, "\r\n\r\n", 1000);
        vx::test::SendAllBytes(fd, answer);
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
