#pragma once
// Records keyed by file index, in insertion order, with a checked mark each: the storage of the
// in-memory course and converted lists. Lookups are by hash, so a session of tens of thousands
// of records applies every worker report in constant time. Pointers stay valid until that
// record is removed.

#include "store/LCItemData.h"

#include <list>
#include <string>
#include <unordered_map>
#include <vector>

namespace vx {

class CMemRecordStore
{
public:
    // False (nothing changed) when the index is already held.
    bool Add(const _sLCItemData& record, bool visible);
    _sLCItemData* Find(const std::string& fileIndex);
    const _sLCItemData* Find(const std::string& fileIndex) const;
    bool Remove(const std::string& fileIndex);
    std::vector<std::string> Indexes() const;
    std::vector<std::string> Checked() const;
    // Marks elements checked (unknown indexes are ignored); CheckAll marks every element.
    void SetChecked(const std::string& fileIndex, bool checked);
    void CheckAll(bool checked);
    bool IsVisible(const std::string& fileIndex) const;
    size_t Size() const { return m_items.size(); }
    // Every record, in list order.
    std::vector<_sLCItemData> Records() const;

private:
    struct Item
    {
        _sLCItemData record;
        bool visible = true;
        bool checked = false;
        std::string tooltip;
    };
    std::list<Item> m_items;
    std::unordered_map<std::string, std::list<Item>::iterator> m_byIndex;

public:
    // The tooltip of an element ("" when none or unknown).
    std::string Tooltip(const std::string& fileIndex) const;
    void SetTooltip(const std::string& fileIndex, const std::string& text);
};

} // namespace vx
