// CSpaceController: loading the tree, showing folders, navigation, sorting, the counts, the
// buttons and the search. The changes (new folder, rename, move, delete) are in
// SpaceControllerEdit.cpp.

#include "space/SpaceController.h"

#include "app/LogFile.h"
#include "app/Utils.h"
#include "platform/Utf8.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace vx {
namespace {

long long LL(int64_t v)
{
    return static_cast<long long>(v);
}

constexpr int kSortTab = 2; // SelTabNum of the space list: one order per folder

} // namespace

CSpaceController::CSpaceController(CAppConfig& config, CLocalDb& db, CMessageLoop& loop, ISpaceView* view)
    : m_config(config), m_db(db), m_loop(loop), m_view(view)
{
    m_workerConfig = std::make_unique<CAppConfig>(config.ConfigPath());
    m_api = std::make_unique<CSpaceApi>(*m_workerConfig);
    m_target = m_loop.Register(this);
    m_queue = std::make_unique<CSpaceRequestQueue>(m_loop, [this](bool busy) {
        if (m_view)
            m_view->SetBusy(busy);
    });
}

CSpaceController::~CSpaceController()
{
    m_loop.Unregister(m_target);
    m_queue.reset();
}

void CSpaceController::SetTimeouts(const HttpTimeouts& t)
{
    // Only between requests: the worker reads the API's settings while one runs.
    if (!m_queue->IsBusy())
        m_api->SetTimeouts(t);
}

bool CSpaceController::WaitIdle(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() < 0 ||
            !m_loop.PumpUntil([this] { return !m_queue->IsBusy(); }, static_cast<int>(left.count())))
            return false;
        // Idle only when what the last results posted (the counts, a delete) queued nothing more.
        if (m_loop.RunOnce(0) == 0 && !m_queue->IsBusy())
            return true;
    }
}

void CSpaceController::SyncWorkerConfig()
{
    m_config.CopySessionTo(*m_workerConfig);
}

void CSpaceController::Queue(SpaceJob job)
{
    auto prepare = std::move(job.prepare);
    job.prepare = [this, prepare]() {
        if (prepare && !prepare())
            return false;
        SyncWorkerConfig();
        return true;
    };
    m_queue->Push(std::move(job));
}

void CSpaceController::Changed(unsigned changes)
{
    if (m_view && changes)
        m_view->SpaceChanged(changes);
}

std::string CSpaceController::Text(int number) const
{
    return m_config.GetText(number);
}

void CSpaceController::ShowFailure(const std::string& errorText, const std::string& cause)
{
    const std::string& text = !errorText.empty() ? errorText : cause;
    if (!text.empty() && m_view)
        m_view->ShowMessage(text);
}

void CSpaceController::PostCourseInfo()
{
    m_loop.PostMsg(m_target, WM_SPACE_COURSE_INFO);
}

std::string CSpaceController::NowText()
{
    time_t t = time(nullptr);
    struct tm lt = {};
    localtime_r(&t, &lt);
    char buf[64];
    snprintf(buf, sizeof buf, "%4d-%02d-%02d %2d:%02d:%02d", lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday,
             lt.tm_hour, lt.tm_min, lt.tm_sec);
    return buf;
}

// ---------------------------------------------------------------- loading the tree

void CSpaceController::LoadTree(int64_t senderId)
{
    auto c = std::make_shared<Call>();
    auto needRoot = std::make_shared<bool>(false);
    SpaceJob job;
    job.prepare = [this, c, senderId]() {
        // The sender may have gone with an earlier reload.
        if (senderId > 0 && !m_tree.Contains(senderId))
            return false;
        c->i64Parent = senderId > 0 ? senderId : 0;
        c->strName = m_config.m_strAccountName;
        return true;
    };
    job.work = [this, c, needRoot]() {
        c->ok = m_api->RequestForDirList(c->i64Parent, false, &c->entries, &c->err);
        c->cause = m_api->GetFailureCause();
        if (!c->ok || c->i64Parent != 0)
            return;
        const int64_t user = m_workerConfig->m_i64UserId;
        int64_t rootId = 0;
        for (const SpaceEntry& e : c->entries)
            if (e.i64ParentId == 0 && e.i64OwnId == user) {
                rootId = e.i64Id;
                break;
            }
        if (rootId) {
            Log(g_log, "Info : root Dir is exist ,username :%s--id:%lld ", c->strName.c_str(), LL(rootId));
            return;
        }
        *needRoot = true;
        std::string err;
        if (c->strName.empty()) {
            c->strName = "无法创建根目录：帐号名为空";
        } else if (!m_api->RequestForCreateDirectroy(0, c->strName, &c->i64Id, &err)) {
            c->i64Id = 0;
            c->strName = err.empty() ? m_api->GetFailureCause() : err;
        }
    };
    job.apply = [this, c, needRoot, senderId]() {
        if (!c->ok) {
            ShowFailure(c->err, c->cause);
            return;
        }
        if (c->i64Parent > 0 && !m_tree.Contains(c->i64Parent))
            return;
        if (*needRoot) {
            if (c->i64Id > 0) {
                SpaceEntry root;
                root.i64Id = c->i64Id;
                root.i64ParentId = 0;
                root.i64OwnId = m_config.m_i64UserId;
                root.nLevel = 1;
                root.nType = SPACE_FOLDER;
                root.strName = c->strName;
                root.strCreateTime = NowText();
                c->entries.push_back(root);
            } else {
                ShowFailure(c->strName, "");
            }
        }
        m_tree.ReplaceChildren(c->i64Parent, c->entries);
        m_db.ReplaceDirectories(c->i64Parent, c->entries, m_config.m_i64UserId);
        unsigned changes = kChangeTree;
        if (c->i64Parent == 0) {
            if (!m_tree.Roots().empty()) {
                const int64_t first = m_tree.Roots().front();
                m_tree.Select(first);
                UpdateSpaceButtons();
                ShowDir(first, false, false);
            }
        } else if (senderId > 0) {
            m_tree.SetExpanded(senderId, true);
        }
        Changed(changes);
    };
    Queue(std::move(job));
}

