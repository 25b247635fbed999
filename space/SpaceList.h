#pragma once
// The content of one folder (or search results) as the space page lists it: the entries in
// display order with their selection, the folder shown and its owner, and the search flag.
// Sorting, grouping folders first and the new-folder naming live here.

#include "net/SpaceApi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vx {

struct SpaceListRow
{
    SpaceEntry entry;
    bool bSelected = false;
};

// Kinds of a selection being dragged (bits).
enum SpaceDragKind : int
{
    kDragNone = 0,
    kDragFolders = 1,
    kDragFiles = 2
};

class CSpaceList
{
public:
    static constexpr int kColumnName = 1;
    static constexpr int kColumnTime = 2;
    static constexpr int kColumnSize = 3;
    static constexpr int kColumnFoldersFirst = 4;

    // Shows entries of dirId (owner ownerId), in answer order, nothing selected.
    void Fill(int64_t dirId, int64_t ownerId, const std::vector<SpaceEntry>& entries);
    // Nothing shown: folder id and owner -1.
    void Clear();
    int64_t DirId() const { return m_i64DirId; }
    int64_t OwnerId() const { return m_i64OwnerId; }
    bool IsSearch() const { return m_bSearch; }
    void SetSearch(bool search) { m_bSearch = search; }

    const std::vector<SpaceListRow>& Rows() const { return m_rows; }
    size_t Count() const { return m_rows.size(); }
    // Row of the entry, -1 when absent.
    int Find(bool folder, int64_t id) const;
    const SpaceEntry* Entry(bool folder, int64_t id) const;

    // Adds one entry: a folder after the last folder, a file at the end. Returns its row.
    int Add(const SpaceEntry& entry);
    bool Remove(bool folder, int64_t id);
    bool Rename(bool folder, int64_t id, const std::string& name);

    // Selection by rows (others cleared); out-of-range rows are ignored.
    void SetSelection(const std::vector<int>& rows);
    void ClearSelection();
    std::vector<SpaceEntry> SelectedEntries(bool* hasFolder = nullptr) const;
    size_t SelectedCount() const;
    int DragKind() const;

    // Column 1 name, 2 create time (both as case-sensitive text), 3 size; then folders first.
    void Sort(int column, bool descending);
    // Folders in front of files, each group keeping its order.
    void GroupFoldersFirst();
    // The column of the last Sort since the list was filled (0: answer order) and its direction.
    int SortColumn() const { return m_nSortColumn; }
    bool SortDescending() const { return m_bSortDescending; }

    // "新建文件夹", or the first "新建文件夹(n)", n = 2, 3 ..., that no entry is named.
    std::string UniqueNewFolderName() const;

private:
    int64_t m_i64DirId = -1;
    int64_t m_i64OwnerId = -1;
    bool m_bSearch = false;
    int m_nSortColumn = 0;
    bool m_bSortDescending = false;
    std::vector<SpaceListRow> m_rows;
};

} // namespace vx
