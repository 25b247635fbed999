#include "sim/FileServer.h"

#include "platform/Crypto.h"
#include "platform/Paths.h"
#include "sim/SimLog.h"
#include "sim/SimText.h"

#include "platform/File.h"
#include "platform/FileOps.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace vx::sim {

namespace {

// Result values of the announce answer. The client knows 1, -4, -6 and -30000; the others
// are failures it reports as "another result".
const int32_t kOk = 1;
const int32_t kBadRequest = -1;
const int32_t kUnknownAccount = -2;
const int32_t kNoFolder = -4;
const int32_t kBusy = -5;
const int32_t kNameTaken = -6;
const int32_t kQuotaFull = -30000;

const size_t kAnswerLen = 55;
const int kReadTimeoutMs = 30000;

// Content keys of uploads running right now: two connections never write the same partial.
std::mutex g_busyMutex;
std::set<std::string> g_busy;

struct BusyKey
{
    explicit BusyKey(const std::string& k) : key(k)
    {
        std::lock_guard<std::mutex> lock(g_busyMutex);
        owned = g_busy.insert(k).second;
    }
    ~BusyKey() { Release(); }
    // Called before the last word to the client: once it has its final answer, its next
    // connection for the same content must not find this one still holding the upload.
    void Release()
    {
        if (owned) {
            std::lock_guard<std::mutex> lock(g_busyMutex);
            g_busy.erase(key);
            owned = false;
        }
    }
    std::string key;
    bool owned = false;
};

struct Answer
{
    uint8_t kind = 0;
    int32_t result = 0;
    int64_t start = 0, end = 0;
    uint8_t md5[16] = {0};
    int64_t dirId = 0;
    int64_t fileId = 0;
};

bool SendAnswer(CSocket& fd, const Answer& a)
{
    uint8_t b[kAnswerLen] = {0};
    PutU16(b, static_cast<uint16_t>(kAnswerLen - 7));
    b[2] = a.kind;
    PutU32(b + 3, static_cast<uint32_t>(a.result));
    PutU64(b + 7, static_cast<uint64_t>(a.start));
    PutU64(b + 15, static_cast<uint64_t>(a.end));
    memcpy(b + 23, a.md5, 16);
    PutU64(b + 39, static_cast<uint64_t>(a.dirId));
    PutU64(b + 47, static_cast<uint64_t>(a.fileId));
    return SendExact(fd, b, sizeof(b));
}

bool SendConfirm(CSocket& fd, int32_t result)
{
    uint8_t b[7] = {0};
    b[2] = 1;
    PutU32(b + 3, static_cast<uint32_t>(result));
    return SendExact(fd, b, sizeof(b));
}

bool SendGarbage(CSocket& fd, size_t len)
{
    std::vector<uint8_t> b(len);
    RandomBytes(b.data(), b.size());
    if (len > 2)
        b[2] = 0x5A; // never a kind the client accepts
    return SendExact(fd, b.data(), b.size());
}

// Digest over whole files for documents, sampled blocks for everything else, as the client.
bool WholeDigestFor(const std::string& name)
{
    return LowerExt(name) == "pdf" || LowerExt(name) == "swf";
}

} // namespace

CFileServer::CFileServer(const SimOptions& opts, SimFaults& faults, CSimStore& store)
    : m_opts(opts), m_faults(faults), m_store(store)
{
}

CFileServer::~CFileServer()
{
    Stop();
}

std::string CFileServer::PartialName(int64_t org, const std::string& md5Hex, int64_t length)
{
    return std::to_string(org) + "_" + md5Hex + "_" + std::to_string(length) + ".part";
}

int CFileServer::Start(int port)
{
    uint16_t bound = 0;
    if (!m_listen.Listen(m_opts.bindHost, static_cast<uint16_t>(port), 64, &bound))
        return -1;
    m_port = bound;
    m_acceptThread = std::thread([this] { AcceptLoop(); });
    return m_port;
}

void CFileServer::Stop()
{
    m_stop = true;
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    m_conns.JoinAll();
    m_listen.Close();
}

void CFileServer::AcceptLoop()
{
    while (!m_stop) {
        auto conn = std::make_shared<CSocket>(m_listen.Accept(200));
        if (!conn->IsValid())
            continue;
        m_conns.Spawn([this, conn] { Serve(*conn); });
    }
}

