#include "app/VersionCheck.h"

#include "app/AppConfig.h"
#include "app/LogFile.h"
#include "app/Utils.h"
#include "platform/Socket.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace vx {

namespace {

void PutLe16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

uint16_t GetLe16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// The address as the logs show it: the 32-bit network-order value read as an unsigned number.
unsigned IpValue(const std::string& dotted)
{
    uint32_t a = 0;
    if (!ParseIpv4(dotted, &a))
        return 0xFFFFFFFFu;
    return a;
}

// Closing the way the version server expects: no lingering data, both directions shut.
void CloseHard(CSocket& s)
{
    if (!s.IsValid())
        return;
    s.SetLinger(true, 0);
    s.Shutdown();
    s.Close();
}

using Clock = std::chrono::steady_clock;

} // namespace

bool ParseAppVersion(const std::string& text, uint16_t ver[4])
{
    size_t d1 = text.find('.');
    size_t d2 = d1 == std::string::npos ? d1 : text.find('.', d1 + 1);
    size_t d3 = d2 == std::string::npos ? d2 : text.find('.', d2 + 1);
    if (d3 == std::string::npos || d3 + 1 >= text.size())
        return false;
    ver[0] = static_cast<uint16_t>(atoi(text.substr(0, d1).c_str()));
    ver[1] = static_cast<uint16_t>(atoi(text.substr(d1 + 1, d2 - d1 - 1).c_str()));
    ver[2] = static_cast<uint16_t>(atoi(text.substr(d2 + 1, d3 - d2 - 1).c_str()));
    ver[3] = static_cast<uint16_t>(atoi(text.substr(d3 + 1).c_str()));
    return true;
}

std::vector<uint8_t> BuildVersionRequest(const uint16_t ver[4])
{
    std::vector<uint8_t> req(kVersionRequestSize, 0);
    PutLe16(&req[0], kVersionMsgType);
    PutLe16(&req[2], 0xFFFF);
    PutLe16(&req[4], 9); // payload: four version numbers and the trailing 2
    req[10] = 1;
    req[11] = 1;
    // 12..31: zero (bytes 24..31 are reserved and carry nothing from this client)
    for (int i = 0; i < 4; ++i)
        PutLe16(&req[32 + 2 * i], ver[i]);
    req[40] = 2;
    return req;
}

size_t VersionReplyNeeded(const uint8_t* buf, size_t got)
{
    if (got < kVersionReplyHeadSize)
        return kVersionReplyHeadSize;
    // The length field is the server's word; never more than the buffer can hold.
    size_t n = GetLe16(buf + 32);
    size_t need = kVersionReplyHeadSize + n;
    return need > kVersionReplyBufSize ? kVersionReplyBufSize : need;
}

bool VersionReplyComplete(const uint8_t* buf, size_t got)
{
    if (got < kVersionReplyMinSize)
        return false;
    if (GetLe16(buf + 6) == 1 || got >= kVersionReplyBufSize)
        return true;
    return got >= VersionReplyNeeded(buf, got);
}

VersionResult ParseVersionReply(const uint8_t* buf, size_t len, std::string* text, std::string* cause)
{
    text->clear();
    if (len < kVersionReplyMinSize) {
        if (cause)
            *cause = "malformed reply of " + std::to_string(len) + " bytes (a reply has at least 32)";
        return VersionResult::Failed;
    }
    if (GetLe16(buf) != kVersionMsgType) {
        Log(g_log, "Error : what?? get version, but return data type not Ver");
        if (cause)
            *cause = "malformed reply of type " + std::to_string(GetLe16(buf)) + " instead of 800";
        return VersionResult::Failed;
    }
    if (GetLe16(buf + 6) == 1)
        return VersionResult::UpToDate;
    // Only bytes that arrived are read. Without its length field (32 or 33 bytes) the reply
    // carries no text. The length is the server's word, limited to what the buffer holds; a
    // text shorter than announced was cut on the way and is no installer address.
    if (len < kVersionReplyHeadSize)
        return VersionResult::UpdateDue;
    const size_t announced = GetLe16(buf + 32);
    const size_t n = std::min(announced, kVersionReplyBufSize - kVersionReplyHeadSize);
    const size_t arrived = std::min(len, kVersionReplyBufSize) - kVersionReplyHeadSize;
    if (arrived < n) {
        if (cause)
            *cause = "malformed reply: an update text of " + std::to_string(announced) +
                     " bytes announced, " + std::to_string(arrived) + " arrived";
        return VersionResult::Failed;
    }
    text->assign(reinterpret_cast<const char*>(buf + kVersionReplyHeadSize), n);
    // A NUL cannot travel in a command-line argument; the text ends there.
    size_t nul = text->find('\0');
    if (nul != std::string::npos)
        text->resize(nul);
    return VersionResult::UpdateDue;
}

