// The space page's operations against the simulator: real requests, a real cache file.

#include "SpaceSimFixture.h"

#include <algorithm>

using namespace vx;
using namespace vx::test;

namespace {

bool Has(const std::vector<std::string>& v, const std::string& s)
{
    return std::find(v.begin(), v.end(), s) != v.end();
}

const SpaceRow* FindRow(const std::vector<SpaceRow>& rows, int64_t id)
{
    for (const SpaceRow& r : rows)
        if (r.i64Id == id)
            return &r;
    return nullptr;
}

} // namespace

TEST_F(SpaceSim, FirstLoginCreatesTheRootNamedAfterTheAccountAndOtherOwnersHideTheButtons)
{
    Start("teacher");
    LoadTreeAndWait();
    EXPECT_TRUE(m_view.messages.empty()) << m_view.messages.front();

    // The organisation's demo root is there; the teacher had none and now owns one named
    // after the account, on the server, in the tree and in the cache.
    const int64_t root = OwnRoot();
    ASSERT_GT(root, 0);
    EXPECT_EQ(m_ctl->Tree().Find(root)->entry.strName, m_config->m_strAccountName);
    EXPECT_EQ(m_config->m_strAccountName, "teacher");
    const std::vector<SpaceEntry> top = ServerList(0);
    EXPECT_TRUE(std::any_of(top.begin(), top.end(), [&](const SpaceEntry& e) {
        return e.i64Id == root && e.strName == "teacher" && e.i64OwnId == UserId();
    }));
    ASSERT_NE(FindRow(CachedDirs(0), root), nullptr);

    // A second start finds the root and creates no other.
    m_ctl->Reset();
    LoadTreeAndWait();
    EXPECT_EQ(std::count_if(m_ctl->Tree().Roots().begin(), m_ctl->Tree().Roots().end(),
                            [&](int64_t id) { return m_ctl->Tree().Find(id)->entry.i64OwnId == UserId(); }),
              1);

    // The first tree item (demo's root) is selected and shown: another owner's folder.
    const int64_t demoRoot = m_ctl->Tree().Roots().front();
    ASSERT_NE(demoRoot, root);
    EXPECT_EQ(m_ctl->Tree().Selected(), demoRoot);
    EXPECT_EQ(m_ctl->List().DirId(), demoRoot);
    const SpaceButtons& other = m_ctl->Buttons();
    EXPECT_FALSE(other.rename.bVisible);
    EXPECT_FALSE(other.createDir.bVisible);
    EXPECT_FALSE(other.padCreate.bVisible);
    EXPECT_FALSE(other.padRename.bVisible);
    EXPECT_FALSE(other.addFile.bVisible);
    EXPECT_TRUE(other.refresh.bVisible);

    m_ctl->OnTreeItemSelect(root);
    Wait();
    const SpaceButtons& own = m_ctl->Buttons();
    EXPECT_TRUE(own.rename.bVisible && own.createDir.bVisible && own.padCreate.bVisible &&
                own.padRename.bVisible && own.addFile.bVisible && own.refresh.bVisible);
    EXPECT_TRUE(own.createDir.bEnabled);
    EXPECT_FALSE(own.rename.bEnabled); // nothing selected
}

TEST_F(SpaceSim, NewFolderNamesSkipTakenSuffixesAndQueuedCreationsSeeEachOther)
{
    Start("teacher");
    LoadTreeAndWait();
    const int64_t root = OwnRoot();
    MakeDir(root, "新建文件夹");
    MakeDir(root, "新建文件夹(2)");
    const int64_t empty = MakeDir(root, "empty");
    Show(root);

    m_ctl->NewFolder();
    m_ctl->NewFolder(); // queued behind the first: named after it was added
    Wait();
    EXPECT_TRUE(m_view.messages.empty()) << m_view.messages.front();
    const std::vector<std::string> names = ListNames();
    EXPECT_TRUE(Has(names, "新建文件夹(3)"));
    EXPECT_TRUE(Has(names, "新建文件夹(4)"));
    // Both open their name editor, in the list, by id.
    ASSERT_EQ(m_view.renames.size(), 2u);
    EXPECT_EQ(m_view.renames[0].source, SpaceSource::ListItem);
    EXPECT_EQ(m_view.renames[0].i64Id, ListRef("新建文件夹(3)").i64Id);
    // The tree and the cache have them too.
    const int64_t id3 = ListRef("新建文件夹(3)").i64Id;
    ASSERT_NE(m_ctl->Tree().Find(id3), nullptr);
    EXPECT_EQ(m_ctl->Tree().Find(id3)->entry.nLevel, m_ctl->Tree().Find(root)->entry.nLevel + 1);
    EXPECT_NE(FindRow(CachedDirs(root), id3), nullptr);

    Show(empty);
    m_ctl->NewFolder();
    Wait();
    EXPECT_EQ(ListNames(), std::vector<std::string>{"新建文件夹"});
}

