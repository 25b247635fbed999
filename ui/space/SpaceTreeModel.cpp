#include "ui/space/SpaceTreeModel.h"

#include <QIcon>
#include <algorithm>

namespace vx {

CSpaceTreeModel::CSpaceTreeModel(const CSpaceTree& tree, QObject* parent)
    : QAbstractItemModel(parent), m_tree(tree)
{
}

void CSpaceTreeModel::Reset()
{
    beginResetModel();
    endResetModel();
}

QModelIndex CSpaceTreeModel::IndexOf(int64_t folderId) const
{
    const SpaceTreeItem* item = m_tree.Find(folderId);
    if (!item)
        return QModelIndex();
    const std::vector<int64_t>& siblings = m_tree.ChildrenOf(item->i64ParentItem);
    auto it = std::find(siblings.begin(), siblings.end(), folderId);
    if (it == siblings.end())
        return QModelIndex();
    return createIndex(static_cast<int>(it - siblings.begin()), 0, static_cast<quintptr>(folderId));
}

QModelIndex CSpaceTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return QModelIndex();
    const std::vector<int64_t>& children = m_tree.ChildrenOf(IdOf(parent));
    if (static_cast<size_t>(row) >= children.size())
        return QModelIndex();
    return createIndex(row, 0, static_cast<quintptr>(children[row]));
}

QModelIndex CSpaceTreeModel::parent(const QModelIndex& child) const
{
    const SpaceTreeItem* item = m_tree.Find(IdOf(child));
    if (!item || item->i64ParentItem == 0)
        return QModelIndex();
    return IndexOf(item->i64ParentItem);
}

int CSpaceTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return static_cast<int>(m_tree.ChildrenOf(IdOf(parent)).size());
}

int CSpaceTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool CSpaceTreeModel::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return !m_tree.Roots().empty();
    const SpaceTreeItem* item = m_tree.Find(IdOf(parent));
    if (!item)
        return false;
    // Until its children were read, the server's flag decides whether the item can expand.
    return item->bLoaded ? !item->children.empty() : (item->entry.bHasChildren || !item->children.empty());
}

QVariant CSpaceTreeModel::data(const QModelIndex& index, int role) const
{
    const SpaceTreeItem* item = m_tree.Find(IdOf(index));
    if (!item)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return QString::fromStdString(item->entry.strName);
    case Qt::ToolTipRole:
    case PathRole:
        return QString::fromStdString(m_tree.TreePath(item->entry.i64Id));
    case Qt::DecorationRole:
        return QIcon(QStringLiteral(":/icons/type_folder.png"));
    case IdRole:
        return QVariant::fromValue<qlonglong>(item->entry.i64Id);
    case LoadedRole:
        return item->bLoaded;
    default:
        return QVariant();
    }
}

} // namespace vx
