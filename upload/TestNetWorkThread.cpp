#include "upload/TestNetWorkThread.h"

#include "app/LogFile.h"
#include "upload/TransProtocol.h"

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace vx {

namespace {
using Clock = std::chrono::steady_clock;
}

uint32_t CTestNetWorkThread::AddressFromDotted(const std::string& dotted)
{
    uint8_t b[4] = {};
    int part = 0, digits = 0;
    unsigned value = 0;
    for (size_t i = 0; i <= dotted.size(); ++i) {
        char c = i < dotted.size() ? dotted[i] : '.';
        if (c >= '0' && c <= '9') {
            value = value * 10 + static_cast<unsigned>(c - '0');
            if (++digits > 3 || value > 255)
                return kNoServerAddress;
        } else if (c == '.' && digits > 0 && part < 4) {
            b[part++] = static_cast<uint8_t>(value);
            value = 0;
            digits = 0;
        } else {
            return kNoServerAddress;
        }
    }
    if (part != 4)
        return kNoServerAddress;
    uint32_t a;
    std::memcpy(&a, b, 4); // network byte order: the first octet first in memory
    return a;
}

std::string CTestNetWorkThread::DottedFromAddress(uint32_t address)
{
    uint8_t b[4];
    std::memcpy(b, &address, 4);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
           std::to_string(b[3]);
}

namespace {
std::atomic<uint64_t> g_lastTestId{0};
}

CTestNetWorkThread::CTestNetWorkThread(MsgTarget wnd, uint32_t msgId)
    : m_hWnd(wnd), m_uMsgId(msgId), m_uId(++g_lastTestId)
{
}

CTestNetWorkThread::~CTestNetWorkThread()
{
    Log(g_log, "Info : CTestNetWorkThread::-------------start:%d ,%d", static_cast<int>(ThreadId()),
        m_bDone ? 1 : 0);
    m_bDone = true;
    StopEx();
    std::lock_guard<std::mutex> lock(m_lock);
    m_listServer.clear();
    Log(g_log, "Info : CTestNetWorkThread-------------start:%d ,%d", 0, 1);
}

void CTestNetWorkThread::StopEx()
{
    Log(g_log, "Info : CTestNetWorkThread::StopEx-------------start:%d ,%d", static_cast<int>(ThreadId()),
        m_bDone ? 1 : 0);
    m_bDone = true;
    Join();
    Log(g_log, "Info : CTestNetWorkThread::StopEx-------------end ");
}

void CTestNetWorkThread::AddServer(uint32_t address, uint16_t port)
{
    if (address == kNoServerAddress)
        return;
    std::lock_guard<std::mutex> lock(m_lock);
    Entry& e = m_listServer.emplace_back();
    e.address = address;
    e.port = port;
}

bool CTestNetWorkThread::AddServer(const std::string& dotted, uint16_t port)
{
    uint32_t a = AddressFromDotted(dotted);
    if (a == kNoServerAddress)
        return false;
    AddServer(a, port);
    return true;
}

size_t CTestNetWorkThread::ServerCount() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_listServer.size();
}

bool CTestNetWorkThread::GetResult(std::string* host, uint16_t* port) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_bHaveResult || m_uResultAddr == kNoServerAddress)
        return false;
    *host = DottedFromAddress(m_uResultAddr);
    *port = m_usResultPort;
    return true;
}

bool CTestNetWorkThread::HasResult() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bHaveResult;
}

void CTestNetWorkThread::Process()
{
    if (m_nMode != 1)
        return;
    if (ServerCount() == 0) {
        // Nobody to measure: say so now, so nothing waits for a choice that never comes.
        Finish(kNoServerAddress, 0);
        m_bDone = true;
        return;
    }
    Measure();
    m_bDone = true;
}

void CTestNetWorkThread::Finish(uint32_t address, uint16_t port)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bHaveResult = true;
        m_uResultAddr = address;
        m_usResultPort = port;
    }
    if (m_hWnd != 0 && m_uMsgId != 0) {
        FileServerChoice c;
        if (address != kNoServerAddress) {
            c.strHost = DottedFromAddress(address);
            c.usPort = port;
        }
        CMessageLoop::Main().PostMsg(m_hWnd, m_uMsgId, address, MakePayload(c));
    }
}

void CTestNetWorkThread::CloseEntry(Entry& e)
{
    if (!e.sock.IsValid())
        return;
    e.sock.SetLinger(true, 0);
    e.sock.Close();
}

