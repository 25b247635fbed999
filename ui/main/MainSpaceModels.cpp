#include "ui/main/MainSpaceModels.h"

#include "space/SpaceController.h"

namespace vx {

void CMainSpaceModels::AddFolder(const SpaceRow& folder)
{
    m_space.AddFolderToTree(folder);
}

const SpaceRow* CMainSpaceModels::Find(int64_t folderId) const
{
    const SpaceTreeItem* item = m_space.Tree().Find(folderId);
    return item ? &item->entry : nullptr;
}

int64_t CMainSpaceModels::RootOfUser(int64_t userId) const
{
    return m_space.Tree().RootIdOf(userId);
}

int64_t CMainSpaceModels::Selected() const
{
    return m_space.Tree().Selected();
}

int64_t CMainSpaceModels::ShownFolder() const
{
    return m_space.List().DirId();
}

bool CMainSpaceModels::IsSearching() const
{
    return m_space.List().IsSearch();
}

void CMainSpaceModels::SetSearching(bool searching)
{
    // Only ending a search has a meaning from outside: the page starts its own searches.
    if (!searching && m_space.List().IsSearch())
        m_space.EndSearch();
}

void CMainSpaceModels::AddEntry(const SpaceRow& entry)
{
    m_space.AddFinishedFile(entry);
}

void CMainSpaceModels::Reload()
{
    m_space.Refresh();
}

} // namespace vx
