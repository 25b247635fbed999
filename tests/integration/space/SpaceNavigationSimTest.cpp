// Browsing the space against the simulator: lazy tree, address bar, back, sort order per folder,
// counts, and requests that run off the owner's thread.

#include "SpaceSimFixture.h"

#include "app/Utils.h"

#include <algorithm>

using namespace vx;
using namespace vx::test;

TEST_F(SpaceSim, TreeLoadsLazilyAndTheAddressBarGoesBack)
{
    Start("demo");
    m_ctl->Refresh(); // nothing shown yet
    ASSERT_EQ(m_view.messages.size(), 1u);
    EXPECT_EQ(m_view.messages[0], Text(2057));

    LoadTreeAndWait();
    const int64_t root = OwnRoot();
    ASSERT_GT(root, 0);
    const int64_t deep1 = MakeDir(root, "Term 1");
    const int64_t deep2 = MakeDir(deep1, "Unit 1");
    MakeDir(deep2, "Day 1");
    m_ctl->Refresh();
    Wait();

    // The demo root is selected and shown at the start; its children are known to the tree.
    EXPECT_EQ(m_ctl->Tree().Selected(), root);
    EXPECT_TRUE(m_ctl->Tree().Find(root)->bLoaded);
    ASSERT_TRUE(m_ctl->Tree().Contains(deep1)) << "children of the shown folder join the tree";
    EXPECT_FALSE(m_ctl->Tree().Find(deep1)->bLoaded);

    // Expanding loads once, and the cache gets the level.
    m_ctl->ExpandTreeItem(deep1, true);
    Wait();
    ASSERT_TRUE(m_ctl->Tree().Contains(deep2));
    EXPECT_TRUE(m_ctl->Tree().Find(deep1)->bExpanded);
    std::vector<SpaceRow> cached;
    ASSERT_TRUE(m_db->GetDirectories(deep1, UserId(), &cached));
    ASSERT_EQ(cached.size(), 1u);
    EXPECT_EQ(cached[0].strName, "Unit 1");
    const size_t logBefore = RequestCount();
    m_ctl->ExpandTreeItem(deep1, false);
    m_ctl->ExpandTreeItem(deep1, true);
    Wait();
    EXPECT_EQ(RequestCount(), logBefore);

    // Address bar: overflow, root, Term 1, Unit 1. Back goes one up each time while there are
    // more than two items.
    m_ctl->OnTreeItemSelect(deep2);
    Wait();
    ASSERT_EQ(m_ctl->Address().ItemCount(), 4u);
    EXPECT_TRUE(m_ctl->Address().BackEnabled());
    m_ctl->BackPreDirList();
    Wait();
    EXPECT_EQ(m_ctl->List().DirId(), deep1);
    EXPECT_EQ(m_ctl->Tree().Selected(), deep1);
    m_ctl->BackPreDirList();
    Wait();
    EXPECT_EQ(m_ctl->List().DirId(), root);
    EXPECT_EQ(m_ctl->Address().ItemCount(), 2u);
    EXPECT_FALSE(m_ctl->Address().BackEnabled());
    m_ctl->BackPreDirList();
    Wait();
    EXPECT_EQ(m_ctl->List().DirId(), root);

    // An address item shows its folder and selects it in the tree.
    m_ctl->OnTreeItemSelect(deep2);
    Wait();
    m_ctl->OnAddressItemClick(deep1);
    Wait();
    EXPECT_EQ(m_ctl->List().DirId(), deep1);
    EXPECT_EQ(m_ctl->Tree().Selected(), deep1);

    // A folder made elsewhere shows up on refresh, in the list and in the tree.
    const int64_t late = MakeDir(deep1, "Unit 2");
    m_ctl->Refresh();
    Wait();
    EXPECT_GE(Row("Unit 2"), 0);
    EXPECT_TRUE(m_ctl->Tree().Contains(late));
}