void CSpaceController::ReloadTreeFolder(int64_t folderId)
{
    auto c = std::make_shared<Call>();
    SpaceJob job;
    job.prepare = [this, c, folderId]() {
        if (folderId > 0 && !m_tree.Contains(folderId))
            return false;
        c->i64Parent = folderId;
        return true;
    };
    job.work = [this, c]() { c->ok = m_api->RequestForDirList(c->i64Parent, false, &c->entries, &c->err); };
    job.apply = [this, c]() {
        if (c->ok) {
            m_tree.SyncChildren(c->i64Parent, c->entries);
            // The top level's replacement would empty the whole cached tree: add there instead.
            if (c->i64Parent > 0)
                m_db.ReplaceDirectories(c->i64Parent, c->entries, m_config.m_i64UserId);
            else
                m_db.UpsertSpaceEntries(c->entries, m_config.m_i64UserId);
        } else if (!c->err.empty() && c->i64Parent > 0) {
            // The server no longer knows the folder: it leaves the tree, its parent is read again.
            const SpaceTreeItem* item = m_tree.Find(c->i64Parent);
            const int64_t up = item ? item->i64ParentItem : 0;
            m_tree.Remove(c->i64Parent);
            m_db.RemoveDirectories({c->i64Parent}, m_config.m_i64UserId);
            ReloadTreeFolder(up);
        }
        Changed(kChangeTree);
    };
    Queue(std::move(job));
}

// ---------------------------------------------------------------- showing a folder

void CSpaceController::ShowDirList(int64_t dirId)
{
    ShowDir(dirId, false, false);
}

