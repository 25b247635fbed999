#include "ui/lists/ConvertedListModel.h"

#include "app/LogFile.h"
#include "app/Utils.h"
#include "platform/Paths.h"

namespace vx {

std::string NameOfPath(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

CConverDoneListModel::CConverDoneListModel(QObject* parent) : CRecordListModel(parent) {}

QString CConverDoneListModel::DisplayName(const _sLCItemData& r) const
{
    const std::string name = NameOfPath(r.strConvertPath);
    return QString::fromStdString(name.empty() ? r.strConvertName : name);
}

_sLCItemData CConverDoneListModel::Named(const _sLCItemData& record)
{
    _sLCItemData copy = record;
    const std::string name = NameOfPath(copy.strConvertPath);
    if (!name.empty())
        copy.strConvertName = name;
    return copy;
}

bool CConverDoneListModel::AddRecord(const _sLCItemData& record, bool visible)
{
    return AppendRow(Named(record), visible && !m_bSearching);
}

void CConverDoneListModel::AddRecords(const std::vector<_sLCItemData>& records, bool visible)
{
    std::vector<_sLCItemData> copies;
    copies.reserve(records.size());
    for (const _sLCItemData& r : records)
        copies.push_back(Named(r));
    AppendRows(copies, visible && !m_bSearching);
}

_sLCItemData* CConverDoneListModel::Find(const std::string& fileIndex)
{
    ListRow* r = fileIndex.empty() ? nullptr : FindRow(fileIndex);
    return r ? &r->record : nullptr;
}

void CConverDoneListModel::Changed(const std::string& fileIndex)
{
    // The pipeline copies whole records in: keep the shown name in step with the output path.
    if (ListRow* r = FindRow(fileIndex)) {
        const std::string name = NameOfPath(r->record.strConvertPath);
        if (!name.empty())
            r->record.strConvertName = name;
    }
    RowChanged(fileIndex);
}

std::string CConverDoneListModel::OutputFolderOf(const _sLCItemData& r)
{
    if (r.strFileIndex.empty() || r.strConvertPath.empty() || r.strConvertPath == r.strFilePath)
        return std::string();
    const size_t at = r.strConvertPath.find(r.strFileIndex);
    if (at == std::string::npos || at == 0)
        return std::string();
    return r.strConvertPath.substr(0, at) + r.strFileIndex;
}

std::string CConverDoneListModel::FolderToDelete(const _sLCItemData& r)
{
    if (r.strConvertPath == r.strFilePath)
        return std::string();
    const std::string folder = OutputFolderOf(r);
    if (folder.empty() && FileExists(r.strConvertPath))
        Log(g_log, "Error : this is impossible, DeleteItemsByArray file(%s) not found.",
            r.strConvertPath.c_str());
    return folder;
}

bool CConverDoneListModel::Remove(const std::string& fileIndex)
{
    ListRow* row = fileIndex.empty() ? nullptr : FindRow(fileIndex);
    if (!row)
        return false;
    // The folder goes even when the output file itself is already gone: whatever the
    // conversion left beside it belongs to this record alone.
    const std::string folder = FolderToDelete(row->record);
    if (!folder.empty() && DirExists(folder))
        DeleteDirectory(folder);
    return RemoveRow(fileIndex);
}

void CConverDoneListModel::RemoveRecords(const std::vector<std::string>& fileIndexes)
{
    std::vector<std::string> folders;
    for (const std::string& idx : fileIndexes)
        if (const ListRow* row = idx.empty() ? nullptr : FindRow(idx)) {
            std::string folder = FolderToDelete(row->record);
            if (!folder.empty())
                folders.push_back(std::move(folder));
        }
    RemoveRows(fileIndexes);
    if (folders.empty())
        return;
    if (!m_pRemover)
        m_pRemover = std::make_unique<CFolderRemover>();
    m_pRemover->Remove(folders);
}

bool CConverDoneListModel::WaitFoldersDeleted(int timeoutMs)
{
    return !m_pRemover || m_pRemover->WaitIdle(timeoutMs);
}

bool CConverDoneListModel::Sort(int column, bool descending)
{
    Less less;
    switch (column) {
    case kColName:
        less = [](const _sLCItemData& a, const _sLCItemData& b) {
            return a.strConvertName < b.strConvertName;
        };
        break;
    case kColStatus:
        less = [](const _sLCItemData& a, const _sLCItemData& b) { return a.nStatus < b.nStatus; };
        break;
    case kColSize:
        less = [](const _sLCItemData& a, const _sLCItemData& b) { return a.i64FileEnd < b.i64FileEnd; };
        break;
    case kColDuration:
        less = [](const _sLCItemData& a, const _sLCItemData& b) {
            return a.miData.nDuration[MI_GENERAL] < b.miData.nDuration[MI_GENERAL];
        };
        break;
    case kColBitRate:
        less = [](const _sLCItemData& a, const _sLCItemData& b) {
            return a.miData.nBitRate[MI_GENERAL] < b.miData.nBitRate[MI_GENERAL];
        };
        break;
    case kColTime:
        less = [](const _sLCItemData& a, const _sLCItemData& b) { return a.strModifyTime < b.strModifyTime; };
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

bool CConverDoneListModel::Search(const QString& text)
{
    if (Count() == 0)
        return false;
    m_bSearching = !text.isEmpty();
    if (!m_bSearching)
        return FilterRows({}) > 0;
    return FilterRows([&text](const _sLCItemData& r) {
               return QString::fromStdString(r.strConvertName).contains(text, Qt::CaseInsensitive);
           }) > 0;
}

void CConverDoneListModel::SetSearching(bool searching)
{
    if (!searching && m_bSearching)
        Search(QString());
    m_bSearching = searching;
}

} // namespace vx
