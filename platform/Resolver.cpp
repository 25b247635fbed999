#include "platform/Resolver.h"

#include "platform/Socket.h"

#include <algorithm>
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace vx {

std::vector<std::string> ResolveHostAll(const std::string& name)
{
    std::vector<std::string> out;
    if (name.empty())
        return out;
    in_addr a;
    if (inet_pton(AF_INET, name.c_str(), &a) == 1) {
        out.push_back(name);
        return out;
    }
    IgnoreSigpipe(); // on Windows: the sockets library must be started before a name is resolved
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM; // one entry per address, not one per socket type
    addrinfo* res = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &res) != 0 || !res)
        return out;
    for (addrinfo* p = res; p; p = p->ai_next) {
        if (p->ai_family != AF_INET || !p->ai_addr)
            continue;
        char text[INET_ADDRSTRLEN] = {0};
        if (!inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr, text, sizeof(text)))
            continue;
        if (std::find(out.begin(), out.end(), text) == out.end())
            out.push_back(text);
    }
    freeaddrinfo(res);
    return out;
}

} // namespace vx
