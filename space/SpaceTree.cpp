#include "space/SpaceTree.h"

#include "app/LogFile.h"

#include <algorithm>

namespace vx {

void CSpaceTree::Clear()
{
    m_items.clear();
    m_roots.clear();
    m_i64Selected = 0;
}

std::vector<int64_t>& CSpaceTree::ChildList(int64_t parentId)
{
    if (parentId == 0)
        return m_roots;
    return m_items.at(parentId).children;
}

const std::vector<int64_t>& CSpaceTree::ChildrenOf(int64_t id) const
{
    static const std::vector<int64_t> none;
    if (id == 0)
        return m_roots;
    auto it = m_items.find(id);
    return it == m_items.end() ? none : it->second.children;
}

bool CSpaceTree::AddFolder(const SpaceEntry& folder)
{
    const int64_t parent = folder.i64ParentId > 0 ? folder.i64ParentId : 0;
    if (folder.i64Id <= 0 || m_items.count(folder.i64Id) || (parent != 0 && !m_items.count(parent))) {
        Log(g_log, "add  Dir  fail  ");
        return false;
    }
    SpaceTreeItem item;
    item.entry = folder;
    item.entry.nType = SPACE_FOLDER;
    item.i64ParentItem = parent;
    if (parent != 0) {
        SpaceTreeItem& p = m_items.at(parent);
        item.entry.nLevel = p.entry.nLevel + 1;
        p.entry.bHasChildren = true;
    } else if (item.entry.nLevel < 1) {
        item.entry.nLevel = 1;
    }
    m_items.emplace(folder.i64Id, std::move(item));
    ChildList(parent).push_back(folder.i64Id);
    return true;
}

void CSpaceTree::RemoveSubtree(int64_t id)
{
    auto it = m_items.find(id);
    if (it == m_items.end())
        return;
    const std::vector<int64_t> children = it->second.children;
    for (int64_t c : children)
        RemoveSubtree(c);
    if (m_i64Selected == id)
        m_i64Selected = 0;
    m_items.erase(id);
}

bool CSpaceTree::Remove(int64_t id)
{
    auto it = m_items.find(id);
    if (it == m_items.end())
        return false;
    const int64_t parent = it->second.i64ParentItem;
    RemoveSubtree(id);
    std::vector<int64_t>& siblings = ChildList(parent);
    siblings.erase(std::remove(siblings.begin(), siblings.end(), id), siblings.end());
    if (parent != 0 && siblings.empty())
        m_items.at(parent).entry.bHasChildren = false;
    return true;
}

namespace {

// Smallest level first, answer order within a level.
std::vector<SpaceEntry> ByLevel(const std::vector<SpaceEntry>& entries)
{
    std::vector<SpaceEntry> folders;
    for (const SpaceEntry& e : entries)
        if (e.nType == SPACE_FOLDER)
            folders.push_back(e);
    std::stable_sort(folders.begin(), folders.end(),
                     [](const SpaceEntry& a, const SpaceEntry& b) { return a.nLevel < b.nLevel; });
    return folders;
}

} // namespace

void CSpaceTree::ReplaceChildren(int64_t parentId, const std::vector<SpaceEntry>& entries)
{
    if (parentId == 0) {
        Clear();
    } else {
        auto it = m_items.find(parentId);
        if (it == m_items.end())
            return;
        const std::vector<int64_t> old = it->second.children;
        for (int64_t c : old)
            Remove(c);
        m_items.at(parentId).bLoaded = true;
    }
    for (SpaceEntry e : ByLevel(entries)) {
        // An answer lists the children of the folder that was asked for, whatever they say.
        if (parentId != 0 && (e.i64ParentId <= 0 || !m_items.count(e.i64ParentId)))
            e.i64ParentId = parentId;
        AddFolder(e);
    }
}

void CSpaceTree::SyncChildren(int64_t parentId, const std::vector<SpaceEntry>& entries)
{
    if (parentId != 0 && !m_items.count(parentId))
        return;
    std::vector<SpaceEntry> folders = ByLevel(entries);
    // Children that are gone on the server go here too.
    const std::vector<int64_t> old = ChildrenOf(parentId);
    for (int64_t c : old) {
        bool stays =
            std::any_of(folders.begin(), folders.end(), [c](const SpaceEntry& e) { return e.i64Id == c; });
        if (!stays)
            Remove(c);
    }
    for (SpaceEntry& e : folders) {
        e.i64ParentId = parentId;
        auto it = m_items.find(e.i64Id);
        if (it == m_items.end()) {
            AddFolder(e);
        } else if (it->second.i64ParentItem != parentId) {
            // Moved here from elsewhere in the tree (by another client).
            MoveUnder(e.i64Id, parentId);
            m_items.at(e.i64Id).entry.strName = e.strName;
        } else {
            SpaceEntry& kept = it->second.entry;
            kept.strName = e.strName;
            kept.bHasChildren = e.bHasChildren || !it->second.children.empty();
            kept.strCreateTime = e.strCreateTime;
            kept.i64OwnId = e.i64OwnId;
        }
    }
    if (parentId != 0) {
        SpaceTreeItem& p = m_items.at(parentId);
        p.bLoaded = true;
        p.entry.bHasChildren = !p.children.empty();
    }
}

void CSpaceTree::Relevel(int64_t id, int level)
{
    SpaceTreeItem& item = m_items.at(id);
    item.entry.nLevel = level;
    for (int64_t c : item.children)
        Relevel(c, level + 1);
}

bool CSpaceTree::MoveUnder(int64_t id, int64_t newParent)
{
    auto it = m_items.find(id);
    if (it == m_items.end() || (newParent != 0 && !m_items.count(newParent)) || IsInside(newParent, id))
        return false;
    const int64_t oldParent = it->second.i64ParentItem;
    std::vector<int64_t>& from = ChildList(oldParent);
    from.erase(std::remove(from.begin(), from.end(), id), from.end());
    if (oldParent != 0 && from.empty())
        m_items.at(oldParent).entry.bHasChildren = false;
    ChildList(newParent).push_back(id);
    SpaceTreeItem& item = m_items.at(id);
    item.i64ParentItem = newParent;
    item.entry.i64ParentId = newParent;
    int level = 1;
    if (newParent != 0) {
        SpaceTreeItem& p = m_items.at(newParent);
        p.entry.bHasChildren = true;
        level = p.entry.nLevel + 1;
    }
    Relevel(id, level);
    return true;
}

bool CSpaceTree::Rename(int64_t id, const std::string& name)
{
    auto it = m_items.find(id);
    if (it == m_items.end())
        return false;
    it->second.entry.strName = name;
    return true;
}

const SpaceTreeItem* CSpaceTree::Find(int64_t id) const
{
    auto it = m_items.find(id);
    return it == m_items.end() ? nullptr : &it->second;
}

int64_t CSpaceTree::RootIdOf(int64_t ownerId) const
{
    for (int64_t r : m_roots)
        if (m_items.at(r).entry.i64OwnId == ownerId)
            return r;
    return 0;
}

std::string CSpaceTree::RootNameOf(int64_t ownerId) const
{
    const int64_t r = RootIdOf(ownerId);
    return r ? m_items.at(r).entry.strName : std::string();
}

const SpaceEntry* CSpaceTree::SelectedEntry() const
{
    const SpaceTreeItem* item = Find(m_i64Selected);
    return item ? &item->entry : nullptr;
}

bool CSpaceTree::Select(int64_t id)
{
    if (!m_items.count(id))
        return false;
    m_i64Selected = id;
    for (int64_t p = m_items.at(id).i64ParentItem; p != 0; p = m_items.at(p).i64ParentItem)
        m_items.at(p).bExpanded = true;
    return true;
}

void CSpaceTree::SetExpanded(int64_t id, bool expanded)
{
    auto it = m_items.find(id);
    if (it != m_items.end())
        it->second.bExpanded = expanded;
}

bool CSpaceTree::IsInside(int64_t id, int64_t ancestor) const
{
    // The depth bound keeps a damaged parent chain from looping.
    for (size_t guard = 0; id != 0 && guard <= m_items.size(); ++guard) {
        if (id == ancestor)
            return true;
        auto it = m_items.find(id);
        if (it == m_items.end())
            return false;
        id = it->second.i64ParentItem;
    }
    return false;
}

std::vector<int64_t> CSpaceTree::Ancestry(int64_t id) const
{
    std::vector<int64_t> chain;
    for (size_t guard = 0; id != 0 && guard <= m_items.size(); ++guard) {
        auto it = m_items.find(id);
        if (it == m_items.end())
            break;
        chain.push_back(id);
        id = it->second.i64ParentItem;
    }
    std::reverse(chain.begin(), chain.end());
    return chain;
}

std::string CSpaceTree::TreePath(int64_t id) const
{
    std::string path;
    for (int64_t a : Ancestry(id))
        path += "\\" + m_items.at(a).entry.strName;
    return path;
}

void CSpaceTree::Order(int64_t id, std::vector<int64_t>* out) const
{
    out->push_back(id);
    for (int64_t c : m_items.at(id).children)
        Order(c, out);
}

std::vector<int64_t> CSpaceTree::DisplayOrder() const
{
    std::vector<int64_t> out;
    out.reserve(m_items.size());
    for (int64_t r : m_roots)
        Order(r, &out);
    return out;
}

} // namespace vx
