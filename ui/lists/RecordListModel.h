#pragma once
// Storage, selection, sorting and filtering shared by the course list and the converted list.
// Each row owns one copy of a course file record; the rows are kept in list order and the view
// sees only the rows a search leaves visible, so a filtered-out row can never be clicked,
// selected or deleted. Rows are looked up by file index through a hash, which keeps applying a
// worker's report constant-time with tens of thousands of rows.
//
// Selection follows the list rules: a click selects (Ctrl toggles), Shift selects the range
// from the anchor, Ctrl+A selects every visible row; each change reports the selected count and
// the status of the one selected record (-1 unless exactly one is selected).

#include "store/LCItemData.h"

#include <QAbstractListModel>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace vx {

struct ListRow
{
    _sLCItemData record;
    std::string tooltip;     // the cause of a failure, shown over the row
    bool visible = true;     // false while a search filters it out
    bool selected = false;   // only visible rows are ever selected
    int32_t lastStatus = -1; // status last seen, for "statechanged"
    int viewRow = -1;        // position among the visible rows, -1 when hidden
};

class CRecordListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    using Less = std::function<bool(const _sLCItemData&, const _sLCItemData&)>;
    using Match = std::function<bool(const _sLCItemData&)>;

    explicit CRecordListModel(QObject* parent = nullptr);
    ~CRecordListModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // The visible row at a view position (null outside).
    const ListRow* RowAt(int viewRow) const;
    ListRow* FindRow(const std::string& fileIndex);
    const ListRow* FindRow(const std::string& fileIndex) const;
    // The record of a listed file index, null for "" or an index not listed. Valid until a row
    // is added or removed.
    _sLCItemData* FindRecord(const std::string& fileIndex);
    size_t Count() const { return m_rows.size(); }
    int VisibleCount() const { return static_cast<int>(m_view.size()); }

    // Appends a copy; false when the file index is empty or already held.
    bool AppendRow(const _sLCItemData& record, bool visible);
    // Appends many at once (one view reset); returns how many were taken.
    size_t AppendRows(const std::vector<_sLCItemData>& records);
    bool RemoveRow(const std::string& fileIndex);
    void Clear();
    // Every file index in list order / of the selected rows / their records.
    std::vector<std::string> AllIndexes() const;
    std::vector<std::string> SelectedIndexes() const;
    std::vector<_sLCItemData> SelectedRecords() const;
    std::vector<_sLCItemData> AllRecords() const;
    // Redraws the row; a selected row whose status changed reports "statechanged".
    void RowChanged(const std::string& fileIndex);
    void SetTooltip(const std::string& fileIndex, const std::string& text);

    // --- selection ---------------------------------------------------------------------
    void SetMultiSelect(bool on) { m_bMultiSelect = on; }
    bool MultiSelect() const { return m_bMultiSelect; }
    // A click on a visible row with the keyboard modifiers of the click.
    void ItemClick(int viewRow, bool ctrl, bool shift);
    void SelectAll();
    void ClearSelection();
    int SelectedCount() const { return m_nSelected; }
    // View position of the anchor, -1 when none.
    int AnchorRow() const;
    bool IsSelected(int viewRow) const;

    // --- order and filter ----------------------------------------------------------------
    // Orders the rows (stable), clears the selection and reports it.
    void SortRows(const Less& less);
    // The same by one key of the records, ascending or descending.
    template <class Key> void SortByKey(Key key, bool descending)
    {
        if (descending)
            SortRows([key](const _sLCItemData& a, const _sLCItemData& b) { return key(b) < key(a); });
        else
            SortRows([key](const _sLCItemData& a, const _sLCItemData& b) { return key(a) < key(b); });
    }
    // Shows the rows that match (all when match is empty), clears the selection; returns how
    // many rows are visible afterwards.
    int FilterRows(const Match& match);
    // A search: shows the rows whose text field contains the text, ignoring case in any script
    // (Chinese included); "" ends the search and shows every row. Returns whether any row is
    // visible afterwards.
    bool SearchRows(const QString& text, std::string _sLCItemData::*field);
    bool Searching() const { return m_bSearching; }
    // Switching the search off shows every row again.
    void SetSearchState(bool searching);

signals:
    // After every selection change, removal or sort: selected count, status of the one selected
    // record or -1.
    void selectChanged(int count, int status);
    // A selected row's record changed its status.
    void stateChanged(int viewRow);

protected:
    // A record's own text for the display role (the name the list shows).
    virtual QString DisplayName(const _sLCItemData& r) const;
    void EmitSelectChanged();

private:
    void RebuildView();
    void RecountSelection(); // count and anchor after rows went away

    std::vector<std::unique_ptr<ListRow>> m_rows; // list order
    std::vector<ListRow*> m_view;                 // the visible rows, in list order
    std::unordered_map<std::string, ListRow*> m_byIndex;
    ListRow* m_pAnchor = nullptr;
    int m_nSelected = 0;
    bool m_bMultiSelect = true;
    bool m_bSearching = false;
};

} // namespace vx
