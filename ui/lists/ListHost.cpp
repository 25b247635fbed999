#include "ui/lists/ListHost.h"

#include "pipeline/PipelineMessages.h"

namespace vx {

void CLoopListHost::DeleteItems(int list, const std::vector<std::string>& fileIndexes)
{
    m_loop.PostMsg(m_target, WM_DELETE_ITEMS, static_cast<uint64_t>(list), MakePayload(fileIndexes));
}

void CLoopListHost::RestartTransTimer(int ms)
{
    m_loop.SetTimer(m_target, TIMER_TRANS_PENDING, ms);
}

} // namespace vx
