#pragma once
// The folder tree of the space page: the user's and the organisation's folders as far as they
// were loaded, one item per folder, with the selected item. Children load the first time an
// item is expanded (or its folder is shown). Only the owner's thread touches it.

#include "net/SpaceApi.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace vx {

struct SpaceTreeItem
{
    SpaceEntry entry;
    int64_t i64ParentItem = 0; // 0: a root item
    std::vector<int64_t> children;
    bool bExpanded = false;
    bool bLoaded = false; // the children were read from the server
};

class CSpaceTree
{
public:
    void Clear();
    // Adds one folder after the last item of its parent's subtree. False (logged) when its
    // parent (the item one level up) is not in the tree, or the folder is already there.
    bool AddFolder(const SpaceEntry& folder);
    // The answer of a folder listing becomes the children of parentId (0: the roots, which
    // empties the tree); the parent counts as loaded. Folders are added level by level.
    void ReplaceChildren(int64_t parentId, const std::vector<SpaceEntry>& entries);
    // Like ReplaceChildren, but children that stay keep their own loaded subtrees and state.
    void SyncChildren(int64_t parentId, const std::vector<SpaceEntry>& entries);
    bool Remove(int64_t id);
    // Moves the item (with its subtree) under newParent (0: to the roots); levels and paths follow.
    bool MoveUnder(int64_t id, int64_t newParent);
    bool Rename(int64_t id, const std::string& name);

    const SpaceTreeItem* Find(int64_t id) const;
    bool Contains(int64_t id) const { return Find(id) != nullptr; }
    // The first root item the owner owns (0 when none) and its name.
    int64_t RootIdOf(int64_t ownerId) const;
    std::string RootNameOf(int64_t ownerId) const;

    int64_t Selected() const { return m_i64Selected; }
    const SpaceEntry* SelectedEntry() const;
    // Selects the item and expands its ancestors; false when it is not in the tree.
    bool Select(int64_t id);
    void SetExpanded(int64_t id, bool expanded);

    // True when id is ancestor itself or lies anywhere below it.
    bool IsInside(int64_t id, int64_t ancestor) const;
    // "\\" + name for a root, else the parent's path + "\\" + name.
    std::string TreePath(int64_t id) const;
    // The folders from the root down to id (empty when id is not in the tree).
    std::vector<int64_t> Ancestry(int64_t id) const;
    const std::vector<int64_t>& Roots() const { return m_roots; }
    const std::vector<int64_t>& ChildrenOf(int64_t id) const;
    // Every item, each child directly after its parent's subtree.
    std::vector<int64_t> DisplayOrder() const;
    size_t Count() const { return m_items.size(); }

private:
    std::vector<int64_t>& ChildList(int64_t parentId);
    void RemoveSubtree(int64_t id);
    void Relevel(int64_t id, int level);
    void Order(int64_t id, std::vector<int64_t>* out) const;

    std::unordered_map<int64_t, SpaceTreeItem> m_items;
    std::vector<int64_t> m_roots;
    int64_t m_i64Selected = 0;
};

} // namespace vx
