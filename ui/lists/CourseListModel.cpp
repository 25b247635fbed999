#include "ui/lists/CourseListModel.h"

namespace vx {

CLCListModel::CLCListModel(QObject* parent) : CRecordListModel(parent) {}

bool CLCListModel::Add(const _sLCItemData& record, bool visible)
{
    return AppendRow(record, visible && !Searching());
}

void CLCListModel::AddRecords(const std::vector<_sLCItemData>& records, bool visible)
{
    AppendRows(records, visible && !Searching());
}

void CLCListModel::RemoveRecords(const std::vector<std::string>& fileIndexes)
{
    RemoveRows(fileIndexes);
}

_sLCItemData* CLCListModel::Find(const std::string& fileIndex)
{
    return FindRecord(fileIndex);
}

bool CLCListModel::Remove(const std::string& fileIndex)
{
    return RemoveRow(fileIndex);
}

void CLCListModel::Changed(const std::string& fileIndex)
{
    RowChanged(fileIndex);
}

std::vector<_sLCItemData> CLCListModel::RecordsInRange(int32_t low, int32_t high) const
{
    std::vector<_sLCItemData> out;
    for (const std::string& idx : AllIndexes()) {
        const _sLCItemData& r = CRecordListModel::FindRow(idx)->record;
        if (r.nStatus >= low && r.nStatus <= high && r.nStatus != CS_UPLOADED)
            out.push_back(r);
    }
    return out;
}

bool CLCListModel::Sort(int column, bool descending)
{
    switch (column) {
    case kColName:
        SortByKey([](const _sLCItemData& r) -> const std::string& { return r.strFileName; }, descending);
        return true;
    case kColSize:
        SortByKey([](const _sLCItemData& r) { return r.i64FileSize; }, descending);
        return true;
    case kColStatus:
        SortByKey([](const _sLCItemData& r) { return r.nStatus; }, descending);
        return true;
    default:
        return false;
    }
}

bool CLCListModel::Search(const QString& text)
{
    m_searchText = text;
    return SearchRows(text, &_sLCItemData::strFileName);
}

} // namespace vx