TEST_F(SpaceSim, RenameUpdatesTreeListAddressAndCacheAndIsCheckedOnCommit)
{
    Start("teacher");
    LoadTreeAndWait();
    const int64_t root = OwnRoot();
    const int64_t a = MakeDir(root, "Chapter");
    const int64_t b = MakeDir(a, "Week 1");
    MakeDir(root, "Taken");
    Show(root);
    m_ctl->OpenListItem(ListRef("Chapter"));
    Wait();
    ASSERT_EQ(m_ctl->List().DirId(), a);
    EXPECT_EQ(m_ctl->Tree().Selected(), a);
    m_ctl->OpenListItem(ListRef("Week 1"));
    Wait();
    ASSERT_EQ(m_ctl->Address().Folders().size(), 3u);

    // Renaming the middle folder from the tree: its place stays, the address bar follows.
    const std::vector<int64_t> orderBefore = m_ctl->Tree().DisplayOrder();
    m_ctl->CommitRename({SpaceSource::TreeItem, true, a}, "  第一章 O'Neil  ");
    Wait();
    EXPECT_TRUE(m_view.messages.empty()) << m_view.messages.front();
    EXPECT_EQ(m_ctl->Tree().Find(a)->entry.strName, "第一章 O'Neil");
    EXPECT_EQ(m_ctl->Tree().DisplayOrder(), orderBefore);
    EXPECT_EQ(m_ctl->Address().Folders()[1].strName, "第一章 O'Neil");
    EXPECT_EQ(m_ctl->Tree().TreePath(b), "\\teacher\\第一章 O'Neil\\Week 1");
    EXPECT_EQ(FindRow(CachedDirs(root), a)->strName, "第一章 O'Neil");

    // From the list: the list changes too.
    Show(root);
    m_ctl->CommitRename(ListRef("第一章 O'Neil"), "Chapter 2");
    Wait();
    EXPECT_GE(Row("Chapter 2"), 0);
    EXPECT_EQ(m_ctl->Tree().Find(a)->entry.strName, "Chapter 2");

    // Refused before any request: forbidden characters, more than 110 code points.
    const size_t requestsBefore = RequestCount();
    m_ctl->CommitRename(ListRef("Chapter 2"), "a?b");
    std::string longName;
    for (int i = 0; i < 111; ++i)
        longName += "章";
    m_ctl->CommitRename(ListRef("Chapter 2"), longName);
    Wait();
    ASSERT_EQ(m_view.messages.size(), 2u);
    EXPECT_NE(m_view.messages[0].find("文件不能包含任何一项"), std::string::npos);
    EXPECT_NE(m_view.messages[1].find("110"), std::string::npos);
    EXPECT_EQ(RequestCount(), requestsBefore);
    // 110 is fine.
    m_ctl->CommitRename(ListRef("Chapter 2"), longName.substr(0, 110 * 3));
    Wait();
    EXPECT_EQ(m_ctl->Tree().Find(a)->entry.strName, longName.substr(0, 110 * 3));

    // The server refuses a taken name: the message is shown and nothing local changed.
    m_view.messages.clear();
    m_ctl->CommitRename({SpaceSource::TreeItem, true, a}, "Taken");
    Wait();
    ASSERT_EQ(m_view.messages.size(), 1u);
    EXPECT_EQ(m_ctl->Tree().Find(a)->entry.strName, longName.substr(0, 110 * 3));
    EXPECT_EQ(FindRow(CachedDirs(root), a)->strName, longName.substr(0, 110 * 3));
}

