// CSpaceController: the changes — new folder, rename, move by dragging, delete. Each asks the
// server first; the tree, the list and the cache follow only when it agreed.

#include "space/SpaceController.h"

#include "app/LogFile.h"
#include "net/SpaceDirCheck.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cstdio>

namespace vx {
namespace {

long long LL(int64_t v)
{
    return static_cast<long long>(v);
}

} // namespace

const char* const CSpaceController::kForbiddenChars = "/\\:*?\"<>|$~!@#%^&￥";

std::string CSpaceController::CheckNewName(const std::string& name)
{
    // The forbidden set holds one multi-byte character (￥): compare code points, not bytes.
    const std::wstring forbidden = Utf8ToWide(kForbiddenChars);
    for (wchar_t ch : Utf8ToWide(name))
        if (forbidden.find(ch) != std::wstring::npos || ch < 0x20)
            return std::string("文件不能包含任何一项：") + kForbiddenChars;
    if (Utf8Length(name) > kMaxNameLength)
        return "名称不能超过" + std::to_string(kMaxNameLength) + "个字符";
    return "";
}

const SpaceEntry* CSpaceController::Resolve(const SpaceItemRef& item) const
{
    if (item.source == SpaceSource::TreeItem) {
        const SpaceTreeItem* t = m_tree.Find(item.i64Id);
        return t ? &t->entry : nullptr;
    }
    return m_list.Entry(item.bFolder, item.i64Id);
}

void CSpaceController::ReloadAfterRefusal(const std::vector<int64_t>& folders)
{
    // The folders' places in the tree are read again from their parents; the list shows what
    // the server has now. A folder that is gone leaves the tree on the way.
    std::vector<int64_t> parents;
    for (int64_t f : folders) {
        const SpaceTreeItem* item = m_tree.Find(f);
        const int64_t p = item ? item->i64ParentItem : -1;
        if (p >= 0 && std::find(parents.begin(), parents.end(), p) == parents.end())
            parents.push_back(p);
    }
    for (int64_t p : parents)
        if (p != m_list.DirId())
            ReloadTreeFolder(p);
    if (m_list.DirId() >= 0 && !m_list.IsSearch())
        ShowDir(m_list.DirId(), false, true);
}

// ---------------------------------------------------------------- new folder

void CSpaceController::NewFolder()
{
    auto c = std::make_shared<Call>();
    SpaceJob job;
    job.prepare = [this, c]() {
        if (m_list.IsSearch())
            return false;
        c->i64Parent = m_list.DirId() < 0 ? 0 : m_list.DirId();
        // Named at its turn, so a folder created just before is already counted.
        c->strName = m_list.UniqueNewFolderName();
        return true;
    };
    job.work = [this, c]() {
        c->ok = m_api->RequestForCreateDirectroy(c->i64Parent, c->strName, &c->i64Id, &c->err);
        c->cause = m_api->GetFailureCause();
    };
    job.apply = [this, c]() {
        if (!c->ok) {
            ShowFailure(c->err, c->cause);
            ReloadAfterRefusal({c->i64Parent});
            return;
        }
        SpaceEntry e;
        e.i64Id = c->i64Id;
        e.i64ParentId = c->i64Parent;
        e.i64OwnId = m_config.m_i64UserId;
        e.nType = SPACE_FOLDER;
        e.strName = c->strName;
        e.strCreateTime = NowText();
        const SpaceTreeItem* parent = m_tree.Find(c->i64Parent);
        e.nLevel = parent ? parent->entry.nLevel + 1 : 1;
        if (parent || c->i64Parent == 0)
            m_tree.AddFolder(e);
        else
            Log(g_log, "Info : m_pDirTreeUI：GetItemByID is failed");
        m_db.UpsertSpaceEntries({e}, m_config.m_i64UserId);
        unsigned changes = kChangeTree;
        if (m_list.DirId() == c->i64Parent && !m_list.IsSearch()) {
            // The new folder is the one selected, as the name editor opens over it.
            m_list.SetSelection({m_list.Add(e)});
            UpdateSpaceButtons();
            changes |= kChangeList | kChangeSelection;
        }
        PostCourseInfo();
        Changed(changes);
        if ((changes & kChangeList) && m_view)
            m_view->BeginRename({SpaceSource::ListItem, true, e.i64Id});
    };
    Queue(std::move(job));
}

// ---------------------------------------------------------------- rename

void CSpaceController::RenameSelected()
{
    std::vector<SpaceEntry> sel = m_list.SelectedEntries();
    if (sel.size() != 1) {
        if (m_view)
            m_view->ShowMessage(Text(2064));
        return;
    }
    RequestRename({SpaceSource::ListItem, sel[0].nType == SPACE_FOLDER, sel[0].i64Id});
}

void CSpaceController::RequestRename(const SpaceItemRef& item)
{
    m_loop.PostMsg(m_target, WM_SPACE_RENAME, static_cast<uint64_t>(item.source), MakePayload(item));
}

void CSpaceController::CommitRename(const SpaceItemRef& item, const std::string& rawName)
{
    const std::string name = Trim(rawName);
    const SpaceEntry* e = Resolve(item);
    if (!e) {
        Log(g_log, "Info : rename of entry %lld dropped: it is no longer shown", LL(item.i64Id));
        return;
    }
    if (name.empty() || name == e->strName)
        return;
    const std::string why = CheckNewName(name);
    if (!why.empty()) {
        if (m_view)
            m_view->ShowMessage(why);
        return;
    }
    auto c = std::make_shared<Call>();
    auto folder = std::make_shared<bool>(item.bFolder || item.source == SpaceSource::TreeItem);
    SpaceJob job;
    job.prepare = [this, c, item, name]() {
        const SpaceEntry* now = Resolve(item);
        if (!now)
            return false;
        c->i64Id = now->i64Id;
        c->i64Parent = now->i64ParentId;
        c->i64Target = now->i64Size;
        c->strName = name;
        return true;
    };
    job.work = [this, c, folder]() {
        // Files carry no digest in the space's answers; the platform keys them by id.
        c->ok = *folder ? m_api->RequestForRenameDir(c->i64Id, c->strName, c->i64Parent, &c->err)
                        : m_api->RequestForRenameFile(c->i64Id, c->strName, "", c->i64Target, &c->err);
        c->cause = m_api->GetFailureCause();
    };
    job.apply = [this, c, folder]() {
        if (!c->ok) {
            ShowFailure(c->err, c->cause);
            ReloadAfterRefusal({*folder ? c->i64Id : c->i64Parent});
            return;
        }
        const int64_t user = m_config.m_i64UserId;
        m_list.Rename(*folder, c->i64Id, c->strName);
        if (*folder) {
            m_tree.Rename(c->i64Id, c->strName);
            m_db.RenameDirFile(c->i64Id, c->strName, false, user);
            RebuildAddress();
            Changed(kChangeTree | kChangeList | kChangeAddress);
        } else {
            m_db.RenameDirFile(c->i64Id, c->strName, true, user);
            Changed(kChangeList);
        }
    };
    Queue(std::move(job));
}

// ---------------------------------------------------------------- move

bool CSpaceController::CanDrop(const SpaceItemRef& dragged, const SpaceDropTarget& target) const
{
    if (target.kind == SpaceSource::TreeItem && !m_tree.Contains(target.i64FolderId))
        return false;
    if (dragged.source == SpaceSource::TreeItem) {
        const SpaceTreeItem* item = m_tree.Find(dragged.i64Id);
        return item && target.kind == SpaceSource::TreeItem && target.i64FolderId != item->i64ParentItem &&
               !m_tree.IsInside(target.i64FolderId, dragged.i64Id);
    }
    bool anyFolder = false;
    const std::vector<SpaceEntry> sel = m_list.SelectedEntries(&anyFolder);
    if (sel.empty())
        return false;
    if (target.kind != SpaceSource::TreeItem) {
        if (!target.bIsFolder)
            return false;
        return std::none_of(sel.begin(), sel.end(), [&target](const SpaceEntry& e) {
            return e.nType == SPACE_FOLDER && e.i64Id == target.i64FolderId;
        });
    }
    // The folder the selection lies in already: nothing would move.
    if (target.i64FolderId == m_list.DirId() && !m_list.IsSearch())
        return false;
    for (const SpaceEntry& e : sel) {
        if (e.nType == SPACE_FOLDER && m_tree.IsInside(target.i64FolderId, e.i64Id))
            return false;
        if (m_list.IsSearch() && e.i64ParentId == target.i64FolderId)
            return false;
    }
    return true;
}

void CSpaceController::MoveItems(const SpaceItemRef& dragged, const SpaceDropTarget& target)
{
    if (target.kind == SpaceSource::ListItem && !target.bIsFolder) {
        Log(g_log, "Info : 目标Item 类型不正确， %s", "VXDirListItemUI");
        return;
    }
    if (!CanDrop(dragged, target)) {
        Log(g_log, "Info : move of entry %lld onto folder %lld refused: not a valid target",
            LL(dragged.i64Id), LL(target.i64FolderId));
        return;
    }
    if (dragged.source == SpaceSource::TreeItem)
        MoveTreeItem(dragged.i64Id, target.i64FolderId);
    else
        MoveListSelection(target.i64FolderId);
}

void CSpaceController::MoveTreeItem(int64_t id, int64_t target)
{
    auto c = std::make_shared<Call>();
    SpaceJob job;
    job.prepare = [this, c, id, target]() {
        // Checked again at its turn: an earlier move may have changed the tree.
        if (!CanDrop({SpaceSource::TreeItem, true, id}, {SpaceSource::TreeItem, target, true}))
            return false;
        c->i64Id = id;
        c->i64Target = target;
        return true;
    };
    job.work = [this, c]() {
        c->ok = m_api->RequestForMoveDir(c->i64Target, {c->i64Id}, &c->err);
        c->cause = m_api->GetFailureCause();
    };
    job.apply = [this, c]() {
        if (!c->ok) {
            ShowFailure(c->err, c->cause);
            ReloadAfterRefusal({c->i64Id, c->i64Target});
            return;
        }
        m_tree.MoveUnder(c->i64Id, c->i64Target);
        m_db.MoveDirFile(c->i64Id, c->i64Target, false, m_config.m_i64UserId);
        const SpaceTreeItem* item = m_tree.Find(c->i64Id);
        if (m_list.DirId() == c->i64Target && !m_list.IsSearch()) {
            if (item && m_list.Find(true, c->i64Id) < 0)
                m_list.Add(item->entry);
        } else {
            m_list.Remove(true, c->i64Id);
        }
        RebuildAddress();
        PostCourseInfo();
        Changed(kChangeTree | kChangeList | kChangeAddress);
    };
    Queue(std::move(job));
}

void CSpaceController::MoveListSelection(int64_t target)
{
    // The selection at the drop is what moves, even when the user selects something else while
    // the request waits.
    auto moved = std::make_shared<std::vector<SpaceEntry>>(m_list.SelectedEntries());
    auto c = std::make_shared<Call>();
    SpaceJob job;
    job.prepare = [this, c, moved, target]() {
        moved->erase(std::remove_if(moved->begin(), moved->end(),
                                    [this](const SpaceEntry& e) {
                                        return m_list.Find(e.nType == SPACE_FOLDER, e.i64Id) < 0;
                                    }),
                     moved->end());
        c->i64Target = target;
        return !moved->empty();
    };
    job.work = [this, c, moved]() {
        const std::vector<int64_t> folders = CSpaceApi::FolderIds(*moved);
        c->ok = (folders.empty() || m_api->RequestForMoveDir(c->i64Target, folders, &c->err)) &&
                m_api->RequestForMoveFile(c->i64Target, CSpaceApi::FileIds(*moved), &c->err);
        c->cause = m_api->GetFailureCause();
    };
    job.apply = [this, c, moved]() {
        if (!c->ok) {
            ShowFailure(c->err, c->cause);
            std::vector<int64_t> touched = CSpaceApi::FolderIds(*moved);
            touched.push_back(c->i64Target);
            ReloadAfterRefusal(touched);
            return;
        }
        m_db.MoveDirFiles(*moved, c->i64Target, m_config.m_i64UserId);
        for (const SpaceEntry& e : *moved) {
            const bool folder = e.nType == SPACE_FOLDER;
            if (folder && m_tree.Contains(c->i64Target))
                m_tree.MoveUnder(e.i64Id, c->i64Target);
            else if (folder)
                m_tree.Remove(e.i64Id);
            m_list.Remove(folder, e.i64Id);
        }
        UpdateSpaceButtons();
        PostCourseInfo();
        Changed(kChangeTree | kChangeList | kChangeSelection);
    };
    Queue(std::move(job));
}

// ---------------------------------------------------------------- delete

void CSpaceController::RequestDelete(const SpaceItemRef& sender)
{
    m_loop.PostMsg(m_target, WM_SPACE_DELETE_ITEMS, 0, MakePayload(sender));
}

void CSpaceController::DeleteItems(const SpaceItemRef& sender)
{
    if (sender.source == SpaceSource::TreeItem)
        DeleteTreeItem(sender.i64Id);
    else
        DeleteListSelection(sender);
}

void CSpaceController::DeleteTreeItem(int64_t id)
{
    const SpaceTreeItem* item = m_tree.Find(id);
    if (!item || !m_view || !m_view->Confirm(Text(2082) + item->entry.strName))
        return;
    auto c = std::make_shared<Call>();
    auto check = std::make_shared<DirFilesCheck>(DirFilesCheck::Failed);
    SpaceJob job;
    job.prepare = [this, c, id]() {
        c->i64Id = id;
        return m_tree.Contains(id);
    };
    job.work = [this, c, check]() {
        *check = CheckDirHoldsFiles(*m_api, c->i64Id, &c->err);
        if (*check == DirFilesCheck::Empty)
            c->ok = m_api->RequestForDeleteDir({c->i64Id}, &c->err);
        c->cause = m_api->GetFailureCause();
    };
    job.apply = [this, c, check]() {
        if (*check == DirFilesCheck::Failed) {
            Log(g_log, "Error: delete space dir failed!");
            ShowFailure(c->err, c->cause);
            ReloadAfterRefusal({c->i64Id});
        } else if (*check == DirFilesCheck::HoldsFiles) {
            if (m_view)
                m_view->ShowMessage(Text(2089));
        } else if (!c->ok) {
            ShowFailure(c->err, c->cause);
            ReloadAfterRefusal({c->i64Id});
        } else {
            ApplyDeleted({c->i64Id});
        }
    };
    Queue(std::move(job));
}

void CSpaceController::DeleteListSelection(const SpaceItemRef& sender)
{
    // A menu on one item acts on that item unless it is part of a larger selection.
    if (sender.source == SpaceSource::ListItem) {
        const int row = m_list.Find(sender.bFolder, sender.i64Id);
        if (row < 0)
            return;
        if (!m_list.Rows()[row].bSelected) {
            SetListSelection({row});
            Changed(kChangeSelection);
        }
    }
    bool hasFolder = false;
    const std::vector<SpaceEntry> sel = m_list.SelectedEntries(&hasFolder);
    if (sel.empty() || !m_view)
        return;
    std::string question;
    if (sel.size() == 1) {
        question = Text(sel[0].nType == SPACE_FOLDER ? 2082 : 2083) + sel[0].strName;
    } else {
        question = Text(2065);
        const size_t n = question.find('N');
        if (n != std::string::npos)
            question.replace(n, 1, std::to_string(sel.size()));
    }
    if (!m_view->Confirm(question))
        return;
    if (!hasFolder) {
        m_view->ShowMessage(Text(2090));
        return;
    }
    if (!CSpaceApi::FileIds(sel).empty()) {
        m_view->ShowMessage(Text(2089));
        return;
    }
    auto ids = std::make_shared<std::vector<int64_t>>(CSpaceApi::FolderIds(sel));
    auto c = std::make_shared<Call>();
    auto check = std::make_shared<DirFilesCheck>(DirFilesCheck::Failed);
    SpaceJob job;
    job.work = [this, c, ids, check]() {
        *check = DirFilesCheck::Empty;
        for (int64_t id : *ids) {
            *check = CheckDirHoldsFiles(*m_api, id, &c->err);
            if (*check != DirFilesCheck::Empty)
                break;
        }
        if (*check == DirFilesCheck::Empty)
            c->ok = m_api->RequestForDeleteDir(*ids, &c->err);
        c->cause = m_api->GetFailureCause();
    };
    job.apply = [this, c, ids, check]() {
        if (*check == DirFilesCheck::HoldsFiles) {
            if (m_view)
                m_view->ShowMessage(Text(2089));
            return;
        }
        if (*check == DirFilesCheck::Failed || !c->ok) {
            if (*check == DirFilesCheck::Failed)
                Log(g_log, "Error: delete space dir failed!");
            ShowFailure(c->err, c->cause);
            ReloadAfterRefusal(*ids);
            return;
        }
        ApplyDeleted(*ids);
    };
    Queue(std::move(job));
}

void CSpaceController::ApplyDeleted(const std::vector<int64_t>& ids)
{
    // When the shown folder was deleted (or lies inside a deleted one) its parent is shown.
    int64_t showInstead = -1;
    for (int64_t id : ids) {
        if (m_list.DirId() >= 0 && m_tree.IsInside(m_list.DirId(), id)) {
            const SpaceTreeItem* item = m_tree.Find(id);
            showInstead = item ? item->i64ParentItem : 0;
        }
        m_tree.Remove(id);
        m_list.Remove(true, id);
    }
    m_db.RemoveDirectories(ids, m_config.m_i64UserId);
    if (showInstead > 0) {
        m_tree.Select(showInstead);
        ShowDir(showInstead, true, false);
    } else if (showInstead == 0) {
        m_list.Clear();
        m_address.Clear();
    }
    UpdateSpaceButtons();
    PostCourseInfo();
    Changed(kChangeTree | kChangeList | kChangeAddress | kChangeSelection);
}

} // namespace vx
