#pragma once
// The converted list: files whose upload file exists, with upload state, upload size,
// duration, bit rate and the time the conversion ended. Search filters by the converted name;
// deleting a row (through the pipeline, which calls Remove) deletes its conversion output.
// RefreshMediaInfo reads the converted file itself again, so the row shows what is uploaded.

#include "ui/lists/ConvertedListModel.h"
#include "ui/lists/RecordListView.h"

#include <QStyledItemDelegate>

namespace vx {

class CConverDoneListUI : public CRecordListView
{
    Q_OBJECT

public:
    enum
    {
        kName,
        kStatus,
        kSize,
        kDuration,
        kBitRate,
        kGap,
        kTime
    };
    static constexpr int kSortTab = 1;
    static constexpr int64_t kSortFolder = -120;

    explicit CConverDoneListUI(QWidget* parent = nullptr);

    CConverDoneListModel* List() const { return m_pList; }
    std::vector<ColumnSpec> Columns() const override;

    bool Add(const _sLCItemData& record, bool visible) { return m_pList->AddRecord(record, visible); }
    bool Search(const QString& text) { return m_pList->Search(text); }
    // Probes the row's upload file and takes its size, picture size and media properties
    // (duration, bit rate ...), then stores the record. False, with the record unchanged, for a
    // document, an index not listed or a file the probe cannot read.
    bool RefreshMediaInfo(const std::string& fileIndex);
    // The status text of a converted row: uploading, uploaded, or waiting for the upload.
    QString DoneStatusText(int32_t status) const;

protected:
    bool SortModel(int column, bool descending) override { return m_pList->Sort(column, descending); }
    uint32_t MenuFlags(bool rowSelected, int selectedCount) const override;
    int SortTab() const override { return kSortTab; }
    int64_t SortFolder() const override { return kSortFolder; }
    const char* DeleteLogLine() const override;

private:
    CConverDoneListModel* m_pList;
};

class CConverDoneDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit CConverDoneDelegate(CConverDoneListUI* view) : QStyledItemDelegate(view), m_pView(view) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    CConverDoneListUI* m_pView;
};

} // namespace vx