TEST_F(SpaceSim, MovesNeverGoIntoTheDraggedFolderOrBelowAndValidMovesFollowTheServer)
{
    Start("teacher");
    LoadTreeAndWait();
    const int64_t root = OwnRoot();
    const int64_t a = MakeDir(root, "A");
    const int64_t a1 = MakeDir(a, "A1");
    const int64_t b = MakeDir(root, "B");
    UploadPdf(root, "notes.pdf");
    Show(root);
    Show(a);
    Show(root);
    ASSERT_TRUE(m_ctl->Tree().Contains(a1));

    const SpaceItemRef treeA{SpaceSource::TreeItem, true, a};
    auto tree = [](int64_t id) { return SpaceDropTarget{SpaceSource::TreeItem, id, true}; };
    EXPECT_FALSE(m_ctl->CanDrop(treeA, tree(a)));    // itself
    EXPECT_FALSE(m_ctl->CanDrop(treeA, tree(a1)));   // its own subfolder
    EXPECT_FALSE(m_ctl->CanDrop(treeA, tree(root))); // its parent: no move
    EXPECT_TRUE(m_ctl->CanDrop(treeA, tree(b)));

    Select({"A", "notes.pdf"});
    EXPECT_FALSE(m_ctl->CanDrop({SpaceSource::ListItem, true, a}, tree(a1)));
    EXPECT_FALSE(m_ctl->CanDrop({SpaceSource::ListItem, true, a}, {SpaceSource::ListItem, a, true}));
    EXPECT_FALSE(m_ctl->CanDrop({SpaceSource::ListItem, true, a}, tree(root))); // where they are
    const int64_t pdf = ListRef("notes.pdf").i64Id;
    EXPECT_FALSE(m_ctl->CanDrop({SpaceSource::ListItem, false, pdf}, {SpaceSource::ListItem, pdf, false}));

    // An invalid drop sends nothing.
    const size_t logBefore = RequestCount();
    m_ctl->MoveItems(treeA, tree(a1));
    m_ctl->MoveItems({SpaceSource::ListItem, true, a}, tree(a1));
    Wait();
    EXPECT_EQ(RequestCount(), logBefore);

    // A folder and a file dropped on B: both land there, the list loses them, the tree and the
    // cache follow.
    m_ctl->MoveItems({SpaceSource::ListItem, true, a}, {SpaceSource::ListItem, b, true});
    Wait();
    EXPECT_TRUE(m_view.messages.empty()) << m_view.messages.front();
    EXPECT_EQ(ListNames(), std::vector<std::string>{"B"});
    EXPECT_EQ(m_ctl->Tree().Find(a)->i64ParentItem, b);
    EXPECT_EQ(m_ctl->Tree().Find(a1)->entry.nLevel, m_ctl->Tree().Find(b)->entry.nLevel + 2);
    EXPECT_EQ(FindRow(CachedDirs(b), a)->i64ParentId, b);
    std::vector<SpaceRow> files;
    ASSERT_TRUE(m_db->GetSpaceFiles(b, UserId(), &files));
    EXPECT_EQ(files.size(), 1u);
    std::vector<SpaceEntry> inB = ServerList(b);
    EXPECT_EQ(inB.size(), 2u);

    // The tree item dragged back to the root (valid now that its parent is B): the shown
    // folder gains it.
    ASSERT_TRUE(m_ctl->CanDrop(treeA, tree(root)));
    m_ctl->MoveItems(treeA, tree(root));
    Wait();
    EXPECT_EQ(m_ctl->Tree().Find(a)->i64ParentItem, root);
    EXPECT_GE(Row("A"), 0);
    EXPECT_EQ(FindRow(CachedDirs(root), a)->i64ParentId, root);
}

