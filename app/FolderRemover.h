#pragma once
// Deletes folders with their content on a thread of its own. Removing thousands of conversion
// output folders at once takes seconds on a disk that discards freed blocks; the window that
// asks must keep answering meanwhile. Folders go in the order given; the destructor finishes
// what is queued (the user asked for it) and joins the thread.

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vx {

class CFolderRemover
{
public:
    CFolderRemover() = default;
    ~CFolderRemover();
    CFolderRemover(const CFolderRemover&) = delete;
    CFolderRemover& operator=(const CFolderRemover&) = delete;

    // Queues the folders; the thread starts with the first ones.
    void Remove(const std::vector<std::string>& folders);
    // True once every queued folder was handled (or false after timeoutMs).
    bool WaitIdle(int timeoutMs);

private:
    void Run();

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::string> m_queue;
    bool m_bBusy = false;
    bool m_bStop = false;
    std::thread m_thread;
};

} // namespace vx
