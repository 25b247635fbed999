#pragma once
// The course list's rows: records of files on their way (probe, conversion, digest, upload).
// Implements the pipeline's ICourseList. One row per file index, as in every face: two records
// of the same content (two copies of a file, in two folders) are two uploads, and a record the
// list refused would be left without a row after a restart. The intake refuses a file already
// listed (by its path) before a record is made.
// The search keeps the rows whose file name contains the text, ignoring case in any script;
// rows added while a search is on stay hidden until it ends.

#include "pipeline/PipelineModels.h"
#include "ui/lists/RecordListModel.h"

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

    // Adds a copy unless its file index is listed already (or empty); shown only when visible
    // and no search is on.
    bool Add(const _sLCItemData& record, bool visible);
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
    QString m_searchText;
};

} // namespace vx
