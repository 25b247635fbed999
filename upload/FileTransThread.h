#pragma once
// One upload worker: sends one file per run to a file server and reports progress and the
// result through its manager's callback. A run makes one attempt; the caller decides on retries.
//
//   connect -> announce -> answer (the server's range, or "already complete") -> the raw bytes
//   of exactly that range -> 7-byte digest confirmation -> reset-close -> code-21 report
//
// Result codes of a run (the report code): 1 uploaded or already complete, 2 progress,
// -101 the bytes sent do not reach the end (also: the file changed size since its digest),
// -102 unusable answer, -103 confirmation missing or not positive, -104 socket or connection
// failure, -105 server result -6 or -30000, -106 bad task, -107 other server result,
// -108 no digest, -109 server result -4.

#include "media/Thread.h"
#include "platform/Socket.h"
#include "store/TransRecords.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vx {

class CFileTransMgr;

enum TransResult : int
{
    TRANS_OK = 1,
    TRANS_STOPPED = 0, // internal: a stop ended the run; nothing is reported for it
    TRANS_ASSIGNED = 11,
    TRANS_BUSY = -11,
    TRANS_NO_SOCKET = -12,
    TRANS_SHORT = -101,
    TRANS_BAD_ANSWER = -102,
    TRANS_NO_CONFIRM = -103,
    TRANS_SOCKET = -104,
    TRANS_REFUSED = -105,
    TRANS_BAD_TASK = -106,
    TRANS_OTHER_RESULT = -107,
    TRANS_NO_MD5 = -108,
    TRANS_REFUSED_4 = -109,
    TRANS_NO_ANSWER = -110 // the file server took the connection but did not answer in time
};

using TransReportFn = std::function<void(TransReportPtr)>;

// What the manager gives every worker it creates.
struct _sTransWorkerParam
{
    std::string strHost; // default server (a task names its own)
    uint16_t usPort = 0;
    int64_t i64OrgId = 0;
    int64_t i64UserId = 0;
    CFileTransMgr* pMgr = nullptr;
    TransReportFn fnReport;
};

// Waits that a test may shorten; the product uses the defaults.
struct _sTransTuning
{
    int nRecvNum = -1; // answer wait steps of 100 ms; -1: recvnum of Config.ini
    int nConnectTimeoutMs = 10000;
    int nClosePauseMs = 800; // pause after closing a failed run, before it reports its end
};

class CFileTransThread : public CThread
{
public:
    CFileTransThread(const _sTransWorkerParam& param, int index);
    ~CFileTransThread() override;

    // 11 when the task was taken and a run started; -11 while the worker is busy or its previous
    // run does not return within kReturnWaitMs (the manager tries again later).
    int AssignTask(const _sTransTask& task);

    // Asks the current run to end; it notices between every step, wait step and block.
    void SetStop() { m_bStop = true; }
    // Stops the run only while it is the upload of fileIndex, checked and set in one step, so a
    // withdrawal can never hit the task the worker took next. A run whose result is out (the
    // upload confirmed, or a failure reported) is not stopped: that report is on its way.
    // Returns the number of the run it stopped (0: none), for WaitRunEnd.
    uint64_t StopIfRunning(const std::string& fileIndex);
    // True while a run for fileIndex has not reported its result yet.
    bool IsRunningFor(const std::string& fileIndex) const;
    // Waits until run `serial` has ended (negative: without limit); later runs do not count.
    bool WaitRunEnd(uint64_t serial, int timeoutMs = -1);
    bool IsStopped() const { return m_bStop.load(); }
    bool IsBusy() const { return m_bBusy.load(); }
    int Index() const { return m_nIndex; }
    // The file index of the task the worker holds (empty when none).
    std::string GetFileIndex() const;

    void SetTuning(const _sTransTuning& t) { m_tuning = t; }

    // The data phase of the last run: bytes handed to the socket and the microseconds it took
    // (from the first block read to the last send), for benchmarks and diagnostics.
    int64_t LastSentBytes() const { return m_i64LastSent.load(); }
    int64_t LastSendMicros() const { return m_i64LastSendUs.load(); }

    static constexpr size_t kReadBlock = 1 << 20; // file read size
    static constexpr size_t kSendPiece = 1 << 18; // bytes per send call
    static constexpr int kProgressMs = 1000;      // at most one progress report per second
    static constexpr int kReturnWaitMs = 200;     // wait for a finished run to return

protected:
    void Process() override;

private:
    int DoTransFile();
    int InformToTrans();
    int64_t DoTrans();
    int8_t Md5Check();
    bool DoSend(const void* data, size_t len);
    bool DoRecv(void* buf, size_t capacity, size_t* got);
    void CloseSocket();
    void Report(int8_t code, int64_t pos, int32_t interval = 0);
    // The server holds the whole file: unless a stop came first, the run can no longer be
    // withdrawn and its "uploaded" report follows. False when the run was stopped.
    bool ConfirmUploaded();
    int RecvSteps() const;
    const char* PathText() const { return m_run.strPath.c_str(); }

    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bBusy{false};
    const int m_nIndex;
    CFileTransMgr* const m_pMgr;
    const TransReportFn m_fnReport;
    mutable std::mutex m_taskLock; // guards m_task, the run numbers and the stop-by-index
    std::condition_variable m_runEnded;
    uint64_t m_uRunSerial = 0;   // number of the latest run started
    uint64_t m_uRunsEnded = 0;   // number of the latest run that has ended
    uint64_t m_uRunDone = 0;     // number of the latest run whose result is out
    _sTransTask m_task;          // as assigned
    _sTransTask m_run;           // the running copy: range and file id follow the server
    int64_t m_i64FileLength = 0; // the length the digest was taken over
    std::string m_strSvrHost;
    uint16_t m_usSvrPort = 0;
    const int64_t m_i64OrgId;
    const int64_t m_i64UserId;
    _sTransTuning m_tuning;
    CSocket m_sock;
    std::vector<char> m_buf;  // file read buffer, kept between runs
    int32_t m_nSvrResult = 0; // the server's refusal in this run (only the run's thread)
    bool m_bNoAnswer = false; // a wait for an answer ran out with nothing received (ditto)
    std::atomic<int64_t> m_i64LastSent{0};
    std::atomic<int64_t> m_i64LastSendUs{0};
};

} // namespace vx
