#pragma once
// The address bar of the space page: one item per folder from the root down to the shown
// folder, preceded by the overflow item, and the rule that decides which items fit.

#include "net/SpaceApi.h"

#include <cstdint>
#include <vector>

namespace vx {

class CSpaceAddress
{
public:
    // The folders from the root down; the overflow item goes in front.
    void SetPath(const std::vector<SpaceEntry>& folders);
    void Clear() { m_folders.clear(); }
    const std::vector<SpaceEntry>& Folders() const { return m_folders; }
    // Items including the overflow item (0 when the bar is empty).
    size_t ItemCount() const { return m_folders.empty() ? 0 : m_folders.size() + 1; }
    // The folder of the last item, -1 when empty.
    int64_t CurrentId() const { return m_folders.empty() ? -1 : m_folders.back().i64Id; }
    // "backtoPrebtn" works only with more than two items (overflow, root and something below).
    bool BackEnabled() const { return ItemCount() > 2; }
    // The folder of the second-to-last item, -1 when going back is not possible.
    int64_t BackTargetId() const;

    static constexpr int kReservedWidth = 35;
    // Index of the first folder item that is shown when the items (widths in pixels, root
    // first) are laid out from the last one backwards within barWidth - kReservedWidth. The
    // last item is always shown; everything before the returned index is hidden behind the
    // overflow item.
    static size_t FirstShown(const std::vector<int>& widths, int barWidth);

private:
    std::vector<SpaceEntry> m_folders;
};

} // namespace vx
