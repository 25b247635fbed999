#pragma once
// The converted list's rows: records whose upload file exists (status 8 to 15). Implements the
// pipeline's IConvertedList. Removing a record deletes its conversion output folder (the part
// of the output path up to and including the file index), never the user's source file.

#include "pipeline/PipelineModels.h"
#include "ui/lists/RecordListModel.h"

namespace vx {

class CConverDoneListModel : public CRecordListModel, public IConvertedList
{
    Q_OBJECT

public:
    // Sortable columns: 1 name, 2 status, 3 upload size, 4 duration, 5 bit rate, 6 time the
    // conversion ended.
    enum Column
    {
        kColName = 1,
        kColStatus = 2,
        kColSize = 3,
        kColDuration = 4,
        kColBitRate = 5,
        kColTime = 6
    };

    explicit CConverDoneListModel(QObject* parent = nullptr);

    bool Sort(int column, bool descending);
    // Shows the rows whose converted name contains the text, ignoring case; "" shows every
    // row. False at once for an empty list, otherwise whether any row matched.
    bool Search(const QString& text);

    // IConvertedList
    bool AddRecord(const _sLCItemData& record, bool visible) override;
    _sLCItemData* Find(const std::string& fileIndex) override { return FindRecord(fileIndex); }
    // Deletes the record's conversion output folder, then the row.
    bool Remove(const std::string& fileIndex) override;
    std::vector<std::string> Indexes() const override { return AllIndexes(); }
    std::vector<std::string> Checked() const override { return SelectedIndexes(); }
    void Changed(const std::string& fileIndex) override;
    bool IsSearching() const override { return Searching(); }
    void SetSearching(bool searching) override { SetSearchState(searching); }

    // The folder Remove deletes for this record, "" when none may be deleted.
    static std::string OutputFolderOf(const _sLCItemData& r);

protected:
    QString DisplayName(const _sLCItemData& r) const override;
};

// The name part of a path (after the last '/'), "" when the path ends in one.
std::string NameOfPath(const std::string& path);

} // namespace vx
