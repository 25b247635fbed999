#pragma once
// Base of every background worker: Start runs Process on a new thread; a worker whose run has
// returned may be started again. There is no forced termination: Process must watch its own
// stop flag, and the owner joins. A derived class joins in its own destructor, before its
// members go away (the base destructor joins too, as a last guard).

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace vx {

class CThread
{
public:
    CThread() = default;
    virtual ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Begins a run of Process. Joins a finished previous run first. False while a run is still
    // going (a worker never runs twice at once) or when no thread could be created.
    virtual bool Start();
    // True from Start until Process has returned.
    bool IsRunning() const { return m_bRunning.load(); }
    // Waits for the current run to return: true when it did within timeoutMs (negative waits
    // forever). The thread is joined when it has returned.
    bool Join(int timeoutMs = -1);
    // A number that names the current run's thread (0 when none), for logs.
    uint32_t ThreadId() const { return m_uThreadId.load(); }

protected:
    virtual void Process() = 0;

private:
    void Run();

    std::thread m_thread;
    std::atomic<bool> m_bRunning{false};
    std::atomic<uint32_t> m_uThreadId{0};
    std::mutex m_mutex;
    std::condition_variable m_cv;
};

} // namespace vx
