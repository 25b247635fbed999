#include "ui/lists/ListHost.h"

#include "pipeline/PipelineMessages.h"

namespace vx {

void CLoopListHost::DeleteItems(int list, const std::vector<std::string>& fileIndexes)
{
    m_loop.PostMsg(m_target, WM_DELETE_ITEMS, static_cast<uint64_t>(list), MakePayload(fileIndexes));
}

} // namespace vx
