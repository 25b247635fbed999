// The space page's models: tree order and moves, list sorting and naming, address bar layout.

#include "space/SpaceAddress.h"
#include "space/SpaceController.h"
#include "space/SpaceList.h"
#include "space/SpaceTree.h"

#include <gtest/gtest.h>

using namespace vx;

namespace {

SpaceEntry Folder(int64_t id, int64_t parent, const std::string& name, int level = -1)
{
    SpaceEntry e;
    e.i64Id = id;
    e.i64ParentId = parent;
    e.strName = name;
    e.nLevel = level;
    e.nType = SPACE_FOLDER;
    return e;
}

SpaceEntry File(int64_t id, int64_t parent, const std::string& name, int64_t size,
                const std::string& time = "")
{
    SpaceEntry e = Folder(id, parent, name);
    e.nType = SPACE_PDF;
    e.i64Size = size;
    e.strCreateTime = time;
    return e;
}

std::vector<std::string> Names(const CSpaceList& list)
{
    std::vector<std::string> out;
    for (const SpaceListRow& r : list.Rows())
        out.push_back(r.entry.strName);
    return out;
}

} // namespace

TEST(SpaceTree, ItemsFollowTheirParentsSubtreeAndMovesKeepTheTreeWhole)
{
    CSpaceTree t;
    t.ReplaceChildren(0, {Folder(1, 0, "r1", 1), Folder(2, 0, "r2", 1)});
    t.ReplaceChildren(1, {Folder(10, 1, "a"), Folder(11, 1, "b")});
    t.ReplaceChildren(10, {Folder(100, 10, "a1")});
    // Each child directly after its parent's subtree.
    EXPECT_EQ(t.DisplayOrder(), (std::vector<int64_t>{1, 10, 100, 11, 2}));
    EXPECT_EQ(t.Find(100)->entry.nLevel, 3);
    EXPECT_EQ(t.TreePath(100), "\\r1\\a\\a1");
    EXPECT_TRUE(t.Find(1)->bLoaded);
    EXPECT_FALSE(t.Find(11)->bLoaded);

    // A folder whose parent is not in the tree is not added; neither is one already there.
    EXPECT_FALSE(t.AddFolder(Folder(5, 999, "orphan")));
    EXPECT_FALSE(t.AddFolder(Folder(10, 1, "again")));

    // Never into itself or below; levels and paths follow a valid move.
    EXPECT_FALSE(t.MoveUnder(10, 10));
    EXPECT_FALSE(t.MoveUnder(10, 100));
    EXPECT_TRUE(t.IsInside(100, 1));
    EXPECT_FALSE(t.IsInside(2, 1));
    ASSERT_TRUE(t.MoveUnder(10, 2));
    EXPECT_EQ(t.Find(100)->entry.nLevel, 3);
    EXPECT_EQ(t.TreePath(100), "\\r2\\a\\a1");
    EXPECT_EQ(t.DisplayOrder(), (std::vector<int64_t>{1, 11, 2, 10, 100}));
    ASSERT_TRUE(t.MoveUnder(10, 0));
    EXPECT_EQ(t.Find(100)->entry.nLevel, 2);
    EXPECT_EQ(t.Ancestry(100), (std::vector<int64_t>{10, 100}));

    // Selecting expands the ancestors; removing the subtree clears the selection.
    ASSERT_TRUE(t.Select(100));
    EXPECT_TRUE(t.Find(10)->bExpanded);
    ASSERT_TRUE(t.Remove(10));
    EXPECT_EQ(t.Selected(), 0);
    EXPECT_FALSE(t.Contains(100));
    EXPECT_EQ(t.Count(), 3u);
}

TEST(SpaceTree, SyncKeepsLoadedSubtreesAndFollowsTheAnswer)
{
    CSpaceTree t;
    t.ReplaceChildren(0, {Folder(1, 0, "root", 1)});
    t.ReplaceChildren(1, {Folder(10, 1, "keep"), Folder(11, 1, "gone"), Folder(12, 1, "other")});
    t.ReplaceChildren(10, {Folder(100, 10, "deep")});
    t.ReplaceChildren(12, {Folder(120, 12, "moving")});
    t.SetExpanded(10, true);

    // "gone" was deleted, "keep" renamed, "moving" moved here from "other", "new" appeared.
    t.SyncChildren(1, {Folder(10, 1, "kept"), Folder(12, 1, "other"), Folder(120, 1, "moving"),
                       Folder(13, 1, "new"), File(7, 1, "a file", 5)});
    EXPECT_FALSE(t.Contains(11));
    EXPECT_EQ(t.Find(10)->entry.strName, "kept");
    EXPECT_TRUE(t.Contains(100)) << "a loaded subtree that stays keeps its children";
    EXPECT_TRUE(t.Find(10)->bExpanded);
    EXPECT_EQ(t.Find(120)->i64ParentItem, 1);
    EXPECT_TRUE(t.ChildrenOf(12).empty());
    EXPECT_FALSE(t.Find(12)->entry.bHasChildren);
    EXPECT_TRUE(t.Contains(13));
    EXPECT_FALSE(t.Contains(7));

    // ReplaceChildren starts the level over: the old grandchildren go.
    t.ReplaceChildren(1, {Folder(10, 1, "kept")});
    EXPECT_FALSE(t.Contains(100));
    EXPECT_FALSE(t.Find(10)->bLoaded);
    // The roots' answer empties the tree.
    t.ReplaceChildren(0, {Folder(2, 0, "only", 1)});
    EXPECT_EQ(t.DisplayOrder(), (std::vector<int64_t>{2}));
    EXPECT_EQ(t.RootIdOf(0), 2);
    EXPECT_EQ(t.RootNameOf(0), "only");
    EXPECT_EQ(t.RootIdOf(42), 0);
}

