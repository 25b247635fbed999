#pragma once
// The folder tree of the space page as a Qt model: one row per folder the controller's tree
// holds, the folder id as each index's internal id. It only reads the controller's tree; Reset
// after the tree changed.

#include "space/SpaceTree.h"

#include <QAbstractItemModel>
#include <cstdint>

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

    void Reset();
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
    const CSpaceTree& m_tree;
};

} // namespace vx
