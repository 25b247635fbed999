#include "ui/space/VXDirListUI.h"

#include "space/SpaceList.h"
#include "ui/space/SpaceListDelegate.h"
#include "ui/space/SpaceListModel.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

namespace vx {

CVXDirListUI::CVXDirListUI(QWidget* parent) : QListView(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setMouseTracking(true);
    // Pressing a row of a larger selection keeps the selection until release, so it can be
    // dragged as a whole; the page does the dragging itself.
    setDragEnabled(true);
    setItemDelegate(new CSpaceListDelegate(this));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAccessibleName(QStringLiteral("文件夹内容"));
}

void CVXDirListUI::SetMultiSelect(bool on)
{
    setSelectionMode(on ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

void CVXDirListUI::SetSpaceModel(CSpaceListModel* model)
{
    m_pModel = model;
    setModel(model);
}

void CVXDirListUI::SyncFrom(const CSpaceList& list)
{
    if (!m_pModel)
        return;
    if (m_pModel->Sync())
        scrollToTop(); // another folder, or search results
    SyncSelection(list);
}

void CVXDirListUI::SyncSelection(const CSpaceList& list)
{
    if (!m_pModel)
        return;
    m_bSyncing = true;
    QItemSelection sel;
    const auto& rows = list.Rows();
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].bSelected) {
            const QModelIndex idx = m_pModel->index(static_cast<int>(i));
            sel.select(idx, idx);
        }
    selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
    m_bSyncing = false;
}

std::vector<int> CVXDirListUI::SelectedRows() const
{
    std::vector<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& i : selectionModel()->selectedIndexes())
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int CVXDirListUI::RowAt(const QPoint& viewportPos) const
{
    const QModelIndex i = indexAt(viewportPos);
    return i.isValid() ? i.row() : -1;
}

QRect CVXDirListUI::NameRectOf(int row) const
{
    if (!m_pModel)
        return QRect();
    return CSpaceListDelegate::NameRect(visualRect(m_pModel->index(row)));
}

void CVXDirListUI::keyPressEvent(QKeyEvent* e)
{
    const bool plain = e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier;
    if (plain && e->key() == Qt::Key_Delete) {
        if (!SelectedRows().empty())
            emit DeletePressed();
        return;
    }
    if (plain && e->key() == Qt::Key_F2) {
        emit RenamePressed();
        return;
    }
    if (plain && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
        if (currentIndex().isValid())
            emit ItemOpened(currentIndex().row());
        return;
    }
    if (e->key() == Qt::Key_F10 && e->modifiers() == Qt::ShiftModifier) {
        emit MenuRequested(KeyboardMenuRow());
        return;
    }
    QListView::keyPressEvent(e);
}

int CVXDirListUI::KeyboardMenuRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() && selectionModel()->isSelected(current) ? current.row() : -1;
}

void CVXDirListUI::mouseDoubleClickEvent(QMouseEvent* e)
{
    const int row = RowAt(e->position().toPoint());
    if (e->button() == Qt::LeftButton && row >= 0) {
        emit ItemOpened(row);
        return;
    }
    QListView::mouseDoubleClickEvent(e);
}

void CVXDirListUI::contextMenuEvent(QContextMenuEvent* e)
{
    // By keyboard the menu is for the current row when it is selected, by mouse for the row
    // under the pointer.
    emit MenuRequested(e->reason() == QContextMenuEvent::Keyboard
                           ? KeyboardMenuRow()
                           : RowAt(viewport()->mapFrom(this, e->pos())));
}

void CVXDirListUI::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QListView::selectionChanged(selected, deselected);
    if (!m_bSyncing)
        emit SelectionEdited();
}

} // namespace vx
