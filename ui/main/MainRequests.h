#pragma once
// The main window's own server requests, kept off the window's thread: the free space checked
// before files are added and the folder batch of a dropped tree. Additions queue one after the
// other; each begins on the window's thread when its turn comes (the intake's checks, the scan
// of a dropped tree), asks the server on a worker with a configuration and an API of the
// worker's own, and is finished on the window's thread in the order the additions were made.
// The window never waits for the worker.

#include "app/AppConfig.h"
#include "net/SpaceApi.h"
#include "pipeline/CourseIntake.h"
#include "space/SpaceRequestQueue.h"

#include <functional>
#include <memory>

namespace vx {

class CMainRequests
{
public:
    CMainRequests(CAppConfig& config, CMessageLoop& loop);
    ~CMainRequests(); // waits for a request in flight (bounded by its time-outs)
    CMainRequests(const CMainRequests&) = delete;
    CMainRequests& operator=(const CMainRequests&) = delete;

    // begin fills the job on the window's thread (false: nothing to ask); done gets the
    // answered job there.
    using Begin = std::function<bool(IntakeJob*)>;
    using Done = std::function<void(IntakeJob&&)>;
    void AddFiles(Begin begin, Done done);
    // Reads the free space; done gets it on the window's thread (zeros when it failed).
    void RequestQuota(std::function<void(const SpaceQuota&)> done);

    // Whether a request waits or runs.
    bool IsBusy() const { return m_queue->IsBusy(); }
    // Sign-out: what has not started is dropped.
    void DropWaiting() { m_queue->DropWaiting(); }
    void SetTimeouts(const HttpTimeouts& t);

private:
    // The session (cookie, user, hosts) as the window's configuration holds it now.
    void SyncWorkerConfig();

    CAppConfig& m_config;
    std::unique_ptr<CAppConfig> m_workerConfig;
    std::unique_ptr<CSpaceApi> m_api;
    std::unique_ptr<CSpaceRequestQueue> m_queue;
};

} // namespace vx