bool RequestVersionData(uint8_t* buf, size_t* len, const std::string& host, uint16_t port, bool tcp,
                        const VersionWaits& waits)
{
    memset(buf, 0, kVersionReplyBufSize);
    *len = 0;
    const unsigned ip = IpValue(host);
    uint16_t ver[4] = {0, 0, 0, 0};
    ParseAppVersion(GetAppVersion(), ver);
    std::vector<uint8_t> req = BuildVersionRequest(ver);

    CSocket sock;
    if (tcp) {
        std::string err;
        errno = 0;
        if (!sock.Connect(host, port, waits.tcpConnectMs, &err)) {
            int code = errno;
            if (err.find("timed out") != std::string::npos)
                Log(g_log, "Error : do connect, but select time out");
            Log(g_log, "Error : request data connect failed, ip=%u, port=%u, code=%d", ip, port, code);
            return false;
        }
        if (sock.SendAll(req.data(), req.size(), waits.tcpConnectMs) != SockResult::Ok) {
            Log(g_log, "Error: request data recv failed. gateway, ip = %u, port = %d, ecode = %d", ip, port,
                errno);
            CloseHard(sock);
            return false;
        }
    } else {
        if (!sock.OpenUdp() || !sock.SendTo(host, port, req.data(), req.size())) {
            Log(g_log, "Err: select failed. gateway, ip = %u, port = %d, ecode = %d", ip, port, errno);
            CloseHard(sock);
            return false;
        }
    }

    // The whole exchange is bounded by the number of waits, however the reply is split.
    const int waitMs = tcp ? waits.tcpWaitMs : waits.udpWaitMs;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs * waits.waitTries);
    size_t got = 0;
    // 32 bytes make a reply; over TCP the rest of its text gets one more wait, no longer.
    auto accepted = [&got] { return got >= kVersionReplyMinSize; };
    for (;;) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        if (left <= 0) {
            if (accepted())
                break;
            if (tcp)
                Log(g_log, "Error: request data select failed. gateway, ip = %u, port = %d, ecode = %d", ip,
                    port, errno);
            else
                Log(g_log,
                    "Error: request data select 10 times failed. gateway, ip = %u, port = %d, ecode = %d", ip,
                    port, errno);
            *len = got;
            CloseHard(sock);
            return false;
        }
        size_t n = 0;
        SockResult r;
        if (tcp) {
            r = sock.RecvSome(buf + got, kVersionReplyBufSize - got, left < waitMs ? left : waitMs, &n);
        } else {
            std::string from;
            uint16_t fromPort = 0;
            r = sock.RecvFrom(buf + got, kVersionReplyBufSize - got, left < waitMs ? left : waitMs, &n, &from,
                              &fromPort);
            // Anyone can send a datagram to our port; only the server asked may answer.
            if (r == SockResult::Ok && (from != host || fromPort != port)) {
                memset(buf + got, 0, n);
                continue;
            }
        }
        if (r == SockResult::Timeout) {
            if (accepted())
                break;
            continue;
        }
        if (r != SockResult::Ok || n == 0) {
            if (accepted())
                break;
            Log(g_log, "Error: request data recv failed. gateway, ip = %u, port = %d, ecode = %d", ip, port,
                errno);
            *len = got;
            CloseHard(sock);
            return false;
        }
        got += n;
        // A datagram is whole as it comes; a stream may still carry the rest of the text.
        if (accepted() && (!tcp || VersionReplyComplete(buf, got)))
            break;
    }
    *len = got;
    CloseHard(sock);
    return true;
}

