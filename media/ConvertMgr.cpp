#include "media/ConvertMgr.h"

#include "app/LogFile.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace vx {

namespace {

uint64_t MaskOfWorker(unsigned number)
{
    return number >= 1 && number <= 64 ? uint64_t{1} << (number - 1) : 0;
}

constexpr size_t kMaxRunInfos = 1024;

} // namespace

CConvertMgr::CConvertMgr()
{
    Log(g_log, "Info : CConvertMgr::CConvertMgr  start~1~~b:%d~", m_bInit.load() ? 1 : 0);
    Log(g_log, "Info : CConvertMgr::CConvertMgr  start~2~~b:%d~", m_bInit.load() ? 1 : 0);
}

CConvertMgr::~CConvertMgr()
{
    Log(g_log, "Info : CConvertMgr::~CConvertMgr  exit~~1~b:%d~", m_bInit.load() ? 1 : 0);
    StopWork();
    Log(g_log, "Info : CConvertMgr::~CConvertMgr  exit~~2~b:%d~", m_bInit.load() ? 1 : 0);
}

CConvertThread* CConvertMgr::NewWorker(uint8_t number, uint64_t mask)
{
    m_vWorkers.push_back(std::make_unique<CConvertThread>(
        number, mask, [this](CConvertThread* w, _sConvertReport&& r) { OnReport(w, std::move(r)); }));
    return m_vWorkers.back().get();
}

bool CConvertMgr::Init(const _sConvertInit& init)
{
    std::lock_guard<std::mutex> mgr(m_mgrLock);
    if (!m_bInit.load() && init.MAX > 0) {
        {
            std::lock_guard<std::mutex> work(m_workLock);
            for (unsigned k = 1; k <= init.MAX; ++k)
                m_listAvailable.push_back(NewWorker(static_cast<uint8_t>(k), MaskOfWorker(k)));
            m_MAX = init.MAX;
            m_options = init.options;
            m_bStopping = false;
        }
        m_stopEvent.Reset();
        m_workEvent.Reset();
        m_hWnd = init.hWnd;
        m_uMsgId = init.uMsgId;
        // Without a manager thread no queued task would ever start: only a running manager
        // counts as initialised, so AddFile refuses instead of queueing into the void.
        m_bInit = Start();
    }
    Log(g_convertLog, "Info : Init-MAX:%d,nCodecMod:%d,nVideoSizeOp:%d,unRc(%dX%d)OUTPATH:%s,", init.MAX,
        init.options.nCodecMod, init.options.nVideoSizeOp, init.options.unRc[0], init.options.unRc[1],
        init.options.OUTPATH.c_str());
    return m_bInit.load();
}

bool CConvertMgr::AddFile(const _sConvertTask& task)
{
    if (task.strSrcPath.empty() || task.strFileIndex.empty())
        return false;
    {
        std::lock_guard<std::mutex> work(m_workLock);
        // Before a successful Init or after StopWork nothing would ever run the task.
        if (!m_bInit.load() || m_bStopping) {
            Log(g_convertLog, "Error : add file(%s), index(%s) refused: the convert manager is not running",
                task.strSrcPath.c_str(), task.strFileIndex.c_str());
            return false;
        }
        m_listTask.push_back(task);
        if (!m_bStopping && m_listBusy.size() < m_MAX && !m_listAvailable.empty())
            m_workEvent.Set();
    }
    Log(g_convertLog, "Info : add file(%s), index(%s)", task.strSrcPath.c_str(), task.strFileIndex.c_str());
    return true;
}

