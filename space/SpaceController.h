#pragma once
// The space page's logic without a widget: the folder tree, the list of the shown folder, the
// address bar, the buttons and the counts, and every operation on them — browse, refresh,
// create, rename, move, delete, search. The page's widgets show the models and forward the
// user's events here; tests drive the same calls against the simulator.
//
// Requests never run on the owner's thread: each operation is queued (CSpaceRequestQueue),
// its request runs on the worker, and its result is applied here in queue order. The models
// and the local cache change only after the server accepted a change; when it refuses one
// (the folder was moved or deleted elsewhere meanwhile) the page shows why and reads the
// affected folders again.

#include "app/AppConfig.h"
#include "net/SpaceApi.h"
#include "space/SpaceAddress.h"
#include "space/SpaceList.h"
#include "space/SpaceMessages.h"
#include "space/SpaceRequestQueue.h"
#include "space/SpaceTree.h"
#include "store/LocalDb.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vx {

class CSpaceController : public IMsgHandler
{
public:
    // The owner's thread is the one that runs loop. view may be null (nothing shown).
    CSpaceController(CAppConfig& config, CLocalDb& db, CMessageLoop& loop, ISpaceView* view);
    ~CSpaceController() override;
    CSpaceController(const CSpaceController&) = delete;
    CSpaceController& operator=(const CSpaceController&) = delete;

    void SetView(ISpaceView* view) { m_view = view; }
    void SetTimeouts(const HttpTimeouts& t);

    const CSpaceTree& Tree() const { return m_tree; }
    const CSpaceList& List() const { return m_list; }
    const CSpaceAddress& Address() const { return m_address; }
    const SpaceButtons& Buttons() const { return m_buttons; }
    const std::string& CourseInfoText() const { return m_strCourseInfo; }
    // The text the no-result banner shows (empty: hidden).
    const std::string& SearchBanner() const { return m_strSearchBanner; }
    bool IsBusy() const { return m_queue->IsBusy(); }
    // The session's user: folders of other owners are shown but not changed from the page.
    int64_t OwnUserId() const { return m_config.m_i64UserId; }
    // Pumps the loop until every queued request was applied (tests, sign-out).
    bool WaitIdle(int timeoutMs);

    // Loading and showing
    void LoadTree(int64_t senderId = 0); // 0: the roots (start of a session)
    void ShowDirList(int64_t dirId);     // also selects it in the tree (and opens the way there)
    void SelectTreeItem(int64_t dirId);
    void OnTreeItemSelect(int64_t dirId); // "itemselect"
    void OnTreeReClick(int64_t dirId);    // "reClick"
    void ExpandTreeItem(int64_t dirId, bool expand);
    void OpenListItem(const SpaceItemRef& item);         // "itemdbclick"
    void OnAddressItemClick(int64_t dirId);              // "addressItemclick"
    void BackPreDirList();                               // "backtoPrebtn"
    void Refresh();                                      // "SpaceRefreshbtn", "refresh" from the list
    void RefreshTree(int64_t senderId);                  // "refresh" from a tree item
    void SortList(int column, bool descending);          // header click: sorts and stores the order
    void SetListSelection(const std::vector<int>& rows); // "selectchanged"

    // Changes
    void NewFolder();
    void RenameSelected();                        // "SpaceRenamebtn": exactly one selected item
    void RequestRename(const SpaceItemRef& item); // menus: posts WM_SPACE_RENAME
    void CommitRename(const SpaceItemRef& item, const std::string& newName); // "editnewtext"
    // Whether dropping what is dragged (a tree item, or the list's selection) on target is a
    // move at all: never into a dragged folder itself or below it, never onto a file, never
    // back where it already is.
    bool CanDrop(const SpaceItemRef& dragged, const SpaceDropTarget& target) const;
    void MoveItems(const SpaceItemRef& dragged, const SpaceDropTarget& target); // "move"
    void RequestDelete(const SpaceItemRef& sender); // "delete": posts WM_SPACE_DELETE_ITEMS
    void DeleteItems(const SpaceItemRef& sender);

    // Search of the space page and its end.
    void Search(const std::string& text);
    void EndSearch();

