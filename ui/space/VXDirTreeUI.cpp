#include "ui/space/VXDirTreeUI.h"

#include "space/SpaceTree.h"
#include "ui/space/SpaceTreeModel.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>

namespace vx {

CVXDirTreeUI::CVXDirTreeUI(QWidget* parent) : QTreeView(parent)
{
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    setIconSize(QSize(18, 18));
    setMouseTracking(true);
    // Deep trees scroll sideways rather than cut names short.
    setTextElideMode(Qt::ElideNone);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setAccessibleName(QStringLiteral("文件夹"));
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& i) { OnExpanded(i, true); });
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& i) { OnExpanded(i, false); });
}

void CVXDirTreeUI::SetSpaceModel(CSpaceTreeModel* model)
{
    m_pModel = model;
    setModel(model);
}

void CVXDirTreeUI::SyncFrom(const CSpaceTree& tree)
{
    if (!m_pModel)
        return;
    m_bSyncing = true;
    m_pModel->Sync();
    // Expansions as the tree has them; rows that did not change keep theirs untouched.
    for (int64_t id : tree.DisplayOrder()) {
        const SpaceTreeItem* item = tree.Find(id);
        const QModelIndex at = m_pModel->IndexOf(id);
        if (item && at.isValid() && isExpanded(at) != item->bExpanded)
            setExpanded(at, item->bExpanded);
    }
    // The selection moves only when the tree's did: otherwise the view stays where the user
    // scrolled it.
    const QModelIndex sel = m_pModel->IndexOf(tree.Selected());
    if (!sel.isValid()) {
        clearSelection();
    } else if (SelectedId() != tree.Selected() || currentIndex() != sel) {
        setCurrentIndex(sel);
        scrollTo(sel);
    }
    m_bSyncing = false;
}

int64_t CVXDirTreeUI::IdAt(const QPoint& viewportPos) const
{
    return CSpaceTreeModel::IdOf(indexAt(viewportPos));
}

int64_t CVXDirTreeUI::SelectedId() const
{
    const QModelIndexList sel = selectionModel() ? selectionModel()->selectedIndexes() : QModelIndexList();
    return sel.isEmpty() ? 0 : CSpaceTreeModel::IdOf(sel.first());
}

QRect CVXDirTreeUI::RectOf(int64_t folderId) const
{
    return m_pModel ? visualRect(m_pModel->IndexOf(folderId)) : QRect();
}

void CVXDirTreeUI::mousePressEvent(QMouseEvent* e)
{
    const QModelIndex at = indexAt(e->position().toPoint());
    const bool again =
        e->button() == Qt::LeftButton && at.isValid() && CSpaceTreeModel::IdOf(at) == SelectedId();
    QTreeView::mousePressEvent(e);
    if (again)
        emit ReClicked(CSpaceTreeModel::IdOf(at));
}

void CVXDirTreeUI::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QTreeView::selectionChanged(selected, deselected);
    if (m_bSyncing || selected.indexes().isEmpty())
        return;
    emit ItemSelected(CSpaceTreeModel::IdOf(selected.indexes().first()));
}

void CVXDirTreeUI::keyPressEvent(QKeyEvent* e)
{
    const int64_t current = CSpaceTreeModel::IdOf(currentIndex());
    const bool plain = e->modifiers() == Qt::NoModifier;
    if (current > 0 && plain && e->key() == Qt::Key_F2) {
        emit RenameRequested(current);
        return;
    }
    if (current > 0 && plain && e->key() == Qt::Key_Delete) {
        emit DeleteRequested(current);
        return;
    }
    if (e->key() == Qt::Key_F10 && e->modifiers() == Qt::ShiftModifier) {
        if (current > 0)
            emit MenuRequested(current);
        return;
    }
    QTreeView::keyPressEvent(e);
}

void CVXDirTreeUI::contextMenuEvent(QContextMenuEvent* e)
{
    // By keyboard the menu is for the current folder, by mouse for the one under the pointer.
    const int64_t id = e->reason() == QContextMenuEvent::Keyboard ? CSpaceTreeModel::IdOf(currentIndex())
                                                                  : IdAt(viewport()->mapFrom(this, e->pos()));
    if (id > 0)
        emit MenuRequested(id);
}

void CVXDirTreeUI::resizeEvent(QResizeEvent* e)
{
    QTreeView::resizeEvent(e);
    // The one column is as wide as its longest name, and never narrower than the view, so a
    // selected row is marked across the whole width.
    header()->setMinimumSectionSize(viewport()->width());
}

void CVXDirTreeUI::OnExpanded(const QModelIndex& index, bool expanded)
{
    if (m_bSyncing)
        return;
    const int64_t id = CSpaceTreeModel::IdOf(index);
    if (expanded && !index.data(CSpaceTreeModel::LoadedRole).toBool())
        emit LoadRequested(id);
    else
        emit ItemExpanded(id, expanded);
}

} // namespace vx
