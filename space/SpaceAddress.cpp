#include "space/SpaceAddress.h"

namespace vx {

void CSpaceAddress::SetPath(const std::vector<SpaceEntry>& folders)
{
    m_folders = folders;
}

int64_t CSpaceAddress::BackTargetId() const
{
    if (!BackEnabled())
        return -1;
    return m_folders[m_folders.size() - 2].i64Id;
}

size_t CSpaceAddress::FirstShown(const std::vector<int>& widths, int barWidth)
{
    if (widths.empty())
        return 0;
    const long long room = static_cast<long long>(barWidth) - kReservedWidth;
    size_t first = widths.size() - 1;
    long long used = widths.back();
    while (first > 0 && used + widths[first - 1] <= room) {
        used += widths[first - 1];
        --first;
    }
    return first;
}

} // namespace vx
