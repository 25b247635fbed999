// CSpaceController: loading the tree, the counts, the buttons and the search. Showing folders
// and navigation are in SpaceControllerNav.cpp, the changes (new folder, rename, move, delete)
// in SpaceControllerEdit.cpp.

#include "space/SpaceController.h"

#include "app/LogFile.h"
#include "app/Utils.h"
#include "platform/LocalTime.h"
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

} // namespace

CSpaceController::CSpaceController(CAppConfig& config, CLocalDb& db, CMessageLoop& loop, ISpaceView* view)
    : m_config(config), m_db(db), m_loop(loop), m_view(view)
{
    m_workerConfig = std::make_unique<CAppConfig>(config.ConfigPath(), config.DefaultsPath());
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
    std::string text = m_config.GetText(number);
    if (!text.empty())
        return text;
    // A language file that lacks a text (or none found beside a copied program) must not leave
    // the page with bare numbers or empty questions: the shipped wording stands in.
    static const struct
    {
        int number;
        const char* text;
    } kBuiltIn[] = {
        {2057, "请先在左侧选择一个文件夹"},
        {2064, "请选择一个要重命名的文件或文件夹"},
        {2065, "确定要删除选中的N项吗？"},
        {2078, "个文件"},
        {2079, "个文件夹"},
        {2082, "确定要删除以下文件夹吗？\n"},
        {2083, "确定要删除以下文件吗？\n"},
        {2089, "只能删除不含文件的空文件夹，所选内容中有文件，无法删除"},
        {2090, "空间中的文件不能在客户端删除，只能删除空文件夹"},
    };
    for (const auto& t : kBuiltIn)
        if (t.number == number)
            return t.text;
    return text;
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
    const std::tm lt = LocalTimeNow();
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