VersionResult AskVersionServer(const std::string& host, int port, const std::string& appVersion,
                               std::string* updateText, std::string* cause, const VersionWaits& waits)
{
    updateText->clear();
    std::string dotted;
    if (!ResolveHost(host, &dotted)) {
        Log(g_log, "Error : Check Version, get host failed, code(%d)", errno);
        *cause = "cannot resolve version server " + host;
        return VersionResult::Failed;
    }
    if (dotted == "255.255.255.255") {
        Log(g_log, "Error : check version, get ip value falied, ip(%s)", dotted.c_str());
        *cause = "version server " + host + " has no usable address";
        return VersionResult::Failed;
    }
    if (port <= 0 || port > 65535) {
        *cause = "version server port " + std::to_string(port) + " is invalid";
        return VersionResult::Failed;
    }
    uint16_t ver[4];
    if (!ParseAppVersion(appVersion, ver)) {
        Log(g_log, "Error : Check Version, parse APP version(%s) to protoco value failed",
            appVersion.c_str());
        *cause = "cannot read program version " + appVersion;
        return VersionResult::Failed;
    }
    const std::string where = host + ":" + std::to_string(port);
    uint8_t buf[kVersionReplyBufSize];
    size_t len = 0;
    if (!RequestVersionData(buf, &len, dotted, static_cast<uint16_t>(port), false, waits)) {
        const size_t udpLen = len;
        if (!RequestVersionData(buf, &len, dotted, static_cast<uint16_t>(port), true, waits)) {
            // Bytes that came but make no reply are a broken server, not a silent one.
            if (len == 0 && udpLen == 0)
                *cause = "version server " + where + " did not answer over UDP or TCP";
            else
                *cause = "version server " + where + " sent a malformed reply of " +
                         std::to_string(std::max(len, udpLen)) + " bytes (a reply has at least 32)";
            return VersionResult::Failed;
        }
    }
    std::string why;
    VersionResult r = ParseVersionReply(buf, len, updateText, &why);
    if (r == VersionResult::Failed)
        *cause = "version server " + where + " sent a " + why;
    return r;
}

bool CheckVersion(std::string* updateText, const VersionCheckHooks& hooks)
{
    updateText->clear();
    std::string host;
    int port = 0;
    if (!hooks.liveServerLookup || hooks.liveServerLookup(&host, &port) < 0 || host.empty() || port <= 0) {
        const CAppConfig& cfg = CAppConfig::Instance();
        host = cfg.m_strVerHost;
        port = cfg.m_nVerPort;
    }
    std::string cause;
    const VersionResult r = AskVersionServer(host, port, GetAppVersion(), updateText, &cause, hooks.waits);
    if (r == VersionResult::Failed && !cause.empty())
        Log(g_log, "Error : Check Version, %s", cause.c_str());
    return r == VersionResult::UpdateDue;
}

bool IsHttpUrl(const std::string& text)
{
    std::string lower = ToLower(text);
    size_t hostStart;
    if (lower.rfind("http://", 0) == 0)
        hostStart = 7;
    else if (lower.rfind("https://", 0) == 0)
        hostStart = 8;
    else
        return false;
    if (hostStart >= text.size() || text[hostStart] == '/' || text[hostStart] == ':')
        return false;
    for (unsigned char c : text)
        if (c <= 0x20 || c == 0x7F)
            return false;
    return true;
}

std::vector<std::string> BuildUpdaterArgs(const std::string& updateText, const std::string& productName,
                                          const std::string& mainProgramPath,
                                          const std::vector<std::string>& mainProgramArgs)
{
    std::vector<std::string> args{updateText, productName, mainProgramPath};
    args.insert(args.end(), mainProgramArgs.begin(), mainProgramArgs.end());
    return args;
}

} // namespace vx
