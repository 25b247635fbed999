#include "pipeline/MemRecordStore.h"

namespace vx {

bool CMemRecordStore::Add(const _sLCItemData& record, bool visible)
{
    if (m_byIndex.count(record.strFileIndex))
        return false;
    m_items.push_back(Item{record, visible, false, ""});
    m_byIndex[record.strFileIndex] = std::prev(m_items.end());
    return true;
}

_sLCItemData* CMemRecordStore::Find(const std::string& fileIndex)
{
    auto it = m_byIndex.find(fileIndex);
    return it == m_byIndex.end() ? nullptr : &it->second->record;
}

const _sLCItemData* CMemRecordStore::Find(const std::string& fileIndex) const
{
    auto it = m_byIndex.find(fileIndex);
    return it == m_byIndex.end() ? nullptr : &it->second->record;
}

bool CMemRecordStore::Remove(const std::string& fileIndex)
{
    auto it = m_byIndex.find(fileIndex);
    if (it == m_byIndex.end())
        return false;
    m_items.erase(it->second);
    m_byIndex.erase(it);
    return true;
}

std::vector<std::string> CMemRecordStore::Indexes() const
{
    std::vector<std::string> out;
    out.reserve(m_items.size());
    for (const Item& i : m_items)
        out.push_back(i.record.strFileIndex);
    return out;
}

std::vector<std::string> CMemRecordStore::Checked() const
{
    std::vector<std::string> out;
    for (const Item& i : m_items)
        if (i.checked)
            out.push_back(i.record.strFileIndex);
    return out;
}

void CMemRecordStore::SetChecked(const std::string& fileIndex, bool checked)
{
    auto it = m_byIndex.find(fileIndex);
    if (it != m_byIndex.end())
        it->second->checked = checked;
}

void CMemRecordStore::CheckAll(bool checked)
{
    for (Item& i : m_items)
        i.checked = checked;
}

bool CMemRecordStore::IsVisible(const std::string& fileIndex) const
{
    auto it = m_byIndex.find(fileIndex);
    return it != m_byIndex.end() && it->second->visible;
}

std::vector<_sLCItemData> CMemRecordStore::Records() const
{
    std::vector<_sLCItemData> out;
    out.reserve(m_items.size());
    for (const Item& i : m_items)
        out.push_back(i.record);
    return out;
}

std::string CMemRecordStore::Tooltip(const std::string& fileIndex) const
{
    auto it = m_byIndex.find(fileIndex);
    return it == m_byIndex.end() ? std::string() : it->second->tooltip;
}

void CMemRecordStore::SetTooltip(const std::string& fileIndex, const std::string& text)
{
    auto it = m_byIndex.find(fileIndex);
    if (it != m_byIndex.end())
        it->second->tooltip = text;
}

} // namespace vx
