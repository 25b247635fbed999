#pragma once
// The course list: files on their way through probe, conversion, digest and upload. The
// workers' reports reach its records through the pipeline, which applies them (with
// CCourseReports) to the list's model as its ICourseList and asks for the redraw; the view only
// shows the rows, so the window and the command line show the same statuses and texts.

#include "ui/lists/CourseListModel.h"
#include "ui/lists/RecordListView.h"

namespace vx {

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

    CLCListModel* List() const { return m_pList; }

    std::vector<ColumnSpec> Columns() const override;

    bool Add(const _sLCItemData& record, bool visible) { return m_pList->Add(record, visible); }
    // Stores the records that are not uploaded, then empties the list.
    void RemoveAll();
    // Stores the records that are not uploaded now (the program ends); false when the database
    // refused.
    bool StoreUnfinished();
    bool Search(const QString& text) { return m_pList->Search(text); }

protected:
    bool SortModel(int column, bool descending) override { return m_pList->Sort(column, descending); }
    uint32_t MenuFlags(bool rowSelected, int selectedCount) const override;
    int SortTab() const override { return kSortTab; }
    int64_t SortFolder() const override { return kSortFolder; }
    const char* DeleteLogLine() const override;

private:
    std::vector<_sLCItemData> Unfinished() const;

    CLCListModel* m_pList;
};

} // namespace vx
