#include "ui/lists/RecordListModel.h"

#include <algorithm>

namespace vx {

CRecordListModel::CRecordListModel(QObject* parent) : QAbstractListModel(parent) {}

CRecordListModel::~CRecordListModel() = default;

int CRecordListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_view.size());
}

QString CRecordListModel::DisplayName(const _sLCItemData& r) const
{
    return QString::fromStdString(r.strFileName);
}

QVariant CRecordListModel::data(const QModelIndex& index, int role) const
{
    const ListRow* row = RowAt(index.row());
    if (!row)
        return {};
    if (role == Qt::DisplayRole)
        return DisplayName(row->record);
    if (role == Qt::ToolTipRole && !row->tooltip.empty())
        return QString::fromStdString(row->tooltip);
    return {};
}

const ListRow* CRecordListModel::RowAt(int viewRow) const
{
    if (viewRow < 0 || viewRow >= static_cast<int>(m_view.size()))
        return nullptr;
    return m_view[static_cast<size_t>(viewRow)];
}

ListRow* CRecordListModel::FindRow(const std::string& fileIndex)
{
    auto it = m_byIndex.find(fileIndex);
    return it == m_byIndex.end() ? nullptr : it->second;
}

const ListRow* CRecordListModel::FindRow(const std::string& fileIndex) const
{
    auto it = m_byIndex.find(fileIndex);
    return it == m_byIndex.end() ? nullptr : it->second;
}

_sLCItemData* CRecordListModel::FindRecord(const std::string& fileIndex)
{
    ListRow* r = fileIndex.empty() ? nullptr : FindRow(fileIndex);
    return r ? &r->record : nullptr;
}

bool CRecordListModel::AppendRow(const _sLCItemData& record, bool visible)
{
    if (record.strFileIndex.empty() || m_byIndex.count(record.strFileIndex))
        return false;
    auto row = std::make_unique<ListRow>();
    row->record = record;
    row->visible = visible;
    row->lastStatus = record.nStatus;
    ListRow* p = row.get();
    m_byIndex.emplace(record.strFileIndex, p);
    m_rows.push_back(std::move(row));
    if (visible) {
        const int at = static_cast<int>(m_view.size());
        beginInsertRows(QModelIndex(), at, at);
        p->viewRow = at;
        m_view.push_back(p);
        endInsertRows();
    }
    return true;
}

size_t CRecordListModel::AppendRows(const std::vector<_sLCItemData>& records)
{
    beginResetModel();
    size_t taken = 0;
    m_rows.reserve(m_rows.size() + records.size());
    m_byIndex.reserve(m_rows.size() + records.size());
    m_view.reserve(m_view.size() + records.size());
    for (const _sLCItemData& r : records) {
        if (r.strFileIndex.empty() || m_byIndex.count(r.strFileIndex))
            continue;
        auto row = std::make_unique<ListRow>();
        row->record = r;
        row->lastStatus = r.nStatus;
        row->viewRow = static_cast<int>(m_view.size());
        m_view.push_back(row.get());
        m_byIndex.emplace(r.strFileIndex, row.get());
        m_rows.push_back(std::move(row));
        ++taken;
    }
    endResetModel();
    return taken;
}

bool CRecordListModel::RemoveRow(const std::string& fileIndex)
{
    ListRow* p = FindRow(fileIndex);
    if (!p)
        return false;
    const bool wasSelected = p->selected;
    if (p->viewRow >= 0) {
        const int at = p->viewRow;
        beginRemoveRows(QModelIndex(), at, at);
        m_view.erase(m_view.begin() + at);
        for (size_t i = static_cast<size_t>(at); i < m_view.size(); ++i)
            m_view[i]->viewRow = static_cast<int>(i);
    }
    if (m_pAnchor == p)
        m_pAnchor = nullptr;
    m_byIndex.erase(fileIndex);
    auto it = std::find_if(m_rows.begin(), m_rows.end(), [p](const auto& r) { return r.get() == p; });
    const bool wasVisible = p->viewRow >= 0;
    m_rows.erase(it); // frees the row
    if (wasVisible)
        endRemoveRows();
    if (wasSelected || !m_pAnchor)
        RecountSelection();
    EmitSelectChanged();
    return true;
}

void CRecordListModel::Clear()
{
    beginResetModel();
    m_view.clear();
    m_byIndex.clear();
    m_rows.clear();
    m_pAnchor = nullptr;
    m_nSelected = 0;
    endResetModel();
}

std::vector<std::string> CRecordListModel::AllIndexes() const
{
    std::vector<std::string> out;
    out.reserve(m_rows.size());
    for (const auto& r : m_rows)
        out.push_back(r->record.strFileIndex);
    return out;
}

std::vector<std::string> CRecordListModel::SelectedIndexes() const
{
    std::vector<std::string> out;
    for (const ListRow* r : m_view)
        if (r->selected)
            out.push_back(r->record.strFileIndex);
    return out;
}

std::vector<_sLCItemData> CRecordListModel::SelectedRecords() const
{
    std::vector<_sLCItemData> out;
    for (const ListRow* r : m_view)
        if (r->selected)
            out.push_back(r->record);
    return out;
}

std::vector<_sLCItemData> CRecordListModel::AllRecords() const
{
    std::vector<_sLCItemData> out;
    out.reserve(m_rows.size());
    for (const auto& r : m_rows)
        out.push_back(r->record);
    return out;
}

