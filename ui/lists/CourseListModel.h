#pragma once
// The course list's rows: records of files on their way (probe, conversion, digest, upload).
// Implements the pipeline's ICourseList. A record is refused when it names the same remote
// file (file id) or the same content (digest) as a listed one, or an index already listed.
// The search keeps the rows whose file name contains the text, ignoring case in any script;
// rows added while a search is on stay hidden until it ends.

#include "pipeline/PipelineModels.h"
#include "ui/lists/RecordListModel.h"

#include <unordered_map>

namespace vx {

class CLCListModel : public CRecordListModel, public ICourseList
{
    Q_OBJECT

public:
    // Sortable columns: 1 file name, 2 source size, 3 status.
    enum Column
    {
        kColName = 1,
        kColSize = 2,
        kColStatus = 3
    };

    explicit CLCListModel(QObject* parent = nullptr);

    // Adds a copy unless it is a duplicate; shown only when visible and no search is on.
    bool Add(const _sLCItemData& record, bool visible);
    bool IsDuplicate(const _sLCItemData& record);
    // Empties the list and forgets the ids and digests of its rows.
    void Clear();
    // Copies of the records whose status lies in [low, high] and is not 15, in list order.
    std::vector<_sLCItemData> RecordsInRange(int32_t low, int32_t high) const;
    // False (order unchanged) for a column that is not sortable.
    bool Sort(int column, bool descending);
    // "" ends the search and shows every row; returns whether any row matched.
    bool Search(const QString& text);
    QString SearchText() const { return m_searchText; }

    // ICourseList
    void AddRecord(const _sLCItemData& record, bool visible) override { Add(record, visible); }
    _sLCItemData* Find(const std::string& fileIndex) override;
    bool Remove(const std::string& fileIndex) override;
    void AddRecords(const std::vector<_sLCItemData>& records, bool visible) override;
    void RemoveRecords(const std::vector<std::string>& fileIndexes) override;
    std::vector<std::string> Indexes() const override { return AllIndexes(); }
    std::vector<std::string> Checked() const override { return SelectedIndexes(); }
    void Changed(const std::string& fileIndex) override;
    void SetTooltip(const std::string& fileIndex, const std::string& text) override
    {
        CRecordListModel::SetTooltip(fileIndex, text);
    }
    bool IsSearching() const override { return Searching(); }
    void SetSearching(bool searching) override { SetSearchState(searching); }

private:
    void RebuildDupIndex();

    QString m_searchText;
    // File ids and digests of the rows, for the duplicate check. A record handed out by Find
    // may change its id or digest, so the index is rebuilt before the next check then.
    std::unordered_map<int64_t, int> m_fileIds;
    std::unordered_map<std::string, int> m_digests;
    bool m_bDupDirty = false;
};

} // namespace vx
