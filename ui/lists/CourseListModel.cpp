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
    if (!AppendRow(record, visible && !m_bSearching))
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
    AppendRows(taken, visible && !m_bSearching);
}

void CLCListModel::RemoveRecords(const std::vector<std::string>& fileIndexes)
{
    if (RemoveRows(fileIndexes) > 0)
        m_bDupDirty = true;
}

_sLCItemData* CLCListModel::Find(const std::string& fileIndex)
{
    ListRow* r = fileIndex.empty() ? nullptr : FindRow(fileIndex);
    if (!r)
        return nullptr;
    m_bDupDirty = true;
    return &r->record;
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
    Less less;
    switch (column) {
    case kColName:
        less = [](const _sLCItemData& a, const _sLCItemData& b) { return a.strFileName < b.strFileName; };
        break;
    case kColSize:
        less = [](const _sLCItemData& a, const _sLCItemData& b) { return a.i64FileSize < b.i64FileSize; };
        break;
    case kColStatus:
        less = [](const _sLCItemData& a, const _sLCItemData& b) { return a.nStatus < b.nStatus; };
        break;
    default:
        return false;
    }
    if (descending)
        SortRows([less](const _sLCItemData& a, const _sLCItemData& b) { return less(b, a); });
    else
        SortRows(less);
    return true;
}

bool CLCListModel::Search(const QString& text)
{
    m_searchText = text;
    m_bSearching = !text.isEmpty();
    if (!m_bSearching) {
        FilterRows({});
        return Count() > 0;
    }
    const QString needle = text;
    return FilterRows([&needle](const _sLCItemData& r) {
               return QString::fromStdString(r.strFileName).contains(needle, Qt::CaseInsensitive);
           }) > 0;
}

void CLCListModel::SetSearching(bool searching)
{
    if (!searching && m_bSearching)
        Search(QString());
    m_bSearching = searching;
}

} // namespace vx