void CRecordListModel::RowChanged(const std::string& fileIndex)
{
    ListRow* p = FindRow(fileIndex);
    if (!p)
        return;
    const bool statusChanged = p->record.nStatus != p->lastStatus;
    p->lastStatus = p->record.nStatus;
    if (p->viewRow >= 0) {
        const QModelIndex i = index(p->viewRow);
        emit dataChanged(i, i);
    }
    if (statusChanged && p->selected) {
        emit stateChanged(p->viewRow);
        if (m_nSelected == 1)
            emit selectChanged(1, p->record.nStatus);
    }
}

void CRecordListModel::SetTooltip(const std::string& fileIndex, const std::string& text)
{
    if (ListRow* p = FindRow(fileIndex))
        p->tooltip = text;
}

// ------------------------------------------------------------------------------ selection

void CRecordListModel::ItemClick(int viewRow, bool ctrl, bool shift)
{
    if (viewRow < 0 || viewRow >= static_cast<int>(m_view.size())) {
        ClearSelection();
        return;
    }
    ListRow* e = m_view[static_cast<size_t>(viewRow)];
    const bool selecting = !(ctrl && e->selected);
    e->selected = selecting;
    // Without multi-selection, or for a plain click with an anchor, the click replaces the
    // selection.
    const bool keepOthers = m_bMultiSelect && (ctrl || !m_pAnchor);
    if (!keepOthers)
        for (ListRow* r : m_view)
            if (r != e)
                r->selected = false;
    if (m_bMultiSelect && shift && selecting) {
        if (!m_pAnchor || m_pAnchor == e || m_pAnchor->viewRow < 0) {
            m_pAnchor = e;
        } else {
            // Only visible rows lie between two view positions: a range never reaches a row
            // that a search hides.
            const int lo = std::min(m_pAnchor->viewRow, viewRow);
            const int hi = std::max(m_pAnchor->viewRow, viewRow);
            for (int i = lo; i <= hi; ++i)
                m_view[static_cast<size_t>(i)]->selected = true;
        }
    } else if (selecting) {
        m_pAnchor = e;
    } else {
        m_pAnchor = nullptr;
        for (ListRow* r : m_view)
            if (r->selected) {
                m_pAnchor = r;
                break;
            }
    }
    m_nSelected = static_cast<int>(
        std::count_if(m_view.begin(), m_view.end(), [](const ListRow* r) { return r->selected; }));
    emit dataChanged(index(0), index(std::max(0, static_cast<int>(m_view.size()) - 1)));
    EmitSelectChanged();
}

void CRecordListModel::SelectAll()
{
    for (ListRow* r : m_view)
        r->selected = true;
    m_nSelected = static_cast<int>(m_view.size());
    if ((!m_pAnchor || !m_pAnchor->selected) && !m_view.empty())
        m_pAnchor = m_view.front();
    if (!m_view.empty())
        emit dataChanged(index(0), index(static_cast<int>(m_view.size()) - 1));
    EmitSelectChanged();
}

void CRecordListModel::ClearSelection()
{
    for (const auto& r : m_rows)
        r->selected = false;
    m_nSelected = 0;
    m_pAnchor = nullptr;
    if (!m_view.empty())
        emit dataChanged(index(0), index(static_cast<int>(m_view.size()) - 1));
    EmitSelectChanged();
}

int CRecordListModel::AnchorRow() const
{
    return m_pAnchor ? m_pAnchor->viewRow : -1;
}

bool CRecordListModel::IsSelected(int viewRow) const
{
    const ListRow* r = RowAt(viewRow);
    return r && r->selected;
}

void CRecordListModel::RecountSelection()
{
    m_nSelected = 0;
    ListRow* first = nullptr;
    for (ListRow* r : m_view)
        if (r->selected) {
            ++m_nSelected;
            if (!first)
                first = r;
        }
    if (!m_pAnchor || !m_pAnchor->selected)
        m_pAnchor = first;
}

void CRecordListModel::EmitSelectChanged()
{
    int status = -1;
    if (m_nSelected == 1)
        for (const ListRow* r : m_view)
            if (r->selected) {
                status = r->record.nStatus;
                break;
            }
    emit selectChanged(m_nSelected, status);
}

// -------------------------------------------------------------------------- order, filter

void CRecordListModel::RebuildView()
{
    m_view.clear();
    for (const auto& r : m_rows) {
        r->viewRow = r->visible ? static_cast<int>(m_view.size()) : -1;
        if (r->visible)
            m_view.push_back(r.get());
    }
}

void CRecordListModel::SortRows(const Less& less)
{
    beginResetModel();
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [&less](const auto& a, const auto& b) { return less(a->record, b->record); });
    for (const auto& r : m_rows)
        r->selected = false;
    m_nSelected = 0;
    m_pAnchor = nullptr;
    RebuildView();
    endResetModel();
    EmitSelectChanged();
}

int CRecordListModel::FilterRows(const Match& match)
{
    beginResetModel();
    for (const auto& r : m_rows) {
        r->selected = false;
        r->visible = !match || match(r->record);
    }
    m_nSelected = 0;
    m_pAnchor = nullptr;
    RebuildView();
    endResetModel();
    EmitSelectChanged();
    return static_cast<int>(m_view.size());
}

bool CRecordListModel::SearchRows(const QString& text, std::string _sLCItemData::*field)
{
    m_bSearching = !text.isEmpty();
    if (!m_bSearching)
        return FilterRows({}) > 0;
    return FilterRows([&text, field](const _sLCItemData& r) {
               return QString::fromStdString(r.*field).contains(text, Qt::CaseInsensitive);
           }) > 0;
}

void CRecordListModel::SetSearchState(bool searching)
{
    if (!searching && m_bSearching)
        SearchRows(QString(), nullptr);
    m_bSearching = searching;
}

} // namespace vx
