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

bool CConverDoneListModel::AddRecord(const _sLCItemData& record, bool visible)
{
    _sLCItemData copy = record;
    const std::string name = NameOfPath(copy.strConvertPath);
    if (!name.empty())
        copy.strConvertName = name;
    return AppendRow(copy, visible && !Searching());
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

bool CConverDoneListModel::Remove(const std::string& fileIndex)
{
    ListRow* row = fileIndex.empty() ? nullptr : FindRow(fileIndex);
    if (!row)
        return false;
    const _sLCItemData& r = row->record;
    if (r.strConvertPath != r.strFilePath) {
        const std::string folder = OutputFolderOf(r);
        if (folder.empty()) {
            if (FileExists(r.strConvertPath))
                Log(g_log, "Error : this is impossible, DeleteItemsByArray file(%s) not found.",
                    r.strConvertPath.c_str());
        } else if (DirExists(folder)) {
            // The folder goes even when the output file itself is already gone: whatever the
            // conversion left beside it belongs to this record alone.
            DeleteDirectory(folder);
        }
    }
    return RemoveRow(fileIndex);
}

bool CConverDoneListModel::Sort(int column, bool descending)
{
    switch (column) {
    case kColName:
        SortByKey([](const _sLCItemData& r) -> const std::string& { return r.strConvertName; }, descending);
        return true;
    case kColStatus:
        SortByKey([](const _sLCItemData& r) { return r.nStatus; }, descending);
        return true;
    case kColSize:
        SortByKey([](const _sLCItemData& r) { return r.i64FileEnd; }, descending);
        return true;
    case kColDuration:
        SortByKey([](const _sLCItemData& r) { return r.miData.nDuration[MI_GENERAL]; }, descending);
        return true;
    case kColBitRate:
        SortByKey([](const _sLCItemData& r) { return r.miData.nBitRate[MI_GENERAL]; }, descending);
        return true;
    case kColTime:
        SortByKey([](const _sLCItemData& r) -> const std::string& { return r.strModifyTime; }, descending);
        return true;
    default:
        return false;
    }
}

bool CConverDoneListModel::Search(const QString& text)
{
    // An empty list has nothing to search and does not enter the search state.
    if (Count() == 0)
        return false;
    return SearchRows(text, &_sLCItemData::strConvertName);
}

} // namespace vx
