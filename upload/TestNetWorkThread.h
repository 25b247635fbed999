#pragma once
// The speed test: connects to every listed file server at once, asks each for a test session
// (a third of the time budget to agree), pushes 1400-byte blocks to all that agreed for the
// same fixed time, and reports the server
// that accepted the most bytes (the first in list order on a tie) as WM_FILESERVER_TEST.
// With no server in the list it reports "no server" at once, so the uploads waiting for the
// test go on with the configured file server instead of waiting for ever. The first server
// that agrees to the test is posted at once as WM_FILESERVER_FIRST, so uploads need not wait
// for the whole measurement.

#include "media/Thread.h"
#include "platform/MessageLoop.h"
#include "platform/Socket.h"
#include "upload/UploadMessages.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <vector>

namespace vx {

class CTestNetWorkThread : public CThread
{
public:
    // wnd 0: nothing is posted; the caller reads GetResult after the run.
    explicit CTestNetWorkThread(MsgTarget wnd, uint32_t msgId = WM_FILESERVER_TEST);
    ~CTestNetWorkThread() override;

    // Before Start. address: IPv4 in network byte order; 0xFFFFFFFF (an unresolved host) is
    // ignored.
    void AddServer(uint32_t address, uint16_t port);
    // A dotted IPv4 text; false (nothing added) when it is not one.
    bool AddServer(const std::string& dotted, uint16_t port);
    size_t ServerCount() const;

    void SetTimeBudget(int ms) { m_nTimeBudgetMs = ms; }
    // Set when a stop was asked for and when the test has finished.
    bool IsDone() const { return m_bDone.load(); }
    // Asks the run to end and waits for it.
    void StopEx();
    // The choice of the finished run: false when no server took any data (or no run ended).
    bool GetResult(std::string* host, uint16_t* port) const;
    // True once the run has come to its result (and posted it), whatever it was.
    bool HasResult() const;
    // A number of this test's own, carried by its WM_FILESERVER_FIRST.
    uint64_t Id() const { return m_uId; }

    static constexpr int kConnectMs = 3000;
    static constexpr int kBlock = 1400;

    // One server's outcome: whether its connection stayed usable and the bytes it accepted.
    struct Sample
    {
        bool open = false;
        uint64_t bytes = 0;
    };
    // The winner among samples in list order: the first whose connection is open and whose
    // count is above 0 and strictly above every earlier open one's, so a tie goes to the
    // earlier server. -1 when no open server accepted anything.
    static int PickFastest(const std::vector<Sample>& samples);

    // IPv4 helpers: network byte order <-> dotted text. 0xFFFFFFFF for a text that is not one.
    static uint32_t AddressFromDotted(const std::string& dotted);
    static std::string DottedFromAddress(uint32_t address);

protected:
    void Process() override;

private:
    struct Entry
    {
        uint32_t address = 0;
        uint16_t port = 0;
        CSocket sock;
        uint64_t bytes = 0;
        bool answered = false;
        bool refused = false;
    };
    void Measure();
    void CloseEntry(Entry& e);
    void CloseAll();
    void Finish(uint32_t address, uint16_t port);

    mutable std::mutex m_lock; // the list's length and the result, read from other threads
    std::list<Entry> m_listServer;
    int m_nMode = 1;
    MsgTarget m_hWnd;
    uint32_t m_uMsgId;
    int m_nTimeBudgetMs = 10000;
    std::atomic<bool> m_bDone{false};
    const uint64_t m_uId;
    bool m_bHaveResult = false;
    uint32_t m_uResultAddr = kNoServerAddress;
    uint16_t m_usResultPort = 0;
};

} // namespace vx