void CFileServer::Delay()
{
    int ms = m_faults.delayMs;
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void CFileServer::Serve(CSocket& fd)
{
    uint8_t head[7];
    if (!RecvExact(fd, head, sizeof(head), kReadTimeoutMs, &m_stop)) {
        fd.Close();
        return;
    }
    uint16_t len = GetU16(head);
    uint8_t kind = head[2];
    if (kind == 2) {
        SpeedTest(fd);
        fd.Close();
        return;
    }
    if (kind != 0) {
        SimLog("[file:%d] unknown message kind %u, closing", m_port, kind);
        fd.CloseReset();
        return;
    }
    // The rest of the announce: at most 65535 bytes by its 16-bit length, so it fits a buffer.
    std::vector<uint8_t> msg(7 + static_cast<size_t>(len));
    memcpy(msg.data(), head, 7);
    if (len > 0 && !RecvExact(fd, msg.data() + 7, len, 10000, &m_stop)) {
        SimLog("[file:%d] announce cut short (expected %u more bytes), closing", m_port,
               static_cast<unsigned>(len));
        fd.CloseReset();
        return;
    }
    Announce(fd, msg.data(), msg.size());
    fd.Close();
}

void CFileServer::SpeedTest(CSocket& fd)
{
    Delay();
    if (m_faults.garbageFile) {
        uint8_t b[7] = {0, 0, 9, 0x7F, 0, 0, 0};
        SendExact(fd, b, sizeof(b));
        SimLog("[file:%d] speed test refused (garbage switch)", m_port);
        return;
    }
    uint8_t ok[7] = {0, 0, 2, 0, 0, 0, 0};
    if (!SendExact(fd, ok, sizeof(ok)))
        return;
    // Take whatever the client pushes until it closes (or stays silent too long).
    int64_t total = 0;
    std::vector<uint8_t> buf(64 * 1024);
    int idle = 0;
    while (!m_stop && idle < kReadTimeoutMs) {
        if (!fd.WaitReadable(200)) {
            idle += 200;
            continue;
        }
        long n = fd.ReceiveOnce(buf.data(), buf.size());
        if (n <= 0)
            break;
        total += n;
        idle = 0;
    }
    SimLog("[file:%d] speed test: %lld bytes taken", m_port, static_cast<long long>(total));
}

void CFileServer::Announce(CSocket& fd, const uint8_t* msg, size_t len)
{
    Answer a;
    auto reply = [&](int32_t result, const char* why) {
        a.result = result;
        SimLog("[file:%d] announce -> %d (%s)", m_port, result, why);
        Delay();
        if (m_faults.garbageFile)
            SendGarbage(fd, kAnswerLen);
        else
            SendAnswer(fd, a);
    };
    if (len < 76) {
        reply(kBadRequest, "announce too short");
        return;
    }
    int64_t start = static_cast<int64_t>(GetU64(msg + 7));
    int64_t length = static_cast<int64_t>(GetU64(msg + 15));
    memcpy(a.md5, msg + 23, 16);
    int64_t dirId = static_cast<int64_t>(GetU64(msg + 39));
    int64_t org = static_cast<int64_t>(GetU64(msg + 55));
    int64_t user = static_cast<int64_t>(GetU64(msg + 63));
    uint8_t type = msg[71];
    size_t nameLen = GetU16(msg + 72);
    a.dirId = dirId;
    a.end = length;
    if (nameLen == 0 || nameLen + 76 != len) {
        reply(kBadRequest, "name length does not match the message length");
        return;
    }
    std::string rawName(reinterpret_cast<const char*>(msg + 74), nameLen);
    // The stem arrives percent-encoded, the extension as it is; decoding the whole name is
    // the same for every extension the client sends.
    std::string name = UrlDecode(rawName);
    std::string why;
    if (!IsAcceptableName(name, &why)) {
        reply(kBadRequest, "unacceptable name");
        return;
    }
    if (type < 1 || type > 3 || length <= 0 || length > (int64_t(1) << 50)) {
        reply(kBadRequest, "bad type or length");
        return;
    }
    std::string md5Hex = HexOf(a.md5, 16);
    SimLog("[file:%d] announce org=%lld user=%lld dir=%lld type=%u name=%s md5=%s start=%lld end=%lld",
           m_port, static_cast<long long>(org), static_cast<long long>(user), static_cast<long long>(dirId),
           type, name.c_str(), md5Hex.c_str(), static_cast<long long>(start), static_cast<long long>(length));
    auto acc = m_store.AccountById(user);
    if (!acc || acc->orgId != org || org <= 0) {
        reply(kUnknownAccount, "unknown organisation or user");
        return;
    }
    auto folder = m_store.FolderById(org, dirId);
    if (!folder) {
        reply(kNoFolder, "no such folder");
        return;
    }
    std::string key = std::to_string(org) + "_" + md5Hex + "_" + std::to_string(length);
    BusyKey busy(key);
    if (!busy.owned) {
        reply(kBusy, "the same content is being uploaded on another connection");
        return;
    }
    std::string ext = LowerExt(name);
    std::string typeText = ext == "pdf" || ext == "swf" || ext == "flv" ? ext
                                                                        : (type == 2   ? "pdf"
                                                                           : type == 3 ? "swf"
                                                                                       : "flv");
    auto held = [&](const SimFile& f) {
        a.kind = 1;
        a.fileId = f.id;
        a.start = 0;
        if (m_faults.wrongDigest)
            for (auto& b : a.md5)
                b ^= 0xFF;
        reply(kOk, "content already held");
    };
    if (auto same = m_store.FileInFolderByName(org, dirId, name)) {
        if (same->md5Hex == md5Hex && same->size == length)
            held(*same);
        else
            reply(kNameTaken, "name taken by other content");
        return;
    }
    SimFile rec;
    rec.dirId = dirId;
    rec.orgId = org;
    rec.ownerId = user;
    rec.name = name;
    rec.type = typeText;
    rec.size = length;
    rec.md5Hex = md5Hex;
    if (auto copy = m_store.FileByContent(org, md5Hex, length)) {
        // Same bytes elsewhere in the organisation: a new entry sharing the stored file.
        rec.blob = copy->blob;
        held(m_store.AddFile(rec));
        return;
    }
    int64_t total = 0, used = 0;
    m_store.Space(org, &total, &used);
    if (used + length > total) {
        reply(kQuotaFull, "quota exceeded");
        return;
    }

    std::string partial = m_store.PartialDir() + PartialName(org, md5Hex, length);
    int64_t have = FileSize(partial);
    if (have < 0 || have > length)
        have = 0;
    rec.id = m_store.PartialFileId(key);
    bool whole = WholeDigestFor(name);
    auto finish = [&]() {
        // All bytes are in: check them as the client digested them, then keep them for good.
        uint8_t digest[16];
        int64_t size = 0;
        bool match = FileDigest(partial, whole, m_opts.md5Rule, digest, &size) && size == length &&
                     memcmp(digest, msg + 23, 16) == 0;
        if (!match || m_faults.badConfirm) {
            RemoveFileIfAny(partial);
            m_store.ForgetPartial(key);
            return false;
        }
        rec.blob = std::to_string(org) + "_" + md5Hex + "_" + std::to_string(length);
        if (!RenameReplace(partial, m_store.FilesDir() + rec.blob))
            return false;
        m_store.ForgetPartial(key);
        m_store.AddFile(rec);
        return true;
    };
    if (have == length) {
        // An earlier connection delivered everything but ended before the check.
        if (finish()) {
            busy.Release();
            held(rec);
            return;
        }
        have = 0;
    }
    a.kind = 0;
    a.start = have;
    a.end = length;
    a.fileId = rec.id;
    if (m_faults.wrongDigest)
        for (auto& b : a.md5)
            b ^= 0xFF;
    // The client gives up on a garbage or wrong-digest answer: nothing more will come.
    const bool lastWord = m_faults.garbageFile || m_faults.wrongDigest;
    if (lastWord)
        busy.Release();
    reply(kOk, have > 0 ? "resume" : "new upload");
    if (lastWord)
        return;
    if (!ReceiveData(fd, partial, have, length))
        return;
    bool ok = finish();
    SimLog("[file:%d] upload of %s %s", m_port, name.c_str(), ok ? "stored" : "failed the digest check");
    busy.Release();
    Delay();
    if (m_faults.garbageFile)
        SendGarbage(fd, 7);
    else
        SendConfirm(fd, ok ? 1 : -1);
}

bool CFileServer::ReceiveData(CSocket& fd, const std::string& path, int64_t have, int64_t length)
{
    CFile out;
    if (!out.Open(path, CFile::Mode::Write)) {
        SimLog("[file:%d] cannot open %s", m_port, path.c_str());
        return false;
    }
    if (!out.Truncate(have))
        return false;
    int64_t dropAfter = m_faults.dropAfterBytes;
    int64_t received = 0;
    std::vector<uint8_t> buf(256 * 1024);
    int idle = 0;
    bool ok = true;
    while (have < length) {
        if (m_stop) {
            ok = false;
            break;
        }
        if (!fd.WaitReadable(200)) {
            idle += 200;
            if (idle >= kReadTimeoutMs) {
                ok = false;
                break;
            }
            continue;
        }
        idle = 0;
        int64_t want = std::min<int64_t>(static_cast<int64_t>(buf.size()), length - have);
        if (dropAfter >= 0)
            want = std::min(want, dropAfter - received);
        long n = want > 0 ? fd.ReceiveOnce(buf.data(), static_cast<size_t>(want)) : 0;
        if (n <= 0) {
            ok = false;
            break;
        }
        if (!out.WriteAt(buf.data(), static_cast<size_t>(n), have)) {
            ok = false;
            break;
        }
        have += n;
        received += n;
        if (dropAfter >= 0 && received >= dropAfter && have < length) {
            SimLog("[file:%d] dropping the connection after %lld data bytes (drop-after switch)", m_port,
                   static_cast<long long>(received));
            out.Close();
            fd.Shutdown();
            return false;
        }
    }
    out.Close();
    if (!ok)
        SimLog("[file:%d] upload stopped at %lld of %lld bytes; kept for a resume", m_port,
               static_cast<long long>(have), static_cast<long long>(length));
    return ok;
}

} // namespace vx::sim