TEST_F(SpaceSim, SortOrderIsKeptPerFolderAndCountsFollowTheList)
{
    Start("demo");
    LoadTreeAndWait();
    const int64_t root = OwnRoot();
    const int64_t other = MakeDir(root, "b-folder");
    MakeDir(root, "A-folder");
    UploadPdf(root, "c.pdf");
    UploadPdf(root, "a.pdf");
    Show(root);

    m_ctl->SortList(CSpaceList::kColumnName, true);
    const std::vector<std::string> sorted = {"b-folder", "Lessons", "A-folder", "c.pdf", "a.pdf"};
    EXPECT_EQ(ListNames(), sorted);
    int column = -1, order = -1;
    ASSERT_TRUE(m_db->GetSortRow(2, root, UserId(), &column, &order));
    EXPECT_EQ(column, 1);
    EXPECT_EQ(order, 1);

    // Another folder has no order of its own; coming back restores this one.
    Show(other);
    Show(root);
    EXPECT_EQ(ListNames(), sorted);

    // Counts: files, folders and the files' total size.
    int64_t bytes = 0;
    for (const SpaceListRow& r : m_ctl->List().Rows())
        if (r.entry.nType != SPACE_FOLDER)
            bytes += r.entry.i64Size;
    ASSERT_GT(bytes, 0);
    EXPECT_EQ(m_ctl->CourseInfoText(),
              "2" + Text(2078) + "   3" + Text(2079) + "   " + FormatFileSize(bytes));

    // Rename needs exactly one selected item.
    Select({"a.pdf", "c.pdf"});
    EXPECT_FALSE(m_ctl->Buttons().rename.bEnabled);
    m_ctl->RenameSelected();
    ASSERT_EQ(m_view.messages.size(), 1u);
    EXPECT_EQ(m_view.messages[0], Text(2064));
    Select({"a.pdf"});
    EXPECT_TRUE(m_ctl->Buttons().rename.bEnabled);
    m_ctl->RenameSelected();
    Wait();
    ASSERT_EQ(m_view.renames.size(), 1u);
    EXPECT_FALSE(m_view.renames[0].bFolder);

    // A file renamed keeps its place in the list and the cache.
    m_ctl->CommitRename(m_view.renames[0], "z.pdf");
    Wait();
    EXPECT_EQ(ListNames().back(), "z.pdf");
    std::vector<SpaceRow> files;
    ASSERT_TRUE(m_db->GetSpaceFiles(root, UserId(), &files));
    EXPECT_TRUE(
        std::any_of(files.begin(), files.end(), [](const SpaceRow& f) { return f.strName == "z.pdf"; }));
}

TEST_F(SpaceSim, RequestsRunOffTheOwnersThreadAndMessagesNameEntriesById)
{
    Start("demo", {"--delay", "300"});
    LoadTreeAndWait();
    const int64_t root = OwnRoot();
    ASSERT_EQ(m_view.busyChanges, (std::vector<bool>{true, false}));
    const int64_t a = MakeDir(root, "A");
    const int64_t b = MakeDir(root, "B");

    // The call returns at once; the result arrives through the loop.
    m_ctl->ShowDirList(a);
    EXPECT_TRUE(m_ctl->IsBusy());
    EXPECT_EQ(m_ctl->List().DirId(), root);
    // Folders clicked while the first listing runs: only the last one is read.
    m_ctl->ShowDirList(b);
    m_ctl->ShowDirList(root);
    Wait();
    EXPECT_EQ(m_ctl->List().DirId(), root);
    const std::string log = m_sim.LogText();
    EXPECT_EQ(log.find("parentId=" + std::to_string(b)), std::string::npos) << log;

    // A rename or delete message whose entry went away meanwhile does nothing.
    m_ctl->RequestRename(ListRef("A"));
    m_ctl->RequestDelete(ListRef("B"));
    m_ctl->Reset();
    Wait();
    EXPECT_TRUE(m_view.renames.empty());
    EXPECT_TRUE(m_view.questions.empty());
    EXPECT_EQ(ServerList(root).size(), 3u);

    // Destroying the controller while a request is on the wire waits for it and applies nothing.
    m_ctl->ShowDirList(root);
    m_ctl.reset();
}

