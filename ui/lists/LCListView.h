#pragma once
// The course list: files on their way through probe, conversion, digest and upload. Applies
// the conversion and transfer reports to its records (UpdateItemByCvrtInfo,
// UpdateItemByTransInfo) and renames an upload file when the file server refuses its name
// (ReNameCourseFile). Reports name their record by file index and carry copies; a report for
// an index that is not listed is ignored, and one that would move a record backwards (a late
// report for a paused or restarted task) is dropped.

#include "store/ConvertRecords.h"
#include "store/TransRecords.h"
#include "ui/lists/CourseListModel.h"
#include "ui/lists/RecordListView.h"

namespace vx {

class IConvertedList;

class CLCListView : public CRecordListView
{
    Q_OBJECT

public:
    // Column positions, left to right.
    enum
    {
        kName,
        kSize,
        kStatus,
        kProgress,
        kPicture,
        kBitRate,
        kSpeed
    };
    static constexpr int kSortTab = 0;
    static constexpr int64_t kSortFolder = -110;

    explicit CLCListView(QWidget* parent = nullptr);

    QString GetClass() const { return QStringLiteral("LCListView"); }
    CLCListModel* List() const { return m_pList; }
    // The converted list that shows the same files (kept in step after a rename); may be null.
    void SetConvertedList(IConvertedList* converted) { m_pConverted = converted; }

    std::vector<ColumnSpec> Columns() const override;

    bool Add(const _sLCItemData& record, bool visible) { return m_pList->Add(record, visible); }
    // Stores the records that are not uploaded, then empties the list.
    void RemoveAll();
    bool Search(const QString& text) { return m_pList->Search(text); }

    void UpdateItemByCvrtInfo(const _sConvertReport& report);
    void UpdateItemByTransInfo(const _sTransReport& report);
    // Moves the upload file to a new name (marker before the extension, replacing a file of
    // that name); on success the record waits for the upload again and the pending-upload
    // timer is re-armed. False when there is no such record or the move failed.
    bool ReNameCourseFile(const std::string& fileIndex);

protected:
    bool SortModel(int column, bool descending) override { return m_pList->Sort(column, descending); }
    uint32_t MenuFlags(bool rowSelected, int selectedCount) const override;
    int SortTab() const override { return kSortTab; }
    int64_t SortFolder() const override { return kSortFolder; }
    const char* DeleteLogLine() const override;

private:
    void Store(const _sLCItemData& r);
    std::string FailureTooltip(int prefixText, const std::string& name, int failText, bool blank) const;

    CLCListModel* m_pList;
    IConvertedList* m_pConverted = nullptr;
};

} // namespace vx