TEST_F(SpaceSim, DeleteIsRefusedForFilesAnywhereBelowAndFollowsTheServerOtherwise)
{
    Start("teacher");
    LoadTreeAndWait();
    const int64_t root = OwnRoot();
    const int64_t d1 = MakeDir(root, "D1");
    const int64_t d2 = MakeDir(d1, "D2");
    const int64_t d3 = MakeDir(d2, "D3");
    const int64_t empty = MakeDir(root, "Empty");
    const int64_t emptySub = MakeDir(empty, "Inner");
    UploadPdf(d3, "deep.pdf");
    UploadPdf(root, "one.pdf");
    UploadPdf(root, "two.pdf");
    Show(root);

    // A file three levels down: asked, then refused with 2089; nothing changes anywhere.
    Select({"D1"});
    m_ctl->RequestDelete({SpaceSource::List, true, 0});
    Wait();
    ASSERT_EQ(m_view.questions.size(), 1u);
    EXPECT_EQ(m_view.questions[0], Text(2082) + "D1");
    ASSERT_EQ(m_view.messages.size(), 1u);
    EXPECT_EQ(m_view.messages[0], Text(2089));
    EXPECT_GE(Row("D1"), 0);
    EXPECT_NE(FindRow(CachedDirs(root), d1), nullptr);
    EXPECT_EQ(ServerList(d2).size(), 1u);

    // Two files and a folder: 2089 without asking the server; files only: 2090.
    m_view.messages.clear();
    Select({"Empty", "one.pdf", "two.pdf"});
    const size_t logBefore = RequestCount();
    m_ctl->DeleteItems({SpaceSource::List, true, 0});
    EXPECT_NE(m_view.questions.back().find("3"), std::string::npos);
    Select({"one.pdf", "two.pdf"});
    m_ctl->DeleteItems({SpaceSource::List, true, 0});
    Wait();
    EXPECT_EQ(RequestCount(), logBefore);
    ASSERT_EQ(m_view.messages.size(), 2u);
    EXPECT_EQ(m_view.messages[0], Text(2089));
    EXPECT_EQ(m_view.messages[1], Text(2090));

    // Cancelled: nothing.
    m_view.answers = {false};
    Select({"Empty"});
    m_ctl->DeleteItems({SpaceSource::List, true, 0});
    Wait();
    EXPECT_GE(Row("Empty"), 0);

    // Shown inside the folder being deleted from the tree: the parent is shown instead.
    m_view.messages.clear();
    Show(empty);
    Show(emptySub);
    m_ctl->DeleteItems({SpaceSource::TreeItem, true, empty});
    Wait();
    EXPECT_TRUE(m_view.messages.empty()) << m_view.messages.front();
    EXPECT_FALSE(m_ctl->Tree().Contains(empty));
    EXPECT_FALSE(m_ctl->Tree().Contains(emptySub));
    EXPECT_EQ(m_ctl->List().DirId(), root);
    EXPECT_EQ(Row("Empty"), -1);
    EXPECT_EQ(FindRow(CachedDirs(root), empty), nullptr);
    EXPECT_TRUE(CachedDirs(empty).empty());
    EXPECT_EQ(m_ctl->Tree().Selected(), root);
}

TEST_F(SpaceSim, SearchWithAndWithoutResultsAndItsEnd)
{
    Start("teacher");
    LoadTreeAndWait();
    const int64_t root = OwnRoot();
    const int64_t a = MakeDir(root, "Lesson plans");
    MakeDir(a, "lesson 2");
    UploadPdf(a, "lesson-notes.pdf");
    Show(root);

    m_ctl->Search("  nothing-like-this ");
    Wait();
    EXPECT_TRUE(m_ctl->List().IsSearch());
    EXPECT_EQ(m_ctl->SearchBanner(), "nothing-like-this");
    EXPECT_EQ(m_ctl->List().Count(), 0u);
    EXPECT_FALSE(m_ctl->Buttons().createDir.bEnabled);
    EXPECT_FALSE(m_ctl->Buttons().padCreate.bEnabled);
    EXPECT_FALSE(m_ctl->Buttons().refresh.bVisible);
    EXPECT_EQ(m_ctl->CourseInfoText(), "0" + Text(2078) + "   0" + Text(2079) + "   ");

    m_ctl->Search("lesson");
    Wait();
    EXPECT_TRUE(m_ctl->List().IsSearch());
    EXPECT_TRUE(m_ctl->SearchBanner().empty());
    const std::vector<std::string> found = ListNames();
    EXPECT_TRUE(Has(found, "Lesson plans") && Has(found, "lesson 2") && Has(found, "lesson-notes.pdf"));
    // Results are cached without dropping what is cached below the searched folder.
    std::vector<SpaceRow> files;
    ASSERT_TRUE(m_db->GetSpaceFiles(a, UserId(), &files));
    EXPECT_EQ(files.size(), 1u);
    EXPECT_NE(FindRow(CachedDirs(root), a), nullptr);
    // New folders cannot be made in search results.
    m_ctl->NewFolder();
    Wait();
    EXPECT_EQ(ServerList(root).size(), 1u);

    m_ctl->EndSearch();
    Wait();
    EXPECT_FALSE(m_ctl->List().IsSearch());
    EXPECT_EQ(m_ctl->List().DirId(), root);
    EXPECT_EQ(ListNames(), std::vector<std::string>{"Lesson plans"});
    EXPECT_TRUE(m_ctl->Buttons().refresh.bVisible);
    EXPECT_TRUE(m_ctl->Buttons().createDir.bEnabled);
}

