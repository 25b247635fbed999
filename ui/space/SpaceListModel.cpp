#include "ui/space/SpaceListModel.h"

#include "app/Utils.h"

#include <algorithm>
#include <unordered_map>

namespace vx {

CSpaceListModel::CSpaceListModel(const CSpaceList& list, QObject* parent)
    : QAbstractListModel(parent), m_list(list)
{
    Sync();
}

namespace {

// Folder ids and file ids are counted apart: the kind is part of a row's identity.
uint64_t KeyOf(const SpaceEntry& e)
{
    return (static_cast<uint64_t>(e.i64Id) << 1) | (e.nType == SPACE_FOLDER ? 1u : 0u);
}

// Beyond this many single-row changes a refill is cheaper for the view than the steps.
constexpr size_t kMaxSteps = 256;

} // namespace

void CSpaceListModel::ResetFrom(const std::vector<SpaceListRow>& rows)
{
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(rows.size());
    for (const SpaceListRow& r : rows)
        m_rows.push_back(r.entry);
    m_i64DirId = m_list.DirId();
    m_bSearch = m_list.IsSearch();
    endResetModel();
}

bool CSpaceListModel::Sync()
{
    const std::vector<SpaceListRow>& want = m_list.Rows();
    if (m_list.DirId() != m_i64DirId || m_list.IsSearch() != m_bSearch) {
        ResetFrom(want);
        return true;
    }
    std::unordered_map<uint64_t, size_t> wantRow;
    wantRow.reserve(want.size());
    for (size_t i = 0; i < want.size(); ++i)
        wantRow.emplace(KeyOf(want[i].entry), i);
    size_t gone = 0;
    for (const SpaceEntry& e : m_rows)
        gone += wantRow.count(KeyOf(e)) ? 0 : 1;
    const size_t added = want.size() + gone - m_rows.size();
    if (gone + added > kMaxSteps) {
        ResetFrom(want);
        return true;
    }

    // Rows that left, last first, runs at a time.
    for (int row = static_cast<int>(m_rows.size()) - 1; row >= 0;) {
        if (wantRow.count(KeyOf(m_rows[row]))) {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && !wantRow.count(KeyOf(m_rows[first - 1])))
            --first;
        beginRemoveRows(QModelIndex(), first, row);
        m_rows.erase(m_rows.begin() + first, m_rows.begin() + row + 1);
        endRemoveRows();
        row = first - 1;
    }

    // The rows that stay, in the list's order (a sort): moved as one layout change, so the
    // view's selection and current row follow their entries.
    std::vector<size_t> order(m_rows.size());
    for (size_t i = 0; i < m_rows.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return wantRow.at(KeyOf(m_rows[a])) < wantRow.at(KeyOf(m_rows[b]));
    });
    if (!std::is_sorted(order.begin(), order.end())) {
        emit layoutAboutToBeChanged();
        std::vector<int> newRowOf(order.size());
        for (size_t n = 0; n < order.size(); ++n)
            newRowOf[order[n]] = static_cast<int>(n);
        std::vector<SpaceEntry> sorted;
        sorted.reserve(m_rows.size());
        for (size_t n : order)
            sorted.push_back(std::move(m_rows[n]));
        m_rows = std::move(sorted);
        const QModelIndexList before = persistentIndexList();
        QModelIndexList after;
        for (const QModelIndex& i : before)
            after << index(newRowOf[static_cast<size_t>(i.row())]);
        changePersistentIndexList(before, after);
        emit layoutChanged();
    }

    // New rows where the list has them.
    for (size_t i = 0; i < want.size(); ++i) {
        if (i < m_rows.size() && KeyOf(m_rows[i]) == KeyOf(want[i].entry))
            continue;
        const int row = static_cast<int>(i);
        beginInsertRows(QModelIndex(), row, row);
        m_rows.insert(m_rows.begin() + row, want[i].entry);
        endInsertRows();
    }

    // Names, times and sizes of the rows that stayed (a rename).
    for (size_t i = 0; i < want.size() && i < m_rows.size(); ++i) {
        if (m_rows[i] == want[i].entry)
            continue;
        m_rows[i] = want[i].entry;
        const QModelIndex at = index(static_cast<int>(i));
        emit dataChanged(at, at);
    }
    return false;
}

QIcon CSpaceListModel::IconFor(int type)
{
    // Loaded once: a list of thousands of rows asks for these on every repaint.
    static const QIcon folder(QStringLiteral(":/icons/type_folder.svg"));
    static const QIcon pdf(QStringLiteral(":/icons/type_pdf.svg"));
    static const QIcon video(QStringLiteral(":/icons/type_video.svg"));
    static const QIcon swf(QStringLiteral(":/icons/type_swf.svg"));
    static const QIcon other(QStringLiteral(":/icons/type_other.svg"));
    switch (type) {
    case SPACE_FOLDER:
        return folder;
    case SPACE_PDF:
        return pdf;
    case SPACE_VIDEO:
        return video;
    case SPACE_SWF:
        return swf;
    default:
        return other;
    }
}

int CSpaceListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant CSpaceListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || static_cast<size_t>(index.row()) >= m_rows.size())
        return QVariant();
    const SpaceEntry& e = m_rows[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return QString::fromStdString(e.strName);
    case Qt::ToolTipRole:
        return QString::fromStdString(e.strName);
    case Qt::DecorationRole:
        return IconFor(e.nType);
    case IdRole:
        return QVariant::fromValue<qlonglong>(e.i64Id);
    case IsFolderRole:
        return e.nType == SPACE_FOLDER;
    case TypeRole:
        return e.nType;
    case TimeRole:
        return QString::fromStdString(e.strCreateTime);
    case SizeRole:
        return e.nType == SPACE_FOLDER ? QString() : QString::fromStdString(FormatFileSize(e.i64Size));
    default:
        return QVariant();
    }
}

} // namespace vx
