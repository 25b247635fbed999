#pragma once
// The transfer manager: a queue of uploads handed to a bounded pool of reusable upload workers.
// Its thread wakes on the work event and gives queued tasks to free workers until either runs
// out, so a file starts the moment a slot is free. Workers report through the manager: code 21
// puts the worker back into the pool, every other report is posted to the window as
// WM_TRANS_RESULT.
//
// Locks: the manager lock (Init, Reconfigure, StopWork) before the worker lock (the task list
// and both worker lists). Nothing ever waits for a worker while holding the worker lock, since
// the worker's last report needs it.

#include "media/Thread.h"
#include "platform/Event.h"
#include "platform/MessageLoop.h"
#include "store/TransRecords.h"
#include "upload/FileTransThread.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vx {

class CFileTransMgr : public CThread
{
public:
    CFileTransMgr();
    ~CFileTransMgr() override;

    // Creates the workers and starts the manager thread. False (and nothing kept) without a
    // worker count, user or organisation; false and unchanged when already initialised.
    bool Init(const _sTransInit& init);
    // Queues an upload. Refused: negative file id, no parent folder, no path, no file index, or
    // nothing to send (end position 0); a file index already queued or uploading; and whenever
    // the manager does not run (no successful Init, or after StopWork), as no worker would ever
    // take the task.
    bool AddTransferFile(const _sTransTask& task);
    // Withdraws the upload of fileIndex: a queued task is dropped; a running one is stopped and
    // waited for (only that run, never the worker's next). No result report follows.
    // True when something was withdrawn or the index is empty.
    bool RemoveTransferFile(const std::string& fileIndex);
    // The same for many at once (a bulk pause or delete): one pass over the queue, every
    // running one asked to stop before any is waited for, so the waits overlap. Without wait
    // the stopped runs end on their own and may still report (only for records that are gone
    // for good, whose reports are dropped). Returns the indexes withdrawn, in no order.
    std::vector<std::string> RemoveTransferFiles(const std::vector<std::string>& fileIndexes,
                                                 bool wait = true);
    // New number of simultaneous uploads; workers are added when needed, never removed.
    bool Reconfigure(int maxWorkNum);
    // Stops the manager thread and every upload, drops the queue and deletes the workers.
    // Returns once no thread of the manager is left.
    void StopWork();

    // True while the upload of fileIndex is queued or its run has not reported its result.
    bool Holds(const std::string& fileIndex) const;
    bool IsInitialised() const { return m_bInit.load(); }
    size_t QueuedCount() const;
    size_t BusyCount() const;
    size_t WorkerCount() const;
    uint8_t MaxWorkNum() const { return m_uMaxWorkNum.load(); }

    // Waits for the workers; call before Init (recvnum of Config.ini is used when -1).
    void SetTuning(const _sTransTuning& t) { m_tuning = t; }

    // How soon the manager looks again when every free worker refused (still returning).
    static constexpr int kRefusedRetryMs = 20;

protected:
    void Process() override;

private:
    using WorkerPtr = std::unique_ptr<CFileTransThread>;

    // Assigns queued tasks to free workers; false when a free worker refused (look again soon).
    bool StartNewWork();
    void RecycleWork(CFileTransThread* worker);
    void OnReport(TransReportPtr report);
    void ClearWork();
    // Under the worker lock.
    void AddWorkers(int first, int count);
    bool HoldsLocked(const std::string& fileIndex) const;

    CEvent m_hStop;
    CEvent m_hWork;
    std::atomic<bool> m_bInit{false};
    std::mutex m_mgrLock;
    MsgTarget m_hWnd = 0;
    uint32_t m_uMsgId = 0;
    std::string m_strHost;
    uint16_t m_usPort = 0;
    int64_t m_i64OrgId = 0;
    int64_t m_i64UserId = 0;
    std::list<_sTransTask> m_listTransData;
    std::list<WorkerPtr> m_listAvailableWorker;
    std::list<WorkerPtr> m_listBusyWorker;
    mutable std::mutex m_workLock;
    std::atomic<uint8_t> m_uMaxWorkNum{0};
    _sTransTuning m_tuning;
};

} // namespace vx