void CTestNetWorkThread::CloseAll()
{
    for (Entry& e : m_listServer)
        CloseEntry(e);
}

void CTestNetWorkThread::Measure()
{
    // The list is filled before Start and emptied after the run: this thread owns it meanwhile.
    int connected = 0;
    for (Entry& e : m_listServer) {
        e.bytes = 0;
        e.answered = false;
        e.refused = false;
        if (m_bDone)
            break;
        if (e.sock.Connect(DottedFromAddress(e.address), e.port, kConnectMs))
            ++connected;
    }
    if (connected == 0) {
        Finish(kNoServerAddress, 0);
        return;
    }
    if (m_bDone) {
        CloseAll();
        return;
    }

    const std::string req = BuildTestRequest();
    int sent = 0;
    for (Entry& e : m_listServer) {
        if (!e.sock.IsValid() || !WaitWritable(e.sock, 0))
            continue;
        if (e.sock.SendAll(req.data(), req.size(), 0) == SockResult::Ok)
            ++sent;
        else
            CloseEntry(e);
    }
    if (sent == 0) {
        CloseAll();
        if (!m_bDone)
            Finish(kNoServerAddress, 0);
        return;
    }

    // Answers: every server that got the request has until a third of the budget to agree.
    // Ending the wait at the first answer would leave out servers that answer a moment later,
    // and the choice would follow who spoke first instead of who takes data fastest.
    auto deadline = Clock::now() + std::chrono::milliseconds(m_nTimeBudgetMs / 3);
    bool firstPosted = false;
    while (!m_bDone && Clock::now() < deadline) {
        bool anyWaiting = false;
        for (Entry& e : m_listServer) {
            if (!e.sock.IsValid() || e.answered || e.refused)
                continue;
            anyWaiting = true;
            if (!WaitReadable(e.sock, 0))
                continue;
            unsigned char b[20] = {};
            size_t n = 0;
            if (e.sock.RecvSome(b, sizeof(b), 0, &n) != SockResult::Ok || n < kTransHeadLen) {
                CloseEntry(e);
                continue;
            }
            if (b[2] == kTransKindTest && GetLe(b, 2) == 0) {
                e.answered = true;
                if (!firstPosted && m_hWnd != 0) {
                    FileServerChoice c{DottedFromAddress(e.address), e.port};
                    CMessageLoop::Main().PostMsg(m_hWnd, WM_FILESERVER_FIRST, m_uId, MakePayload(c));
                    firstPosted = true;
                }
            } else {
                e.refused = true;
                Log(g_log, "Info : Test speed,code:%d  ", b[3]);
            }
        }
        if (!anyWaiting)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }

    bool anyAnswered = false;
    for (const Entry& e : m_listServer)
        anyAnswered = anyAnswered || (e.answered && e.sock.IsValid());
    if (anyAnswered && !m_bDone) {
        std::string block = req;
        block.resize(kBlock, '\0');
        auto end = Clock::now() + std::chrono::milliseconds(m_nTimeBudgetMs);
        while (!m_bDone && Clock::now() < end) {
            bool wrote = false;
            for (Entry& e : m_listServer) {
                if (!e.answered || !e.sock.IsValid() || !WaitWritable(e.sock, 0))
                    continue;
                SockResult r = e.sock.SendAll(block.data(), block.size(), 0);
                if (r == SockResult::Ok) {
                    e.bytes += block.size();
                    wrote = true;
                } else if (r != SockResult::Timeout) {
                    CloseEntry(e); // a server that failed during the test is not chosen
                }
            }
            if (!wrote)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    if (m_bDone) {
        CloseAll();
        return;
    }
    std::vector<Sample> samples;
    for (const Entry& e : m_listServer)
        samples.push_back({e.sock.IsValid(), e.bytes});
    uint32_t bestAddr = kNoServerAddress;
    uint16_t bestPort = 0;
    int best = PickFastest(samples);
    for (const Entry& e : m_listServer) {
        if (best-- == 0) {
            bestAddr = e.address;
            bestPort = e.port;
        }
    }
    CloseAll();
    Finish(bestAddr, bestPort);
    Log(g_log, "Info : test finish %d,%d", static_cast<int>(bestAddr), bestPort);
}

int CTestNetWorkThread::PickFastest(const std::vector<Sample>& samples)
{
    int best = -1;
    uint64_t most = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (samples[i].open && samples[i].bytes > most) {
            most = samples[i].bytes;
            best = static_cast<int>(i);
        }
    }
    return best;
}

} // namespace vx
