#include "media/Thread.h"

#include <chrono>
#include <functional>

namespace vx {

CThread::~CThread()
{
    Join();
}

bool CThread::Start()
{
    std::lock_guard<std::mutex> startLock(m_mutex);
    if (m_bRunning.load())
        return false;
    if (m_thread.joinable())
        m_thread.join(); // the previous run has returned; release its thread first
    m_bRunning = true;
    try {
        m_thread = std::thread(&CThread::Run, this);
    } catch (const std::system_error&) {
        m_bRunning = false;
        return false;
    }
    return true;
}

void CThread::Run()
{
    m_uThreadId = static_cast<uint32_t>(std::hash<std::thread::id>()(std::this_thread::get_id()));
    Process();
    m_uThreadId = 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bRunning = false;
    m_cv.notify_all();
}

bool CThread::Join(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id())
        return false; // a run cannot wait for itself
    if (timeoutMs < 0)
        m_cv.wait(lock, [this] { return !m_bRunning.load(); });
    else if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [this] { return !m_bRunning.load(); }))
        return false;
    if (m_thread.joinable())
        m_thread.join();
    return true;
}

} // namespace vx