void CSpaceController::ShowDir(int64_t dirId, bool selectInTree, bool quiet)
{
    auto c = std::make_shared<Call>();
    SpaceJob job;
    job.key = "show";
    // The folder's parent as it is now: an earlier reload may take the folder out of the tree.
    const SpaceTreeItem* queued = m_tree.Find(dirId);
    c->i64Parent = queued ? queued->i64ParentItem : -1;
    job.prepare = [this, c, dirId]() {
        c->i64Id = dirId;
        if (const SpaceTreeItem* item = m_tree.Find(dirId))
            c->i64Parent = item->i64ParentItem;
        return dirId >= 0;
    };
    job.work = [this, c]() {
        c->ok = m_api->RequestForDirList(c->i64Id, true, &c->entries, &c->err);
        c->cause = m_api->GetFailureCause();
    };
    job.apply = [this, c, selectInTree, quiet]() {
        if (c->ok) {
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
    if (selectInTree)
        m_tree.Select(dirId);
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
        ShowDir(e->i64Id, true, false);
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

// ---------------------------------------------------------------- counts and buttons

void CSpaceController::ShowSpaceCourseInfo()
{
    int files = 0, folders = 0;
    int64_t bytes = 0;
    for (const SpaceListRow& r : m_list.Rows()) {
        if (r.entry.nType == SPACE_FOLDER) {
            ++folders;
        } else {
            ++files;
            bytes += r.entry.i64Size;
        }
    }
    char buf[512];
    snprintf(buf, sizeof buf, "%d%s   %d%s   %s", files, Text(2078).c_str(), folders, Text(2079).c_str(),
             FormatFileSize(bytes).c_str());
    m_strCourseInfo = buf;
    Changed(kChangeInfo);
}

void CSpaceController::UpdateSpaceButtons()
{
    SpaceButtons b;
    const bool search = m_list.IsSearch();
    const SpaceEntry* selected = m_tree.SelectedEntry();
    const bool own = selected && selected->i64OwnId == m_config.m_i64UserId;
    b.rename.bEnabled = m_list.SelectedCount() == 1;
    b.rename.bVisible = b.createDir.bVisible = b.padCreate.bVisible = b.padRename.bVisible =
        b.addFile.bVisible = own;
    b.createDir.bEnabled = b.padCreate.bEnabled = !search;
    b.refresh.bVisible = !search;
    if (!(b == m_buttons)) {
        m_buttons = b;
        Changed(kChangeButtons);
    }
}

// ---------------------------------------------------------------- search

void CSpaceController::Search(const std::string& rawText)
{
    const std::string text = Trim(rawText);
    if (text.empty()) {
        EndSearch();
        return;
    }
    auto c = std::make_shared<Call>();
    SpaceJob job;
    job.key = "show";
    job.prepare = [this, c, text]() {
        // In a search the list keeps the folder it searched; a new search looks there again.
        c->i64Id = m_list.DirId() >= 0 ? m_list.DirId() : m_tree.Selected();
        c->strName = text;
        return true;
    };
    job.work = [this, c]() {
        c->ok = m_api->RequestForSearchKey(c->i64Id, c->strName, &c->entries, &c->err);
        c->cause = m_api->GetFailureCause();
    };
    job.apply = [this, c]() {
        if (!c->ok) {
            ShowFailure(c->err, c->cause);
            return;
        }
        if (!m_list.IsSearch())
            m_i64BeforeSearch = m_list.DirId();
        m_list.SetSearch(true);
        if (c->entries.empty()) {
            m_strSearchBanner = c->strName;
            m_list.Fill(c->i64Id, OwnerOf(c->i64Id), {});
            UpdateSpaceButtons();
            ShowSpaceCourseInfo();
        } else {
            m_strSearchBanner.clear();
            // Results come from anywhere below the folder: added to the cache, nothing removed.
            m_db.UpsertSpaceEntries(c->entries, m_config.m_i64UserId);
            m_list.Fill(c->i64Id, OwnerOf(c->i64Id), c->entries);
            UpdateSpaceButtons();
            PostCourseInfo();
        }
        Changed(kChangeList | kChangeSearch | kChangeSelection);
    };
    Queue(std::move(job));
}

void CSpaceController::EndSearch()
{
    const bool was = m_list.IsSearch();
    EndSearchUi();
    UpdateSpaceButtons();
    Changed(kChangeSearch);
    if (!was)
        return;
    const int64_t dir = m_i64BeforeSearch >= 0 ? m_i64BeforeSearch : m_tree.Selected();
    m_i64BeforeSearch = -1;
    if (dir >= 0)
        ShowDir(dir, false, false);
}

// ---------------------------------------------------------------- messages and the rest

void CSpaceController::AddFinishedFile(const SpaceEntry& file)
{
    if (file.i64ParentId != m_list.DirId() || m_list.IsSearch() || m_list.Find(false, file.i64Id) >= 0)
        return;
    m_list.Add(file);
    m_db.UpsertSpaceEntries({file}, m_config.m_i64UserId);
    PostCourseInfo();
    Changed(kChangeList);
}

void CSpaceController::AddFolderToTree(const SpaceEntry& folder)
{
    if (m_tree.AddFolder(folder))
        Changed(kChangeTree);
}

void CSpaceController::Reset()
{
    m_queue->DropWaiting();
    m_tree.Clear();
    m_list.Clear();
    m_address.Clear();
    EndSearchUi();
    m_i64BeforeSearch = -1;
    m_strCourseInfo.clear();
    UpdateSpaceButtons();
    Changed(kChangeTree | kChangeList | kChangeAddress | kChangeButtons | kChangeInfo | kChangeSearch);
}

void CSpaceController::OnMessage(uint32_t id, uint64_t, std::unique_ptr<CMsgPayload> payload)
{
    switch (id) {
    case WM_SPACE_COURSE_INFO:
        ShowSpaceCourseInfo();
        break;
    case WM_SPACE_RENAME:
        if (const SpaceItemRef* item = PayloadAs<SpaceItemRef>(payload)) {
            if (Resolve(*item) && m_view)
                m_view->BeginRename(*item);
            else
                Log(g_log, "Info : rename of entry %lld skipped: it is no longer shown", LL(item->i64Id));
        }
        break;
    case WM_SPACE_DELETE_ITEMS:
        if (const SpaceItemRef* item = PayloadAs<SpaceItemRef>(payload))
            DeleteItems(*item);
        break;
    case WM_SPACE_SEARCH:
        if (const std::string* text = PayloadAs<std::string>(payload))
            Search(*text);
        break;
    default:
        break;
    }
}

} // namespace vx
