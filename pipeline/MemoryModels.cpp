#include "pipeline/MemoryModels.h"

namespace vx {

void CMemCourseList::AddRecord(const _sLCItemData& record, bool visible)
{
    if (store.Add(record, visible) && onChanged)
        onChanged(record.strFileIndex, store.Find(record.strFileIndex));
}

bool CMemCourseList::Remove(const std::string& fileIndex)
{
    if (!store.Remove(fileIndex))
        return false;
    if (onChanged)
        onChanged(fileIndex, nullptr);
    return true;
}

void CMemCourseList::Changed(const std::string& fileIndex)
{
    if (onChanged)
        onChanged(fileIndex, store.Find(fileIndex));
}

const SpaceRow* CMemFolderTree::Find(int64_t folderId) const
{
    auto it = m_folders.find(folderId);
    return it == m_folders.end() ? nullptr : &it->second;
}

int64_t CMemFolderTree::RootOfUser(int64_t userId) const
{
    for (const auto& [id, f] : m_folders)
        if (f.i64OwnId == userId && (f.nLevel == 0 || f.i64ParentId <= 0))
            return id;
    return 0;
}

} // namespace vx
