#include "ui/space/SpaceTreeModel.h"

#include <QIcon>
#include <algorithm>

namespace vx {

CSpaceTreeModel::CSpaceTreeModel(const CSpaceTree& tree, QObject* parent)
    : QAbstractItemModel(parent), m_tree(tree)
{
    Sync();
}

std::vector<int64_t>& CSpaceTreeModel::Kids(int64_t parentId)
{
    return parentId == 0 ? m_roots : m_nodes.at(parentId).children;
}

const std::vector<int64_t>& CSpaceTreeModel::Kids(int64_t parentId) const
{
    static const std::vector<int64_t> kNone;
    if (parentId == 0)
        return m_roots;
    auto it = m_nodes.find(parentId);
    return it == m_nodes.end() ? kNone : it->second.children;
}

bool CSpaceTreeModel::Expandable(const SpaceTreeItem& item) const
{
    // Until its children were read, the server's flag decides whether the item can expand.
    return item.bLoaded ? !item.children.empty() : (item.entry.bHasChildren || !item.children.empty());
}

void CSpaceTreeModel::Sync()
{
    bool shapeChanged = false;
    RemoveGone(0);
    AddNew(0, &shapeChanged);
    // An item that gained or lost its expander without rows changing under it: the view
    // caches that, so it lays itself out again (indexes stay as they are).
    if (shapeChanged) {
        emit layoutAboutToBeChanged();
        emit layoutChanged();
    }
}

void CSpaceTreeModel::EraseSubtree(int64_t id)
{
    auto it = m_nodes.find(id);
    if (it == m_nodes.end())
        return;
    const std::vector<int64_t> children = it->second.children;
    for (int64_t c : children)
        EraseSubtree(c);
    m_nodes.erase(id);
}

void CSpaceTreeModel::RemoveGone(int64_t parentId)
{
    const QModelIndex parentIndex = IndexOf(parentId);
    std::vector<int64_t>& kids = Kids(parentId);
    const std::vector<int64_t>& want = m_tree.ChildrenOf(parentId);
    // Gone, or moved under another folder: the row leaves here (a moved folder is added again
    // where it went, and the view expands it again from the tree's state).
    for (int row = static_cast<int>(kids.size()) - 1; row >= 0; --row) {
        const SpaceTreeItem* item = m_tree.Find(kids[row]);
        if (item && item->i64ParentItem == parentId)
            continue;
        beginRemoveRows(parentIndex, row, row);
        EraseSubtree(kids[row]);
        kids.erase(kids.begin() + row);
        endRemoveRows();
    }
    // What stays must keep the tree's order; from the first difference on, rows are taken
    // out and added again in order.
    size_t keep = 0;
    for (size_t w = 0; w < want.size() && keep < kids.size(); ++w)
        if (want[w] == kids[keep])
            ++keep;
    if (keep < kids.size()) {
        beginRemoveRows(parentIndex, static_cast<int>(keep), static_cast<int>(kids.size()) - 1);
        for (size_t i = keep; i < kids.size(); ++i)
            EraseSubtree(kids[i]);
        kids.resize(keep);
        endRemoveRows();
    }
    const std::vector<int64_t> stay = kids;
    for (int64_t id : stay)
        RemoveGone(id);
}

void CSpaceTreeModel::AddNew(int64_t parentId, bool* shapeChanged)
{
    const QModelIndex parentIndex = IndexOf(parentId);
    const std::vector<int64_t>& want = m_tree.ChildrenOf(parentId);
    // After RemoveGone the rows here are an ordered part of want: insert what is missing.
    for (size_t i = 0; i < want.size(); ++i) {
        std::vector<int64_t>& kids = Kids(parentId);
        if (i < kids.size() && kids[i] == want[i])
            continue;
        const SpaceTreeItem* item = m_tree.Find(want[i]);
        if (!item)
            continue;
        const int row = static_cast<int>(i);
        beginInsertRows(parentIndex, row, row);
        Node node;
        node.i64Parent = parentId;
        node.strName = item->entry.strName;
        node.bExpandable = Expandable(*item);
        node.bLoaded = item->bLoaded;
        m_nodes[want[i]] = std::move(node);
        Kids(parentId).insert(Kids(parentId).begin() + row, want[i]);
        endInsertRows();
    }
    const std::vector<int64_t> kids = Kids(parentId);
    for (size_t row = 0; row < kids.size(); ++row) {
        const SpaceTreeItem* item = m_tree.Find(kids[row]);
        Node& node = m_nodes.at(kids[row]);
        if (!item)
            continue;
        const bool expandable = Expandable(*item);
        if (node.strName != item->entry.strName || node.bExpandable != expandable ||
            node.bLoaded != item->bLoaded) {
            *shapeChanged = *shapeChanged || node.bExpandable != expandable;
            node.strName = item->entry.strName;
            node.bExpandable = expandable;
            node.bLoaded = item->bLoaded;
            const QModelIndex at = createIndex(static_cast<int>(row), 0, static_cast<quintptr>(kids[row]));
            emit dataChanged(at, at);
        }
        AddNew(kids[row], shapeChanged);
    }
}

QModelIndex CSpaceTreeModel::IndexOf(int64_t folderId) const
{
    auto it = m_nodes.find(folderId);
    if (it == m_nodes.end())
        return QModelIndex();
    const std::vector<int64_t>& siblings = Kids(it->second.i64Parent);
    auto at = std::find(siblings.begin(), siblings.end(), folderId);
    if (at == siblings.end())
        return QModelIndex();
    return createIndex(static_cast<int>(at - siblings.begin()), 0, static_cast<quintptr>(folderId));
}

QModelIndex CSpaceTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return QModelIndex();
    const std::vector<int64_t>& children = Kids(IdOf(parent));
    if (static_cast<size_t>(row) >= children.size())
        return QModelIndex();
    return createIndex(row, 0, static_cast<quintptr>(children[row]));
}

QModelIndex CSpaceTreeModel::parent(const QModelIndex& child) const
{
    auto it = m_nodes.find(IdOf(child));
    if (it == m_nodes.end() || it->second.i64Parent == 0)
        return QModelIndex();
    return IndexOf(it->second.i64Parent);
}

int CSpaceTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return static_cast<int>(Kids(IdOf(parent)).size());
}

int CSpaceTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool CSpaceTreeModel::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return !m_roots.empty();
    auto it = m_nodes.find(IdOf(parent));
    return it != m_nodes.end() && (it->second.bExpandable || !it->second.children.empty());
}

QVariant CSpaceTreeModel::data(const QModelIndex& index, int role) const
{
    auto it = m_nodes.find(IdOf(index));
    if (it == m_nodes.end())
        return QVariant();
    const Node& node = it->second;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return QString::fromStdString(node.strName);
    case Qt::ToolTipRole:
    case PathRole:
        return QString::fromStdString(m_tree.TreePath(IdOf(index)));
    case Qt::DecorationRole: {
        static const QIcon folder(QStringLiteral(":/icons/type_folder.svg"));
        return folder;
    }
    case IdRole:
        return QVariant::fromValue<qlonglong>(IdOf(index));
    case LoadedRole:
        return node.bLoaded;
    default:
        return QVariant();
    }
}

} // namespace vx
