#include "account/SecretQueue.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace vx {

// Shared with the thread, which may outlive the queue when a call never returns.
struct CSecretQueue::State
{
    std::shared_ptr<ISecretStore> store;
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::function<void(ISecretStore&)>> jobs;
    bool stop = false;
    bool ended = false;
};

CSecretQueue::CSecretQueue(std::shared_ptr<ISecretStore> store) : m_state(std::make_shared<State>())
{
    m_state->store = std::move(store);
    m_thread = std::thread([state = m_state] {
        for (;;) {
            std::function<void(ISecretStore&)> job;
            {
                std::unique_lock<std::mutex> lock(state->mutex);
                state->cv.wait(lock, [&] { return state->stop || !state->jobs.empty(); });
                if (state->stop)
                    break;
                job = std::move(state->jobs.front());
                state->jobs.pop_front();
            }
            job(*state->store);
        }
        std::lock_guard<std::mutex> lock(state->mutex);
        state->ended = true;
        state->cv.notify_all();
    });
}

CSecretQueue::~CSecretQueue()
{
    bool ended;
    {
        std::unique_lock<std::mutex> lock(m_state->mutex);
        m_state->stop = true;
        m_state->jobs.clear();
        m_state->cv.notify_all();
        ended = m_state->cv.wait_for(lock, std::chrono::milliseconds(kStopWaitMs),
                                     [this] { return m_state->ended; });
    }
    if (ended)
        m_thread.join();
    else
        m_thread.detach(); // waiting on the service still; it ends with the call (or the process)
}

void CSecretQueue::Push(std::function<void(ISecretStore&)> job)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->jobs.push_back(std::move(job));
    m_state->cv.notify_all();
}

} // namespace vx
