#include "ui/main/MainRequests.h"

namespace vx {

CMainRequests::CMainRequests(CAppConfig& config, CMessageLoop& loop) : m_config(config)
{
    m_workerConfig = std::make_unique<CAppConfig>(config.ConfigPath(), config.DefaultsPath());
    m_api = std::make_unique<CSpaceApi>(*m_workerConfig);
    m_queue = std::make_unique<CSpaceRequestQueue>(loop, nullptr);
}

CMainRequests::~CMainRequests()
{
    m_queue.reset(); // joins the worker before the API it uses goes
}

void CMainRequests::SetTimeouts(const HttpTimeouts& t)
{
    // Only between requests: the worker reads the API's settings while one runs.
    if (!m_queue->IsBusy())
        m_api->SetTimeouts(t);
}

void CMainRequests::SyncWorkerConfig()
{
    m_config.CopySessionTo(*m_workerConfig);
}

void CMainRequests::AddFiles(Begin begin, Done done)
{
    // The job is the only thing the worker touches; the queue hands it over and back.
    auto job = std::make_shared<IntakeJob>();
    SpaceJob j;
    j.prepare = [this, job, begin = std::move(begin)]() {
        if (!begin(job.get()))
            return false;
        SyncWorkerConfig();
        return true;
    };
    CSpaceApi* api = m_api.get();
    j.work = [api, job]() { CCourseIntake::RunRequests(*api, job.get()); };
    j.apply = [job, done = std::move(done)]() { done(std::move(*job)); };
    m_queue->Push(std::move(j));
}

void CMainRequests::RequestQuota(std::function<void(const SpaceQuota&)> done)
{
    auto quota = std::make_shared<SpaceQuota>();
    SpaceJob j;
    j.prepare = [this]() {
        SyncWorkerConfig();
        return true;
    };
    CSpaceApi* api = m_api.get();
    j.work = [api, quota]() {
        std::string error;
        *quota = SpaceQuota();
        api->RequestSpaceInfo(quota.get(), &error); // a failure leaves zeros
    };
    j.apply = [quota, done = std::move(done)]() { done(*quota); };
    j.key = "quota"; // two waiting reads are one
    m_queue->Push(std::move(j));
}

} // namespace vx
