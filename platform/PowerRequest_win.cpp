#include "platform/PowerRequest.h"

#include "platform/Win32Text.h"

namespace vx {

CPowerInhibitor::CPowerInhibitor(std::string who) : m_strWho(std::move(who)) {}

CPowerInhibitor::~CPowerInhibitor()
{
    Release();
}

bool CPowerInhibitor::Acquire(const std::string& /*why*/)
{
    if (m_fd >= 0)
        return true;
    // The request belongs to the calling thread; Release must come from the same one (the
    // pipeline's thread takes and gives it).
    if (SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) == 0) {
        m_strError = "the system refused the keep-awake request";
        return false;
    }
    m_strError.clear();
    m_fd = 1;
    return true;
}

void CPowerInhibitor::Release()
{
    if (m_fd < 0)
        return;
    SetThreadExecutionState(ES_CONTINUOUS);
    m_fd = -1;
}

} // namespace vx
