#pragma once
// Small raw clients for the simulator's tests, written from the wire layouts alone: a plain
// HTTP/1.1 exchange over a socket, the upload announce, and the sampled digest.

#include "platform/Socket.h"

#include <cstdint>
#include <json/json.h>
#include <string>
#include <vector>

namespace vx::test::sim {

struct HttpReply
{
    int status = 0;
    std::string head; // status line and headers
    std::string body;
    bool hasContentLength = false;
    bool closedByPeer = false;           // the server ended the connection (rather than a time-out here)
    std::vector<std::string> setCookies; // values of the Set-Cookie lines
    std::string Header(const std::string& name) const;
    Json::Value JsonBody() const; // null when the body is not a JSON object
};

// Sends rawRequest as it stands and reads the answer until the peer closes.
HttpReply RawHttp(int port, const std::string& rawRequest, int timeoutMs = 10000);
HttpReply Get(int port, const std::string& target, const std::string& cookie = "",
              const std::string& extraHeaders = "");
HttpReply PostForm(int port, const std::string& target, const std::string& body, const std::string& cookie);

std::string Md5Hex(const std::string& text);
std::string Hex(const uint8_t md5[16]);
// Logs in and returns the cookie text as the client builds it ("JSESSIONID=..;SA=..;").
std::string Login(int port, const std::string& user, const std::string& password,
                  Json::Value* answer = nullptr);
// The client's name encoding: letters and digits kept, blank as '+', other bytes as %XX.
std::string Encode(const std::string& text);

// A connected TCP socket to 127.0.0.1:port; not valid when nobody answered.
CSocket Connect(int port);
bool SendAll(CSocket& s, const void* data, size_t len);
// Reads exactly len bytes within timeoutMs in all; false on close, error or time-out.
bool RecvExact(CSocket& s, void* buf, size_t len, int timeoutMs = 10000);

struct Announce
{
    uint32_t newFlag = 1;
    int64_t start = 0;
    int64_t end = 0;
    uint8_t md5[16] = {0};
    int64_t dirId = 0;
    int64_t fileId = 0;
    int64_t orgId = 0;
    int64_t userId = 0;
    uint8_t type = 1;
    std::string wireName; // already encoded
    uint16_t version = 20317;
    std::vector<uint8_t> Bytes() const;
};

struct AnswerMsg
{
    uint16_t length = 0;
    uint8_t kind = 0xFF;
    int32_t result = 0;
    int64_t start = 0, end = 0;
    uint8_t md5[16] = {0};
    int64_t fileId = 0;
};
// Reads one answer (7-byte head, then the announced rest); false when none arrived.
bool ReadAnswer(CSocket& s, AnswerMsg* a);

// Digest as the client computes it: whole, or 1024-byte blocks 0, rule, 2*rule ...; reads only
// the hashed blocks so sparse multi-gigabyte files are quick.
void SampledMd5(const std::string& path, bool whole, int rule, uint8_t out[16]);

} // namespace vx::test::sim
