#include "app/FolderRemover.h"

#include "app/LogFile.h"
#include "app/Utils.h"
#include "platform/Paths.h"

#include <chrono>

namespace vx {

CFolderRemover::~CFolderRemover()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CFolderRemover::Remove(const std::vector<std::string>& folders)
{
    if (folders.empty())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.insert(m_queue.end(), folders.begin(), folders.end());
        if (!m_thread.joinable())
            m_thread = std::thread([this] { Run(); });
    }
    m_cv.notify_all();
}

bool CFolderRemover::WaitIdle(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [this] { return m_queue.empty() && !m_bBusy; });
}

void CFolderRemover::Run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        // A stop still empties the queue first: each folder was asked for by the user.
        m_cv.wait(lock, [this] { return !m_queue.empty() || m_bStop; });
        if (m_queue.empty())
            return;
        const std::string folder = std::move(m_queue.front());
        m_queue.pop_front();
        m_bBusy = true;
        lock.unlock();
        if (DirExists(folder) && !DeleteDirectory(folder))
            Log(g_log, "Error : the folder %s could not be deleted", folder.c_str());
        lock.lock();
        m_bBusy = false;
        m_cv.notify_all();
    }
}

} // namespace vx
