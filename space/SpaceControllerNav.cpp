// CSpaceController: showing a folder and moving around — tree selection, double click, the
// address bar, back, refresh and sorting. Wherever the user goes, the tree follows: the folder
// shown is selected there and its ancestors are expanded, read from the server level by level
// when the tree has not loaded them yet (a search result deep below the searched folder).

#include "space/SpaceController.h"

#include "app/LogFile.h"

#include <algorithm>
#include <unordered_map>

namespace vx {
namespace {

long long LL(int64_t v)
{
    return static_cast<long long>(v);
}

constexpr int kSortTab = 2; // SelTabNum of the space list: one order per folder

} // namespace

// ---------------------------------------------------------------- showing a folder

void CSpaceController::ShowDirList(int64_t dirId)
{
    // Whoever asks for a folder (the window, an upload's end), the tree shows where the list is.
    ShowDir(dirId, true, false);
}

void CSpaceController::ShowDir(int64_t dirId, bool selectInTree, bool quiet, int64_t parentHint)
{
    auto c = std::make_shared<Call>();
    SpaceJob job;
    job.key = "show";
    // The folder's parent as it is now: an earlier reload may take the folder out of the tree.
    const SpaceTreeItem* queued = m_tree.Find(dirId);
    c->i64Parent = queued ? queued->i64ParentItem : -1;
    job.prepare = [this, c, dirId, selectInTree, parentHint]() {
        c->i64Id = dirId;
        c->i64Target = 0;
        if (const SpaceTreeItem* item = m_tree.Find(dirId)) {
            c->i64Parent = item->i64ParentItem;
        } else if (selectInTree && dirId > 0) {
            // The tree has not loaded the folder yet: look for it below its parent when the tree
            // holds that, else below the folder the list shows (the one searched), else below
            // the roots of the shown owner.
            if (parentHint > 0 && m_tree.Contains(parentHint))
                c->i64Target = parentHint;
            else if (m_list.DirId() > 0 && m_tree.Contains(m_list.DirId()))
                c->i64Target = m_list.DirId();
            else
                c->i64Target =
                    m_tree.RootIdOf(m_list.OwnerId() >= 0 ? m_list.OwnerId() : m_config.m_i64UserId);
        }
        return dirId >= 0;
    };
    job.work = [this, c]() {
        c->ok = m_api->RequestForDirList(c->i64Id, true, &c->entries, &c->err);
        c->cause = m_api->GetFailureCause();
        // Only a folder that exists is worth looking for; not finding it leaves the tree as it is.
        if (c->ok && c->i64Target > 0 && !FindFolderPath(c->i64Target, c->i64Id, &c->levels))
            c->levels.clear();
    };
    job.apply = [this, c, selectInTree, quiet]() {
        if (c->ok) {
            const int64_t user = m_config.m_i64UserId;
            for (const auto& [folder, subfolders] : c->levels) {
                if (!m_tree.Contains(folder))
                    break; // an earlier result took the way away meanwhile
                m_tree.SyncChildren(folder, subfolders);
                m_tree.SetExpanded(folder, true);
                m_db.ReplaceDirectories(folder, subfolders, user);
            }
            ApplyDirList(c->i64Id, c->entries, selectInTree);
            return;
        }
        if (!quiet) {
            ShowFailure(c->err, c->cause);
            return;
        }
        // A reload after a refusal found the shown folder gone: show its parent instead (the
        // tree may have dropped the folder already, so the parent is the one it had before).
        if (c->err.empty() || c->i64Parent < 0)
            return;
        const int64_t up = c->i64Parent;
        m_tree.Remove(c->i64Id);
        m_db.RemoveDirectories({c->i64Id}, m_config.m_i64UserId);
        if (up > 0) {
            ShowDir(up, true, true);
        } else {
            m_list.Clear();
            m_address.Clear();
            ReloadTreeFolder(0);
        }
        Changed(kChangeTree | kChangeList | kChangeAddress);
    };
    Queue(std::move(job));
}

bool CSpaceController::FindFolderPath(int64_t start, int64_t target,
                                      std::vector<std::pair<int64_t, std::vector<SpaceEntry>>>* levels)
{
    // Bounds: a broad organisation tree must not turn one double click into thousands of requests.
    constexpr int kMaxDepth = 64;
    constexpr int kMaxRequests = 400;
    std::unordered_map<int64_t, int64_t> parentOf;
    std::unordered_map<int64_t, std::vector<SpaceEntry>> answers;
    std::vector<int64_t> frontier{start};
    int requests = 0;
    bool found = false;
    for (int depth = 0; depth < kMaxDepth && !found && !frontier.empty(); ++depth) {
        std::vector<int64_t> next;
        for (int64_t folder : frontier) {
            if (++requests > kMaxRequests) {
                Log(g_log, "Info : folder %lld not found within %d listings below %lld", LL(target),
                    kMaxRequests, LL(start));
                return false;
            }
            std::vector<SpaceEntry> subfolders;
            std::string err;
            if (!m_api->RequestForDirList(folder, false, &subfolders, &err))
                return false;
            for (const SpaceEntry& e : subfolders) {
                if (e.nType != SPACE_FOLDER || parentOf.count(e.i64Id))
                    continue; // a folder seen twice means a damaged answer: never loop on it
                parentOf[e.i64Id] = folder;
                next.push_back(e.i64Id);
                found = found || e.i64Id == target;
            }
            answers[folder] = std::move(subfolders);
            if (found)
                break;
        }
        frontier.swap(next);
    }
    if (!found)
        return false;
    std::vector<int64_t> chain;
    for (int64_t p = parentOf.at(target);; p = parentOf.at(p)) {
        chain.push_back(p);
        if (p == start)
            break;
    }
    std::reverse(chain.begin(), chain.end());
    for (int64_t folder : chain)
        levels->emplace_back(folder, std::move(answers[folder]));
    return true;
}

void CSpaceController::ApplyDirList(int64_t dirId, const std::vector<SpaceEntry>& entries, bool selectInTree)
{
    EndSearchUi();
    const int64_t user = m_config.m_i64UserId;
    m_db.ReplaceDirectories(dirId, entries, user);
    if (dirId > 0)
        m_db.ReplaceSpaceFiles(dirId, entries, user);
    // The answer is the truth about the folder's subfolders: the tree follows it.
    if (dirId == 0 || m_tree.Contains(dirId))
        m_tree.SyncChildren(dirId, entries);
    if (selectInTree && m_tree.Select(dirId))
        m_tree.SetExpanded(dirId, true); // opened from the list or the address bar: shown open
    m_list.Fill(dirId, OwnerOf(dirId), entries);
    if (entries.empty())
        Log(g_log, "Info : _i64ParentId:\t%lld, ShowDirList show is empty", LL(dirId));
    int column = -1, order = -1;
    if (m_db.GetSortRow(kSortTab, dirId, user, &column, &order) && column >= 0 && order >= 0)
        m_list.Sort(column, order != 0);
    RebuildAddress();
    UpdateSpaceButtons();
    PostCourseInfo();
    Changed(kChangeTree | kChangeList | kChangeAddress | kChangeSelection | kChangeSearch);
}

int64_t CSpaceController::OwnerOf(int64_t dirId) const
{
    if (const SpaceTreeItem* item = m_tree.Find(dirId))
        return item->entry.i64OwnId;
    const SpaceEntry* selected = m_tree.SelectedEntry();
    return selected ? selected->i64OwnId : -1;
}

void CSpaceController::RebuildAddress()
{
    std::vector<SpaceEntry> path;
    for (int64_t id : m_tree.Ancestry(m_list.DirId()))
        path.push_back(m_tree.Find(id)->entry);
    m_address.SetPath(path);
}

void CSpaceController::EndSearchUi()
{
    m_list.SetSearch(false);
    m_strSearchBanner.clear();
}

// ---------------------------------------------------------------- navigation

void CSpaceController::SelectTreeItem(int64_t dirId)
{
    if (m_tree.Select(dirId)) {
        UpdateSpaceButtons();
        Changed(kChangeTree);
    }
}

void CSpaceController::OnTreeItemSelect(int64_t dirId)
{
    SelectTreeItem(dirId);
    ShowDir(dirId, false, false);
}

void CSpaceController::OnTreeReClick(int64_t dirId)
{
    ShowDir(dirId, false, false);
}

void CSpaceController::ExpandTreeItem(int64_t dirId, bool expand)
{
    const SpaceTreeItem* item = m_tree.Find(dirId);
    if (!item)
        return;
    // The tree widget shows the expansion already; only a first expansion has more to do.
    m_tree.SetExpanded(dirId, expand);
    if (expand && !item->bLoaded)
        LoadTree(dirId);
}

void CSpaceController::OpenListItem(const SpaceItemRef& item)
{
    const SpaceEntry* e = m_list.Entry(item.bFolder, item.i64Id);
    if (!e) {
        Log(g_log, "Waring :OnMsgTypeItemDBClick l_pData is  NULL");
        return;
    }
    if (e->nType == SPACE_FOLDER)
        ShowDir(e->i64Id, true, false, e->i64ParentId);
}

void CSpaceController::OnAddressItemClick(int64_t dirId)
{
    if (dirId == m_list.DirId() && !m_list.IsSearch()) {
        Log(g_log, "dir list parent id is %lld ,not need refresh ", LL(dirId));
        return;
    }
    ShowDir(dirId, true, false);
}

void CSpaceController::BackPreDirList()
{
    if (!m_address.BackEnabled()) {
        Log(g_log, "Info : BackPreDirList()  can not  back to pre dir ");
        return;
    }
    ShowDir(m_address.BackTargetId(), true, false);
}

void CSpaceController::Refresh()
{
    if (m_list.DirId() < 0) {
        if (m_view)
            m_view->ShowMessage(Text(2057));
        return;
    }
    ShowDir(m_list.DirId(), false, false);
}

void CSpaceController::RefreshTree(int64_t senderId)
{
    Log(g_log, "Info : !~~~@1@l_nParentID  is %lld ", LL(m_list.DirId()));
    LoadTree(senderId);
    Log(g_log, "Info : !~~~@2@l_nParentID  is %lld ", LL(m_list.DirId()));
    if (m_list.DirId() >= 0 && senderId > 0)
        ShowDir(m_list.DirId(), false, false);
}

void CSpaceController::SortList(int column, bool descending)
{
    m_list.Sort(column, descending);
    // Search results are no folder's content: their order is not kept.
    if (!m_list.IsSearch() && m_list.DirId() >= 0)
        m_db.AddSortRow(kSortTab, m_list.DirId(), column, descending ? 1 : 0, m_config.m_i64UserId);
    Changed(kChangeList);
}

void CSpaceController::SetListSelection(const std::vector<int>& rows)
{
    // The list widget made this selection itself: only the buttons follow.
    m_list.SetSelection(rows);
    UpdateSpaceButtons();
}

} // namespace vx
