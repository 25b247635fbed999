#include "ui/lists/CourseListModel.h"

#include <unordered_set>

namespace vx {

CLCListModel::CLCListModel(QObject* parent) : CRecordListModel(parent) {}

void CLCListModel::RebuildDupIndex()
{
    m_fileIds.clear();
    m_digests.clear();
    for (const std::string& idx : AllIndexes()) {
        const ListRow* r = CRecordListModel::FindRow(idx);
        if (r->record.i64FileId > 0)
            ++m_fileIds[r->record.i64FileId];
        if (!r->record.strMd5.empty())
            ++m_digests[r->record.strMd5];
    }
    m_bDupDirty = false;
}

void CLCListModel::Clear()
{
    CRecordListModel::Clear();
    m_fileIds.clear();
    m_digests.clear();
    m_bDupDirty = false;
}

bool CLCListModel::IsDuplicate(const _sLCItemData& r)
{
    if (m_bDupDirty)
        RebuildDupIndex();
    if (CRecordListModel::FindRow(r.strFileIndex))
        return true;
    // A file id of its own: the same remote file or the same content. Without one, only the
    // same content counts, and an empty digest matches nothing.
    if (r.i64FileId > 0 && m_fileIds.count(r.i64FileId))
        return true;
    return !r.strMd5.empty() && m_digests.count(r.strMd5);
}

bool CLCListModel::Add(const _sLCItemData& record, bool visible)
{
    if (record.strFileIndex.empty() || IsDuplicate(record))
        return false;
    if (!AppendRow(record, visible && !Searching()))
        return false;
    if (record.i64FileId > 0)
        ++m_fileIds[record.i64FileId];
    if (!record.strMd5.empty())
        ++m_digests[record.strMd5];
    return true;
}

void CLCListModel::AddRecords(const std::vector<_sLCItemData>& records, bool visible)
{
    std::vector<_sLCItemData> taken;
    taken.reserve(records.size());
    std::unordered_set<std::string> batch;
    for (const _sLCItemData& r : records) {
        // The index counts what this batch took already, so a duplicate inside it goes too.
        if (r.strFileIndex.empty() || IsDuplicate(r) || !batch.insert(r.strFileIndex).second)
            continue;
        if (r.i64FileId > 0)
            ++m_fileIds[r.i64FileId];
        if (!r.strMd5.empty())
            ++m_digests[r.strMd5];
        taken.push_back(r);
    }
    AppendRows(taken, visible && !Searching());
}

void CLCListModel::RemoveRecords(const std::vector<std::string>& fileIndexes)
{
    if (RemoveRows(fileIndexes) > 0)
        m_bDupDirty = true;
}

_sLCItemData* CLCListModel::Find(const std::string& fileIndex)
{
    _sLCItemData* r = FindRecord(fileIndex);
    // The caller may change the id or the digest: check against fresh values next time.
    if (r)
        m_bDupDirty = true;
    return r;
}

bool CLCListModel::Remove(const std::string& fileIndex)
{
    if (!RemoveRow(fileIndex))
        return false;
    m_bDupDirty = true;
    return true;
}

void CLCListModel::Changed(const std::string& fileIndex)
{
    m_bDupDirty = true;
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
