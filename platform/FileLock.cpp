#include "platform/FileLock.h"

namespace vx {

CFileLock::~CFileLock()
{
    Unlock();
}

bool CFileLock::Held() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_fd >= 0;
}

} // namespace vx
