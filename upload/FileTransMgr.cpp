#include "upload/FileTransMgr.h"

#include "app/AppConfig.h"
#include "app/LogFile.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

namespace vx {

CFileTransMgr::CFileTransMgr()
{
    Log(g_log, "Info : CFileTransMgr::CFileTransMgr  start~1~~~");
    Log(g_log, "Info : CFileTransMgr::CFileTransMgr  start~2~~~");
}

CFileTransMgr::~CFileTransMgr()
{
    Log(g_log, "Info : CFileTransMgr::~CFileTransMgr  exit~1~~~");
    StopWork();
    Log(g_log, "Info : CFileTransMgr::~CFileTransMgr  exit~2~~~");
}

size_t CFileTransMgr::QueuedCount() const
{
    std::lock_guard<std::mutex> lock(m_workLock);
    return m_listTransData.size();
}

size_t CFileTransMgr::BusyCount() const
{
    std::lock_guard<std::mutex> lock(m_workLock);
    return m_listBusyWorker.size();
}

size_t CFileTransMgr::WorkerCount() const
{
    std::lock_guard<std::mutex> lock(m_workLock);
    return m_listBusyWorker.size() + m_listAvailableWorker.size();
}

void CFileTransMgr::AddWorkers(int first, int count)
{
    _sTransWorkerParam p;
    p.strHost = m_strHost;
    p.usPort = m_usPort;
    p.i64OrgId = m_i64OrgId;
    p.i64UserId = m_i64UserId;
    p.pMgr = this;
    p.fnReport = [this](TransReportPtr r) { OnReport(std::move(r)); };
    for (int i = 0; i < count; ++i) {
        auto w = std::make_unique<CFileTransThread>(p, first + i);
        w->SetTuning(m_tuning);
        m_listAvailableWorker.push_back(std::move(w));
    }
}

bool CFileTransMgr::Init(const _sTransInit& init)
{
    std::lock_guard<std::mutex> mgr(m_mgrLock);
    // A second Init must not touch the workers of a running manager.
    if (m_bInit.load())
        return false;
    const uint8_t count = init.WorkerCount();
    if (count == 0 || init.i64OrgId == 0 || init.i64UserId == 0) {
        m_hWnd = 0;
        m_uMsgId = 0;
        m_strHost.clear();
        m_usPort = 0;
        std::lock_guard<std::mutex> lock(m_workLock);
        m_listAvailableWorker.clear();
        return false;
    }
    m_hWnd = init.hWnd;
    m_uMsgId = init.uMsgId;
    m_strHost = init.strSvrHost;
    m_usPort = init.usSvrPort;
    m_i64OrgId = init.i64OrgId;
    m_i64UserId = init.i64UserId;
    if (m_tuning.nRecvNum < 0)
        m_tuning.nRecvNum = CAppConfig::Instance().m_nRecvNum;
    m_uMaxWorkNum = count;
    {
        std::lock_guard<std::mutex> lock(m_workLock);
        AddWorkers(1, count);
    }
    m_hStop.Reset();
    m_hWork.Reset();
    m_bInit = true;
    if (!Start()) {
        m_bInit = false;
        std::lock_guard<std::mutex> lock(m_workLock);
        m_listAvailableWorker.clear();
        return false;
    }
    return true;
}

bool CFileTransMgr::AddTransferFile(const _sTransTask& task)
{
    Log(g_transLog, "Info : AddTransferFile start, ParentDirId:%lld--fileindex:%s ",
        static_cast<long long>(task.i64ParentId), task.strFileIndex.c_str());
    bool ok = false;
    {
        std::lock_guard<std::mutex> lock(m_workLock);
        // Without a running manager (Init refused, or StopWork done) no worker would ever take
        // the task: refusing it lets the caller keep the file waiting instead of losing it.
        if (!m_bInit.load()) {
            Log(g_transLog,
                "Error : AddTransferFile refused, the transfer manager is not running, fileindex:%s",
                task.strFileIndex.c_str());
        } else if (HoldsLocked(task.strFileIndex)) {
            // A second task for the same file would upload it twice, side by side.
            Log(g_transLog,
                "Error : AddTransferFile refused, the file is queued or uploading already, fileindex:%s",
                task.strFileIndex.c_str());
        } else if (task.i64FileId >= 0 && task.i64ParentId > 0 && !task.strPath.empty() &&
                   !task.strFileIndex.empty() && task.i64EndPos > 0) {
            m_listTransData.push_back(task);
            ok = true;
            if (m_listBusyWorker.size() < m_uMaxWorkNum.load() && !m_listAvailableWorker.empty())
                m_hWork.Set();
            else
                Log(g_transLog,
                    "Info : AddTransferFile--m_listBusyWorker:%d,m_uMaxWorkNum:%d,m_listAvailableWorker:%d ",
                    static_cast<int>(m_listBusyWorker.size()), m_uMaxWorkNum.load(),
                    static_cast<int>(m_listAvailableWorker.size()));
        }
    }
    Log(g_transLog, "Info : AddTransferFile end");
    return ok;
}

bool CFileTransMgr::HoldsLocked(const std::string& fileIndex) const
{
    if (fileIndex.empty())
        return false;
    for (const _sTransTask& t : m_listTransData)
        if (t.strFileIndex == fileIndex)
            return true;
    for (const WorkerPtr& w : m_listBusyWorker)
        if (w->IsRunningFor(fileIndex))
            return true;
    return false;
}

bool CFileTransMgr::Holds(const std::string& fileIndex) const
{
    std::lock_guard<std::mutex> lock(m_workLock);
    return HoldsLocked(fileIndex);
}

bool CFileTransMgr::RemoveTransferFile(const std::string& fileIndex)
{
    Log(g_transLog, "Info : RemoveTransferFile by file index start");
    if (fileIndex.empty())
        return true;
    bool found = false;
    CFileTransThread* worker = nullptr;
    uint64_t run = 0;
    {
        std::lock_guard<std::mutex> lock(m_workLock);
        auto it = std::find_if(m_listTransData.begin(), m_listTransData.end(),
                               [&](const _sTransTask& t) { return t.strFileIndex == fileIndex; });
        if (it != m_listTransData.end()) {
            m_listTransData.erase(it);
            found = true;
        } else {
            for (auto& w : m_listBusyWorker) {
                run = w->StopIfRunning(fileIndex);
                if (run != 0) {
                    worker = w.get();
                    found = true;
                    break;
                }
            }
        }
    }
    // Outside the lock: the stopped run's last report needs it. Workers are deleted only by
    // StopWork, which runs on this same thread, so the pointer stays good.
    if (worker)
        worker->WaitRunEnd(run);
    Log(g_transLog, "Info : RemoveTransferFile by file index end");
    return found;
}

std::vector<std::string> CFileTransMgr::RemoveTransferFiles(const std::vector<std::string>& fileIndexes,
                                                            bool wait)
{
    Log(g_transLog, "Info : RemoveTransferFiles %zu start", fileIndexes.size());
    std::unordered_set<std::string> wanted(fileIndexes.begin(), fileIndexes.end());
    wanted.erase(std::string());
    std::vector<std::string> removed;
    std::vector<std::pair<CFileTransThread*, uint64_t>> runs;
    {
        std::lock_guard<std::mutex> lock(m_workLock);
        for (auto it = m_listTransData.begin(); it != m_listTransData.end();) {
            if (wanted.erase(it->strFileIndex)) {
                removed.push_back(it->strFileIndex);
                it = m_listTransData.erase(it);
            } else {
                ++it;
            }
        }
        for (auto& w : m_listBusyWorker) {
            for (auto it = wanted.begin(); it != wanted.end(); ++it) {
                if (uint64_t run = w->StopIfRunning(*it)) {
                    runs.emplace_back(w.get(), run);
                    removed.push_back(*it);
                    wanted.erase(it);
                    break;
                }
            }
        }
    }
    // Outside the lock, as for one: each stopped run's last report needs it.
    if (wait)
        for (const auto& [worker, run] : runs)
            worker->WaitRunEnd(run);
    Log(g_transLog, "Info : RemoveTransferFiles %zu end", removed.size());
    return removed;
}

bool CFileTransMgr::Reconfigure(int maxWorkNum)
{
    const uint8_t count = static_cast<uint8_t>(maxWorkNum & 0xFF);
    {
        std::lock_guard<std::mutex> mgr(m_mgrLock);
        if (!m_bInit.load())
            return false;
        std::lock_guard<std::mutex> lock(m_workLock);
        int existing = static_cast<int>(m_listAvailableWorker.size() + m_listBusyWorker.size());
        if (count > existing)
            AddWorkers(existing + 1, count - existing);
        m_uMaxWorkNum = count;
        m_hWork.Set();
    }
    Log(g_log, "Trans:  %d", count);
    return true;
}

void CFileTransMgr::Process()
{
    for (;;) {
        int r = CEvent::WaitAny({&m_hStop, &m_hWork}, -1);
        if (r == 0)
            break;
        if (r == 1) {
            // A worker that refused is still returning from its last run: look again shortly
            // rather than spin on the event, which stays set.
            if (!StartNewWork() && m_hStop.Wait(kRefusedRetryMs))
                break;
        } else {
            Log(g_transLog, "Warning : FileTransMgr process wait for event return=%d", r);
        }
    }
}

bool CFileTransMgr::StartNewWork()
{
    std::lock_guard<std::mutex> lock(m_workLock);
    Log(g_transLog,
        "Info : StartNewWork--m_listBusyWorker:-start:%d,m_listAvailableWorker:%d,m_listTransData:%d ",
        static_cast<int>(m_listBusyWorker.size()), static_cast<int>(m_listAvailableWorker.size()),
        static_cast<int>(m_listTransData.size()));
    // Every free slot takes the next queued file at once. A worker frees its slot only after its
    // connection is closed, so the server never sees more than m_uMaxWorkNum uploads at a time.
    bool refused = false;
    while (m_bInit.load() && !m_listTransData.empty() && m_listBusyWorker.size() < m_uMaxWorkNum.load() &&
           !m_listAvailableWorker.empty()) {
        auto it = m_listAvailableWorker.begin();
        while (it != m_listAvailableWorker.end() &&
               (*it)->AssignTask(m_listTransData.front()) != TRANS_ASSIGNED)
            ++it;
        if (it == m_listAvailableWorker.end()) {
            refused = true;
            break;
        }
        m_listBusyWorker.push_back(std::move(*it));
        m_listAvailableWorker.erase(it);
        m_listTransData.pop_front();
    }
    if (!refused)
        m_hWork.Reset();
    Log(g_transLog, "Info : StartNewWork--m_listBusyWorker:-end:%d,m_uMaxWorkNum:%d,m_listTransData:%d ",
        static_cast<int>(m_listBusyWorker.size()), m_uMaxWorkNum.load(),
        static_cast<int>(m_listTransData.size()));
    return !refused;
}

void CFileTransMgr::RecycleWork(CFileTransThread* worker)
{
    std::lock_guard<std::mutex> lock(m_workLock);
    auto it = std::find_if(m_listBusyWorker.begin(), m_listBusyWorker.end(),
                           [&](const WorkerPtr& w) { return w.get() == worker; });
    if (it != m_listBusyWorker.end()) {
        m_listAvailableWorker.push_back(std::move(*it));
        m_listBusyWorker.erase(it);
    }
    if (!m_listTransData.empty() && m_bInit.load())
        m_hWork.Set();
}

void CFileTransMgr::OnReport(TransReportPtr report)
{
    if (report->nCode == TR_WORKER_DONE) {
        RecycleWork(static_cast<CFileTransThread*>(report->pWorker));
        return;
    }
    if (m_hWnd == 0 || m_uMsgId == 0)
        return;
    CMessageLoop::Main().PostMsg(m_hWnd, m_uMsgId, 0, MakePayload(std::move(*report)));
}

void CFileTransMgr::StopWork()
{
    std::lock_guard<std::mutex> mgr(m_mgrLock);
    m_bInit = false;
    m_hStop.Set();
    // The manager thread first: once it has gone, nothing hands out work while the workers stop.
    Join();
    ClearWork();
    m_hWork.Reset();
}

void CFileTransMgr::ClearWork()
{
    std::vector<CFileTransThread*> running;
    {
        std::lock_guard<std::mutex> lock(m_workLock);
        Log(g_log, "Info : CFileTransMgr::ClearWork busy size = %d",
            static_cast<int>(m_listBusyWorker.size()));
        m_listTransData.clear();
        for (auto& w : m_listBusyWorker) {
            w->SetStop();
            running.push_back(w.get());
        }
    }
    // Waited for without the lock: each run's last report moves its worker back under it.
    for (CFileTransThread* w : running)
        w->Join();
    std::list<WorkerPtr> gone;
    {
        std::lock_guard<std::mutex> lock(m_workLock);
        Log(g_log, "Info : CFileTransMgr::ClearWork available size = %d",
            static_cast<int>(m_listAvailableWorker.size()));
        gone.splice(gone.end(), m_listAvailableWorker);
        gone.splice(gone.end(), m_listBusyWorker);
    }
    Log(g_log, "Info : CFileTransMgr::ClearWork delete available thread size = %d",
        static_cast<int>(gone.size()));
    gone.clear(); // each worker joins its (ended) run as it goes
}

} // namespace vx