TEST_F(SpaceSim, ChangesRefusedBecauseAnotherClientMovedOrDeletedTheFolderReloadIt)
{
    Start("teacher");
    LoadTreeAndWait();
    const int64_t root = OwnRoot();
    const int64_t gone = MakeDir(root, "Gone");
    const int64_t moved = MakeDir(root, "Moved");
    const int64_t dest = MakeDir(root, "Dest");
    Show(root);
    ASSERT_EQ(m_ctl->List().Count(), 3u);

    // Elsewhere: one folder deleted, one moved into another.
    std::string err;
    ASSERT_TRUE(m_api->RequestForDeleteDir({gone}, &err)) << err;
    ASSERT_TRUE(m_api->RequestForMoveDir(dest, {moved}, &err)) << err;

    // Renaming the deleted folder: the server's refusal is shown; the page reads the folder
    // again, so the stale entry leaves the list, the tree and the cache.
    m_ctl->CommitRename(ListRef("Gone"), "Renamed");
    Wait();
    ASSERT_EQ(m_view.messages.size(), 1u);
    EXPECT_FALSE(m_view.messages[0].empty());
    EXPECT_EQ(Row("Gone"), -1);
    EXPECT_EQ(Row("Renamed"), -1);
    EXPECT_FALSE(m_ctl->Tree().Contains(gone));
    EXPECT_EQ(FindRow(CachedDirs(root), gone), nullptr);
    EXPECT_EQ(Row("Moved"), -1); // the reload shows the other client's move too

    // Deleting a folder that is gone (the list still offers it when shown from the cache of an
    // older answer): the refusal is shown, nothing local changed before the reload.
    const int64_t stale = MakeDir(root, "Stale");
    Show(root);
    ASSERT_TRUE(m_api->RequestForDeleteDir({stale}, &err)) << err;
    m_view.messages.clear();
    Select({"Stale"});
    m_ctl->DeleteItems({SpaceSource::List, true, 0});
    Wait();
    ASSERT_EQ(m_view.messages.size(), 1u);
    EXPECT_EQ(Row("Stale"), -1);
    EXPECT_FALSE(m_ctl->Tree().Contains(stale));

    // The shown folder itself deleted elsewhere: a refused new folder there shows its parent.
    const int64_t inner = MakeDir(dest, "Inner");
    Show(dest);
    Show(inner);
    ASSERT_TRUE(m_api->RequestForDeleteDir({inner}, &err)) << err;
    m_view.messages.clear();
    m_ctl->NewFolder();
    Wait();
    EXPECT_EQ(m_view.messages.size(), 1u);
    EXPECT_EQ(m_ctl->List().DirId(), dest);
    EXPECT_FALSE(m_ctl->Tree().Contains(inner));
}

// A request still on the wire when the session ends (sign-out) finishes, but nothing of it
// reaches the next session: no folders refill the emptied tree, no error box opens over the
// login window, no cache rows are written.
TEST_F(SpaceSim, ARequestInFlightAtSignOutIsNotApplied)
{
    Start("teacher");
    LoadTreeAndWait();
    const int64_t root = OwnRoot();
    const int64_t a = MakeDir(root, "Semester 1");
    ASSERT_TRUE(m_sim.SetFault("delay", "1200"));
    std::vector<SpaceRow> before;
    ASSERT_TRUE(m_db->GetDirectories(root, UserId(), &before));
    ASSERT_EQ(FindRow(before, a), nullptr); // made by another client: not cached yet
    // A folder listing on the wire (it would cache the new folder and fill the tree).
    m_ctl->ShowDirList(root);
    ASSERT_TRUE(m_ctl->IsBusy());
    m_ctl->Reset();
    Wait();
    EXPECT_EQ(m_ctl->Tree().Count(), 0u);
    EXPECT_EQ(m_ctl->List().Count(), 0u);
    EXPECT_EQ(m_ctl->List().DirId(), -1);
    std::vector<SpaceRow> after;
    ASSERT_TRUE(m_db->GetDirectories(root, UserId(), &after));
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(FindRow(after, a), nullptr);
    // A listing the server refuses (it would open an error box over the login window).
    const size_t messages = m_view.messages.size();
    m_ctl->ShowDirList(987654321);
    ASSERT_TRUE(m_ctl->IsBusy());
    m_ctl->Reset();
    Wait();
    EXPECT_EQ(m_view.messages.size(), messages);
    ASSERT_TRUE(m_sim.SetFault("delay", "0"));
    // Signed in again, the same listing is applied as usual.
    LoadTreeAndWait();
    Show(root);
    EXPECT_NE(Row("Semester 1"), -1);
}
