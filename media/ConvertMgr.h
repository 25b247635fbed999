#pragma once
// The convert manager: a queue of conversion tasks handed one at a time to a bounded pool of
// reusable workers. Reports of the workers are posted to the window; a finished worker goes back
// to the pool. Calls other than the workers' reports come from one thread (the window's).
//
// Locks: the manager lock (init, reconfigure, shutdown) before the worker lock (queue and both
// worker lists). Nothing ever waits for a worker while holding the worker lock, since a
// finishing worker needs it to return to the pool.

#include "media/ConvertThread.h"
#include "media/Thread.h"
#include "platform/Event.h"
#include "store/ConvertRecords.h"

#include <atomic>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vx {

class CConvertMgr : public CThread
{
public:
    CConvertMgr();
    ~CConvertMgr() override;

    // Creates MAX workers (worker k bound to processor mask 1 << (k-1)) and starts the manager
    // thread. Only once; MAX 0 creates nothing and leaves the manager uninitialised. True when
    // the manager runs.
    bool Init(const _sConvertInit& init);
    // Queues a task; false when its source path or file index is empty, or when the manager is
    // not running (no successful Init, or after StopWork), as the task would never start.
    bool AddFile(const _sConvertTask& task);
    // Withdraws the task of this file index: a queued one is dropped, a running one is stopped
    // (its encoder ended) and waited for. Only that task: a worker that has moved on to another
    // file is left alone. No result report follows. True when nothing of it remains.
    bool RemoveFile(const std::string& fileIndex);
    // New pool size and options for the tasks assigned from now on. A larger MAX adds workers;
    // a smaller one only limits how many run at once.
    bool Reconfigure(uint8_t max, uint8_t nVideoSizeOp, uint8_t nCodecMod, int32_t width, int32_t height,
                     const std::string& outPath);
    // Stops the manager thread and every running conversion, waits for them and deletes the
    // workers; queued tasks are dropped. The manager may not be initialised again.
    void StopWork();

    bool IsInitialised() const { return m_bInit.load(); }
    size_t QueuedCount() const;
    size_t BusyCount() const;
    size_t WorkerCount() const;
    // Masks of all workers, available ones first (for the tests and the logs).
    std::vector<uint64_t> WorkerMasks() const;
    // What the finished run of a file chose (route, CRF, prediction tries); false when unknown.
    bool RunInfoOf(const std::string& fileIndex, ConvertRunInfo* info) const;

protected:
    void Process() override;

private:
    void StartNewWork();
    void RecycleWork(CConvertThread* worker);
    void ClearWork();
    void OnReport(CConvertThread* worker, _sConvertReport&& report);
    CConvertThread* NewWorker(uint8_t number, uint64_t mask); // under the worker lock

    CEvent m_stopEvent;
    CEvent m_workEvent;
    std::atomic<bool> m_bInit{false};
    std::mutex m_mgrLock;

    uint8_t m_MAX = 0;
    _sConvertOptions m_options;
    std::atomic<MsgTarget> m_hWnd{0};
    std::atomic<uint32_t> m_uMsgId{0};
    bool m_bStopping = false; // under the worker lock: nothing is handed out any more

    std::list<_sConvertTask> m_listTask;
    std::vector<std::unique_ptr<CConvertThread>> m_vWorkers; // owner of every worker
    std::list<CConvertThread*> m_listAvailable;
    std::list<CConvertThread*> m_listBusy;
    std::map<std::string, ConvertRunInfo> m_mapRunInfo;
    mutable std::mutex m_workLock;
};

} // namespace vx