TEST(SpaceList, SortingGroupsFoldersFirstAndSelectionFollowsTheRows)
{
    CSpaceList l;
    l.Fill(5, 3,
           {File(1, 5, "b.pdf", 300, "2024-01-02"), Folder(2, 5, "Zeta"),
            File(3, 5, "A.pdf", 20, "2024-01-03"), Folder(4, 5, "alpha"),
            File(5, 5, "c.pdf", 3000000000LL, "2024-01-01")});
    l.SetSelection({0, 4});
    // Names compare as case-sensitive text: upper case before lower case.
    l.Sort(CSpaceList::kColumnName, false);
    EXPECT_EQ(Names(l), (std::vector<std::string>{"Zeta", "alpha", "A.pdf", "b.pdf", "c.pdf"}));
    l.Sort(CSpaceList::kColumnSize, true);
    EXPECT_EQ(Names(l), (std::vector<std::string>{"Zeta", "alpha", "c.pdf", "b.pdf", "A.pdf"}));
    EXPECT_EQ(l.SortColumn(), CSpaceList::kColumnSize);
    EXPECT_TRUE(l.SortDescending());
    l.Sort(CSpaceList::kColumnTime, false);
    EXPECT_EQ(Names(l), (std::vector<std::string>{"Zeta", "alpha", "c.pdf", "b.pdf", "A.pdf"}));
    bool hasFolder = true;
    std::vector<SpaceEntry> sel = l.SelectedEntries(&hasFolder);
    ASSERT_EQ(sel.size(), 2u);
    EXPECT_FALSE(hasFolder);
    EXPECT_EQ(l.DragKind(), kDragFiles);
    l.SetSelection({0, 2, 99});
    EXPECT_EQ(l.DragKind(), kDragFiles | kDragFolders);

    // A folder id and a file id may be the same number: the kind tells them apart.
    l.Add(Folder(1, 5, "same id"));
    EXPECT_EQ(l.Entry(true, 1)->strName, "same id");
    EXPECT_EQ(l.Entry(false, 1)->strName, "b.pdf");
    EXPECT_EQ(Names(l)[2], "same id") << "a new folder goes after the last folder";
    EXPECT_TRUE(l.Remove(true, 1));
    EXPECT_NE(l.Entry(false, 1), nullptr);
    EXPECT_TRUE(l.Rename(false, 1, "renamed.pdf"));
    EXPECT_EQ(l.Entry(false, 1)->strName, "renamed.pdf");

    l.Clear();
    EXPECT_EQ(l.DirId(), -1);
    EXPECT_EQ(l.OwnerId(), -1);
}

TEST(SpaceList, NewFolderNamesTakeTheFirstFreeSuffix)
{
    CSpaceList l;
    EXPECT_EQ(l.UniqueNewFolderName(), "新建文件夹");
    l.Fill(1, 1, {Folder(1, 1, "新建文件夹"), Folder(2, 1, "新建文件夹(2)"), File(3, 1, "新建文件夹(3)", 1)});
    EXPECT_EQ(l.UniqueNewFolderName(), "新建文件夹(4)") << "a file with the name takes it too";
    l.Fill(1, 1, {Folder(1, 1, "新建文件夹"), Folder(3, 1, "新建文件夹(3)")});
    EXPECT_EQ(l.UniqueNewFolderName(), "新建文件夹(2)");
}

TEST(SpaceAddress, ItemsFitFromTheLastBackwardsAndBackNeedsThreeItems)
{
    // Room is the bar width less 35.
    EXPECT_EQ(CSpaceAddress::FirstShown({50, 50, 50}, 185), 0u);
    EXPECT_EQ(CSpaceAddress::FirstShown({50, 50, 50}, 184), 1u);
    EXPECT_EQ(CSpaceAddress::FirstShown({50, 50, 50}, 134), 2u);
    EXPECT_EQ(CSpaceAddress::FirstShown({50, 400}, 100), 1u) << "the last item is always shown";
    EXPECT_EQ(CSpaceAddress::FirstShown({}, 100), 0u);

    CSpaceAddress a;
    EXPECT_EQ(a.ItemCount(), 0u);
    EXPECT_EQ(a.CurrentId(), -1);
    a.SetPath({Folder(1, 0, "root")});
    EXPECT_EQ(a.ItemCount(), 2u);
    EXPECT_FALSE(a.BackEnabled());
    EXPECT_EQ(a.BackTargetId(), -1);
    a.SetPath({Folder(1, 0, "root"), Folder(2, 1, "sub")});
    EXPECT_TRUE(a.BackEnabled());
    EXPECT_EQ(a.BackTargetId(), 1);
    EXPECT_EQ(a.CurrentId(), 2);
}

TEST(SpaceNames, ForbiddenCharactersAndLengthAreCheckedInCodePoints)
{
    EXPECT_EQ(CSpaceController::CheckNewName("第一章 a&b"), CSpaceController::CheckNewName("x&y"));
    EXPECT_FALSE(CSpaceController::CheckNewName("a&b").empty());
    EXPECT_FALSE(CSpaceController::CheckNewName("价格￥").empty());
    EXPECT_FALSE(CSpaceController::CheckNewName("tab\there").empty());
    EXPECT_TRUE(CSpaceController::CheckNewName("第一章 (a)+b.pdf").empty());
    std::string name;
    for (int i = 0; i < 110; ++i)
        name += "章";
    EXPECT_TRUE(CSpaceController::CheckNewName(name).empty()) << "110 code points, 330 bytes";
    EXPECT_NE(CSpaceController::CheckNewName(name + "a").find("110"), std::string::npos);
}