bool CConvertMgr::RemoveFile(const std::string& fileIndex)
{
    if (fileIndex.empty())
        return true;
    CConvertThread* running = nullptr;
    bool ret = false;
    {
        std::lock_guard<std::mutex> work(m_workLock);
        Log(g_convertLog, "Info : RemoveFile start, file_index(%s), file_list_size=%d ", fileIndex.c_str(),
            static_cast<int>(m_listTask.size()));
        auto it = std::find_if(m_listTask.begin(), m_listTask.end(),
                               [&](const _sConvertTask& t) { return t.strFileIndex == fileIndex; });
        if (it != m_listTask.end()) {
            m_listTask.erase(it);
            ret = true;
        } else {
            // Tasks are assigned only under this lock, so the worker found here cannot move on to
            // another file before its stop flag is set for this one.
            for (CConvertThread* w : m_listBusy)
                if (w->RequestStopFor(fileIndex)) {
                    running = w;
                    ret = true;
                    break;
                }
        }
    }
    if (running) {
        // Wait outside the lock: the worker needs it to return to the pool. It is done with this
        // file once it is idle or holds another task; its encoder has been ended by then.
        Log(g_convertLog, "Info : StopEx, index=%d, time=%u", running->Index(), 4294967295u);
        while (running->IsBusyWith(fileIndex))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Log(g_convertLog, "Info : StopEx end, index=%d, time=%u", running->Index(), 4294967295u);
    }
    Log(g_convertLog, "Info : RemoveFile end, ret=%d", ret ? 1 : 0);
    return ret;
}

void CConvertMgr::Process()
{
    for (;;) {
        int which = CEvent::WaitAny({&m_stopEvent, &m_workEvent}, -1);
        if (which == 0)
            return;
        if (which == 1) {
            StartNewWork();
            continue;
        }
        Log(g_convertLog, "Warning : Convert manager process wait for event return=%d", which);
    }
}

void CConvertMgr::StartNewWork()
{
    // One assignment per 300 ms while encoders run, so they do not all start at the same
    // instant; with none running there is nothing to spread, and the first starts at once.
    if (BusyCount() > 0 && m_stopEvent.Wait(300))
        return;
    std::lock_guard<std::mutex> work(m_workLock);
    Log(g_convertLog, "Info : StartNewWork, enter");
    if (!m_bStopping && !m_listTask.empty() && m_listBusy.size() < m_MAX && !m_listAvailable.empty()) {
        CConvertThread* w = m_listAvailable.front();
        int r = w->Assign(m_listTask.front(), m_options);
        if (r == CV_WORKER_BUSY) {
            Log(g_convertLog, "Info : StartNewWork, assign task failed, ret=%d, file_list_size=%d", r,
                static_cast<int>(m_listTask.size()));
        } else {
            m_listAvailable.pop_front();
            m_listBusy.push_back(w);
            m_listTask.pop_front();
            if (m_listAvailable.empty() || m_listTask.empty() || m_listBusy.size() >= m_MAX)
                m_workEvent.Reset();
        }
    } else {
        m_workEvent.Reset();
    }
    Log(g_convertLog, "Info : StartNewWork. leave");
}

void CConvertMgr::RecycleWork(CConvertThread* worker)
{
    std::lock_guard<std::mutex> work(m_workLock);
    Log(g_convertLog, "Info : RecycleWork, enter");
    auto it = std::find(m_listBusy.begin(), m_listBusy.end(), worker);
    if (it != m_listBusy.end()) {
        m_listBusy.erase(it);
        m_listAvailable.push_back(worker);
    }
    if (!m_bStopping && !m_listTask.empty() && m_listBusy.size() < m_MAX)
        m_workEvent.Set();
    Log(g_convertLog, "Info : RecycleWork, leave");
}

void CConvertMgr::OnReport(CConvertThread* worker, _sConvertReport&& report)
{
    if (report.nCode == CR_WORKER_DONE) {
        RecycleWork(worker);
        return;
    }
    if (report.nCode != CR_PROGRESS) {
        std::lock_guard<std::mutex> work(m_workLock);
        if (m_mapRunInfo.size() >= kMaxRunInfos)
            m_mapRunInfo.erase(m_mapRunInfo.begin());
        m_mapRunInfo[report.strFileIndex] = worker->LastRunInfo();
    }
    MsgTarget wnd = m_hWnd.load();
    uint32_t id = m_uMsgId.load();
    if (wnd != 0 && id != 0)
        CMessageLoop::Main().PostMsg(wnd, id, 0, MakePayload(std::move(report)));
}