    void ShowSpaceCourseInfo();
    void UpdateSpaceButtons();
    // An upload finished: the file joins the list when its folder is shown (and no search is).
    void AddFinishedFile(const SpaceEntry& file);
    // A folder made elsewhere (the intake's batch for a dropped tree) joins the tree.
    void AddFolderToTree(const SpaceEntry& folder);
    // The periodic sign-out check, queued behind the page's requests so that it never runs
    // beside one on the session: done(true) on the owner's thread when the account was signed in
    // elsewhere. A cookie renewed by a re-login is taken over.
    void CheckSignOut(std::function<void(bool signedOut)> done);
    // Sign-out: everything emptied, waiting requests dropped.
    void Reset();

    // The reasons a new name is refused (empty when it is fine): forbidden characters, or more
    // than kMaxNameLength code points.
    static std::string CheckNewName(const std::string& name);
    static constexpr size_t kMaxNameLength = 110;
    static const char* const kForbiddenChars;

    void OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload) override;

private:
    // One request's inputs and outputs, shared by its three steps.
    struct Call
    {
        bool ok = false;
        std::string err;   // the server's message
        std::string cause; // a readable technical cause when there is no message
        std::vector<SpaceEntry> entries;
        int64_t i64Id = 0;
        int64_t i64Parent = 0;
        int64_t i64Target = 0;
        std::string strName;
        // Folders read on the way down to a folder the tree did not hold yet, top first: each
        // with its subfolders.
        std::vector<std::pair<int64_t, std::vector<SpaceEntry>>> levels;
    };

    void Queue(SpaceJob job);
    void SyncWorkerConfig();
    void Changed(unsigned changes);
    void ShowFailure(const std::string& errorText, const std::string& cause);
    void PostCourseInfo();
    std::string Text(int number) const;

    // ShowDirList with options: select the folder in the tree afterwards; quiet (a reload after
    // a refusal: no message, and a folder that is gone gives way to its parent).
    // parentHint: the folder's parent when known (a search result), where looking for a folder
    // the tree does not hold starts.
    void ShowDir(int64_t dirId, bool selectInTree, bool quiet, int64_t parentHint = -1);
    // Worker thread: lists folders from start downwards, level by level, until target turns up;
    // levels gets the folders on the way (start first) with their subfolders. False when target
    // is not found within a bounded number of requests.
    bool FindFolderPath(int64_t start, int64_t target,
                        std::vector<std::pair<int64_t, std::vector<SpaceEntry>>>* levels);
    void ApplyDirList(int64_t dirId, const std::vector<SpaceEntry>& entries, bool selectInTree);
    void EndSearchUi();
    void RebuildAddress();
    // Reads folderId's subfolders again into the tree (a folder that is gone leaves it).
    void ReloadTreeFolder(int64_t folderId);
    // After the server refused a change on the given folders: read them and the shown one again.
    void ReloadAfterRefusal(const std::vector<int64_t>& folders);
    int64_t OwnerOf(int64_t dirId) const;
    const SpaceEntry* Resolve(const SpaceItemRef& item) const;
    void DeleteTreeItem(int64_t id);
    void DeleteListSelection(const SpaceItemRef& sender);
    void ApplyDeleted(const std::vector<int64_t>& ids);
    void MoveTreeItem(int64_t id, int64_t target);
    void MoveListSelection(int64_t target);
    static std::string NowText();

    CAppConfig& m_config;
    CLocalDb& m_db;
    CMessageLoop& m_loop;
    ISpaceView* m_view;
    MsgTarget m_target = 0;

    CSpaceTree m_tree;
    CSpaceList m_list;
    CSpaceAddress m_address;
    SpaceButtons m_buttons;
    std::string m_strCourseInfo;
    std::string m_strSearchBanner;
    int64_t m_i64BeforeSearch = -1;

    // The worker's own copy of the endpoints and the session, refreshed on the owner's thread
    // before each request, so the session code may renew the cookie while a request runs.
    std::unique_ptr<CAppConfig> m_workerConfig;
    std::unique_ptr<CSpaceApi> m_api;
    // Last: destroyed first, so its worker is joined before the API it uses goes.
    std::unique_ptr<CSpaceRequestQueue> m_queue;
};

} // namespace vx
