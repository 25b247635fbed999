#pragma once
// The folder tree of the space page as a Qt model, the folder id as each index's internal id.
// It keeps its own copy of the tree's shape and names, brought up to date by Sync with row
// insertions, removals and data changes, never a reset: the view keeps its expanded folders,
// selection and scroll position while a folder is renamed, made, moved or deleted.

#include "space/SpaceTree.h"

#include <QAbstractItemModel>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace vx {

class CSpaceTreeModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Role
    {
        IdRole = Qt::UserRole + 1,
        LoadedRole,
        PathRole
    };

    explicit CSpaceTreeModel(const CSpaceTree& tree, QObject* parent = nullptr);

    // Brings the model to the tree's state with the fewest row changes.
    void Sync();
    QModelIndex IndexOf(int64_t folderId) const;
    static int64_t IdOf(const QModelIndex& index)
    {
        return index.isValid() ? static_cast<int64_t>(index.internalId()) : 0;
    }

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    struct Node
    {
        int64_t i64Parent = 0;
        std::vector<int64_t> children;
        std::string strName;
        bool bExpandable = false;
        bool bLoaded = false;
    };

    std::vector<int64_t>& Kids(int64_t parentId);
    const std::vector<int64_t>& Kids(int64_t parentId) const;
    void RemoveGone(int64_t parentId);
    void AddNew(int64_t parentId, bool* shapeChanged);
    void EraseSubtree(int64_t id);
    bool Expandable(const SpaceTreeItem& item) const;

    const CSpaceTree& m_tree;
    std::unordered_map<int64_t, Node> m_nodes;
    std::vector<int64_t> m_roots;
};

} // namespace vx