TEST_F(SpaceSim, TheTreeFollowsNavigationAndLoadsTheWayToASearchResult)
{
    Start("demo");
    LoadTreeAndWait();
    const int64_t root = OwnRoot();
    const int64_t term = MakeDir(root, "Term 1");
    const int64_t unit = MakeDir(term, "Unit 1");
    const int64_t day = MakeDir(unit, "Day 1");
    const int64_t notes = MakeDir(day, "Exam notes");
    MakeDir(notes, "Answers");
    Show(root);
    ASSERT_TRUE(m_ctl->Tree().Contains(term));
    ASSERT_FALSE(m_ctl->Tree().Contains(unit)) << "the tree has read only the root's level so far";

    // A search result three levels below the searched folder, opened: the tree reads the levels
    // on the way, expands them and selects the folder; the address bar has the whole path.
    m_ctl->Search("Exam");
    Wait();
    ASSERT_EQ(ListNames(), std::vector<std::string>{"Exam notes"});
    m_ctl->OpenListItem(ListRef("Exam notes"));
    Wait();
    EXPECT_FALSE(m_ctl->List().IsSearch());
    EXPECT_EQ(m_ctl->List().DirId(), notes);
    EXPECT_EQ(ListNames(), std::vector<std::string>{"Answers"});
    ASSERT_TRUE(m_ctl->Tree().Contains(notes));
    EXPECT_EQ(m_ctl->Tree().Selected(), notes);
    for (int64_t id : {root, term, unit, day, notes})
        EXPECT_TRUE(m_ctl->Tree().Find(id)->bExpanded) << id;
    EXPECT_EQ(m_ctl->Tree().Ancestry(notes), (std::vector<int64_t>{root, term, unit, day, notes}));
    EXPECT_EQ(m_ctl->Address().ItemCount(), 6u);
    EXPECT_EQ(m_ctl->Tree().Find(notes)->entry.nLevel, 5);
    // The levels read on the way went into the cache as well.
    std::vector<SpaceRow> cached = CachedDirs(unit);
    ASSERT_EQ(cached.size(), 1u);
    EXPECT_EQ(cached[0].i64Id, day);

    // Back up through the address bar, then down again with a double click: each time the
    // folder shown is the one selected in the tree.
    m_ctl->OnAddressItemClick(term);
    Wait();
    EXPECT_EQ(m_ctl->Tree().Selected(), term);
    m_ctl->OpenListItem(ListRef("Unit 1"));
    Wait();
    EXPECT_EQ(m_ctl->List().DirId(), unit);
    EXPECT_EQ(m_ctl->Tree().Selected(), unit);
    EXPECT_TRUE(m_ctl->Tree().Find(unit)->bExpanded);

    // A result that no longer exists when opened: the refusal is shown, the tree unchanged.
    m_ctl->Search("Answers");
    Wait();
    ASSERT_EQ(ListNames(), std::vector<std::string>{"Answers"});
    const size_t before = m_ctl->Tree().Count();
    std::string err;
    const int64_t answers = m_ctl->List().Rows()[0].entry.i64Id;
    ASSERT_TRUE(m_api->RequestForDeleteDir({answers}, &err)) << err;
    m_view.messages.clear();
    m_ctl->OpenListItem(ListRef("Answers"));
    Wait();
    EXPECT_EQ(m_view.messages.size(), 1u);
    EXPECT_EQ(m_ctl->Tree().Count(), before);
    EXPECT_TRUE(m_ctl->List().IsSearch());
}

TEST_F(SpaceSim, ChangesKeepExpandedFoldersAndPutTheSelectionWhereTheUserExpects)
{
    Start("demo");
    LoadTreeAndWait();
    const int64_t root = OwnRoot();
    const int64_t a = MakeDir(root, "A");
    const int64_t a1 = MakeDir(a, "A1");
    MakeDir(a1, "A11");
    const int64_t b = MakeDir(root, "B");
    Show(root);
    m_ctl->ExpandTreeItem(root, true);
    m_ctl->ExpandTreeItem(a, true);
    Wait();
    m_ctl->ExpandTreeItem(a1, true);
    Wait();
    auto expanded = [this](int64_t id) {
        return m_ctl->Tree().Find(id) && m_ctl->Tree().Find(id)->bExpanded;
    };
    ASSERT_TRUE(expanded(root) && expanded(a) && expanded(a1));

    // Rename: the row keeps its place and its selection; the tree keeps its state.
    Select({"B"});
    m_ctl->CommitRename(ListRef("B"), "B renamed");
    Wait();
    EXPECT_EQ(m_ctl->List().SelectedEntries().size(), 1u);
    EXPECT_EQ(m_ctl->List().SelectedEntries()[0].i64Id, b);
    EXPECT_TRUE(expanded(root) && expanded(a) && expanded(a1));
    EXPECT_EQ(m_ctl->Tree().Selected(), root);

    // New folder: selected in the list (its name editor opens over it), nothing collapses.
    m_ctl->NewFolder();
    Wait();
    ASSERT_EQ(m_ctl->List().SelectedEntries().size(), 1u);
    EXPECT_EQ(m_ctl->List().SelectedEntries()[0].strName, "新建文件夹");
    const int64_t made = m_ctl->List().SelectedEntries()[0].i64Id;
    EXPECT_TRUE(expanded(root) && expanded(a) && expanded(a1));
    EXPECT_TRUE(m_ctl->Tree().Contains(made));

    // Move the expanded A1 under B: it arrives there still expanded, A keeps its state.
    m_ctl->MoveItems({SpaceSource::TreeItem, true, a1}, {SpaceSource::TreeItem, b, true});
    Wait();
    ASSERT_EQ(m_ctl->Tree().Find(a1)->i64ParentItem, b);
    EXPECT_TRUE(expanded(a1));
    EXPECT_TRUE(expanded(a));
    EXPECT_EQ(m_ctl->Tree().Selected(), root);

    // Delete the new folder from the list: it goes, the rest stays as it was.
    Select({"新建文件夹"});
    m_ctl->DeleteItems({SpaceSource::List, true, 0});
    Wait();
    EXPECT_FALSE(m_ctl->Tree().Contains(made));
    EXPECT_EQ(Row("新建文件夹"), -1);
    EXPECT_TRUE(expanded(root) && expanded(a) && expanded(a1));
    EXPECT_EQ(m_ctl->Tree().Selected(), root);
    EXPECT_EQ(m_ctl->List().DirId(), root);
}