bool CConvertMgr::Reconfigure(uint8_t max, uint8_t nVideoSizeOp, uint8_t nCodecMod, int32_t width,
                              int32_t height, const std::string& outPath)
{
    if (!m_bInit.load())
        return false;
    std::lock_guard<std::mutex> mgr(m_mgrLock);
    std::lock_guard<std::mutex> work(m_workLock);
    bool added = false;
    // Only the workers that are missing: after a lowered limit the pool is already larger than
    // MAX, and counting from MAX would add duplicates of the numbers and masks that exist.
    const size_t existing = m_listAvailable.size() + m_listBusy.size();
    if (max > m_MAX && existing < max) {
        for (size_t k = existing + 1; k <= max; ++k) {
            m_listAvailable.push_back(
                NewWorker(static_cast<uint8_t>(k), MaskOfWorker(static_cast<unsigned>(k))));
            added = true;
        }
    }
    m_options.nCodecMod = nCodecMod;
    m_options.unRc[0] = width;
    m_options.unRc[1] = height;
    m_options.nVideoSizeOp = nVideoSizeOp;
    m_options.OUTPATH = outPath;
    m_MAX = max;
    // Raising the limit lets queued tasks start on workers that were already there, too.
    if ((added || !m_listTask.empty()) && !m_bStopping && m_listBusy.size() < m_MAX &&
        !m_listAvailable.empty())
        m_workEvent.Set();
    Log(g_log, "Info : Convert:MAX:%d,nCodecMod:%d,nVideoSizeOp:%d,unRc(%dX%d)OUTPATH:%s,", max, nCodecMod,
        nVideoSizeOp, width, height, outPath.c_str());
    return true;
}

void CConvertMgr::StopWork()
{
    std::lock_guard<std::mutex> mgr(m_mgrLock);
    m_bInit = false;
    {
        std::lock_guard<std::mutex> work(m_workLock);
        m_bStopping = true; // from here on nothing is handed out
        m_listTask.clear();
        m_workEvent.Reset();
    }
    m_stopEvent.Set();
    Join(); // the manager thread never takes the manager lock
    ClearWork();
}

void CConvertMgr::ClearWork()
{
    {
        std::lock_guard<std::mutex> work(m_workLock);
        Log(g_log, "Info : CConvertMgr::ClearWork busy size = %d", static_cast<int>(m_listBusy.size()));
        for (CConvertThread* w : m_listBusy)
            w->RequestStop();
    }
    for (;;) {
        {
            std::lock_guard<std::mutex> work(m_workLock);
            if (m_listBusy.empty())
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::vector<std::unique_ptr<CConvertThread>> doomed;
    {
        std::lock_guard<std::mutex> work(m_workLock);
        Log(g_log, "Info : CConvertMgr::ClearWork available size = %d",
            static_cast<int>(m_listAvailable.size()));
        m_listAvailable.clear();
        doomed.swap(m_vWorkers);
    }
    // Deleting joins each worker's last thread; done without the lock.
    Log(g_log, "Info : CConvertMgr::ClearWork delete available thread size = %d",
        static_cast<int>(doomed.size()));
    doomed.clear();
}

size_t CConvertMgr::QueuedCount() const
{
    std::lock_guard<std::mutex> work(m_workLock);
    return m_listTask.size();
}

size_t CConvertMgr::BusyCount() const
{
    std::lock_guard<std::mutex> work(m_workLock);
    return m_listBusy.size();
}

size_t CConvertMgr::WorkerCount() const
{
    std::lock_guard<std::mutex> work(m_workLock);
    return m_vWorkers.size();
}

std::vector<uint64_t> CConvertMgr::WorkerMasks() const
{
    std::lock_guard<std::mutex> work(m_workLock);
    std::vector<uint64_t> masks;
    for (CConvertThread* w : m_listAvailable)
        masks.push_back(w->AffinityMask());
    for (CConvertThread* w : m_listBusy)
        masks.push_back(w->AffinityMask());
    return masks;
}

bool CConvertMgr::RunInfoOf(const std::string& fileIndex, ConvertRunInfo* info) const
{
    std::lock_guard<std::mutex> work(m_workLock);
    auto it = m_mapRunInfo.find(fileIndex);
    if (it == m_mapRunInfo.end())
        return false;
    *info = it->second;
    return true;
}

} // namespace vx
