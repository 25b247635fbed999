#include "space/SpaceList.h"

#include <algorithm>
#include <unordered_set>

namespace vx {

namespace {
const char* const kNewFolderName = "新建文件夹";
}

void CSpaceList::Fill(int64_t dirId, int64_t ownerId, const std::vector<SpaceEntry>& entries)
{
    m_i64DirId = dirId;
    m_i64OwnerId = ownerId;
    m_nSortColumn = 0;
    m_bSortDescending = false;
    m_rows.clear();
    m_rows.reserve(entries.size());
    for (const SpaceEntry& e : entries)
        m_rows.push_back({e, false});
}

void CSpaceList::Clear()
{
    m_i64DirId = -1;
    m_i64OwnerId = -1;
    m_rows.clear();
}

int CSpaceList::Find(bool folder, int64_t id) const
{
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const SpaceEntry& e = m_rows[i].entry;
        if (e.i64Id == id && (e.nType == SPACE_FOLDER) == folder)
            return static_cast<int>(i);
    }
    return -1;
}

const SpaceEntry* CSpaceList::Entry(bool folder, int64_t id) const
{
    const int row = Find(folder, id);
    return row < 0 ? nullptr : &m_rows[row].entry;
}

int CSpaceList::Add(const SpaceEntry& entry)
{
    size_t pos = m_rows.size();
    if (entry.nType == SPACE_FOLDER) {
        pos = 0;
        while (pos < m_rows.size() && m_rows[pos].entry.nType == SPACE_FOLDER)
            ++pos;
    }
    m_rows.insert(m_rows.begin() + static_cast<ptrdiff_t>(pos), {entry, false});
    return static_cast<int>(pos);
}

bool CSpaceList::Remove(bool folder, int64_t id)
{
    const int row = Find(folder, id);
    if (row < 0)
        return false;
    m_rows.erase(m_rows.begin() + row);
    return true;
}

bool CSpaceList::Rename(bool folder, int64_t id, const std::string& name)
{
    const int row = Find(folder, id);
    if (row < 0)
        return false;
    m_rows[row].entry.strName = name;
    return true;
}

void CSpaceList::SetSelection(const std::vector<int>& rows)
{
    ClearSelection();
    for (int r : rows)
        if (r >= 0 && static_cast<size_t>(r) < m_rows.size())
            m_rows[r].bSelected = true;
}

void CSpaceList::ClearSelection()
{
    for (SpaceListRow& r : m_rows)
        r.bSelected = false;
}

std::vector<SpaceEntry> CSpaceList::SelectedEntries(bool* hasFolder) const
{
    std::vector<SpaceEntry> out;
    bool folder = false;
    for (const SpaceListRow& r : m_rows)
        if (r.bSelected) {
            out.push_back(r.entry);
            folder = folder || r.entry.nType == SPACE_FOLDER;
        }
    if (hasFolder)
        *hasFolder = folder;
    return out;
}

size_t CSpaceList::SelectedCount() const
{
    return static_cast<size_t>(
        std::count_if(m_rows.begin(), m_rows.end(), [](const SpaceListRow& r) { return r.bSelected; }));
}

int CSpaceList::DragKind() const
{
    int kind = kDragNone;
    for (const SpaceListRow& r : m_rows)
        if (r.bSelected)
            kind |= r.entry.nType == SPACE_FOLDER ? kDragFolders : kDragFiles;
    return kind;
}

void CSpaceList::Sort(int column, bool descending)
{
    m_nSortColumn = column;
    m_bSortDescending = descending;
    auto key = [column](const SpaceListRow& a, const SpaceListRow& b) {
        switch (column) {
        case kColumnName:
            return a.entry.strName < b.entry.strName;
        case kColumnTime:
            return a.entry.strCreateTime < b.entry.strCreateTime;
        case kColumnSize:
            return a.entry.i64Size < b.entry.i64Size;
        default:
            return false;
        }
    };
    if (descending)
        std::stable_sort(m_rows.begin(), m_rows.end(),
                         [&key](const SpaceListRow& a, const SpaceListRow& b) { return key(b, a); });
    else
        std::stable_sort(m_rows.begin(), m_rows.end(), key);
    GroupFoldersFirst();
}

void CSpaceList::GroupFoldersFirst()
{
    std::stable_partition(m_rows.begin(), m_rows.end(),
                          [](const SpaceListRow& r) { return r.entry.nType == SPACE_FOLDER; });
}

std::string CSpaceList::UniqueNewFolderName() const
{
    std::unordered_set<std::string> names;
    for (const SpaceListRow& r : m_rows)
        names.insert(r.entry.strName);
    if (!names.count(kNewFolderName))
        return kNewFolderName;
    for (size_t n = 2;; ++n) {
        std::string name = std::string(kNewFolderName) + "(" + std::to_string(n) + ")";
        if (!names.count(name))
            return name;
    }
}

} // namespace vx
