#pragma once
// The pipeline's folder tree and space list over the space page's controller: the intake asks
// which folder is shown and who owns it, adds the folders of a dropped tree, and finished
// uploads join the shown folder. Everything runs on the user-interface thread.

#include "pipeline/PipelineModels.h"

namespace vx {

class CSpaceController;

class CMainSpaceModels : public IFolderTree, public ISpaceList
{
public:
    explicit CMainSpaceModels(CSpaceController& space) : m_space(space) {}

    // IFolderTree
    void AddFolder(const SpaceRow& folder) override;
    const SpaceRow* Find(int64_t folderId) const override;
    int64_t RootOfUser(int64_t userId) const override;
    int64_t Selected() const override;

    // ISpaceList
    int64_t ShownFolder() const override;
    bool IsSearching() const override;
    void SetSearching(bool searching) override;
    void AddEntry(const SpaceRow& entry) override;
    void Reload() override;

private:
    CSpaceController& m_space;
};

} // namespace vx
