#pragma once
// The folder tree of the space page (class name "VXDirTreeUI"). Notifications to the page:
// "itemselect" (wParam folder id) when the user selects a folder, "reClick" when the selected
// folder is clicked again, "refresh" (wParam id, lParam 1) when a folder whose children were
// never read is expanded, "itemexpand" (wParam id, lParam 1/0) for other expansions, and
// "menu" (wParam id) on a right click. Selections and expansions the page makes itself
// (SyncFrom) raise nothing.

#include <QTreeView>
#include <cstdint>

namespace vx {

class CSpaceTree;
class CSpaceTreeModel;

class CVXDirTreeUI : public QTreeView
{
    Q_OBJECT

public:
    static constexpr const char* kClassName = "VXDirTreeUI";

    explicit CVXDirTreeUI(QWidget* parent = nullptr);

    void SetSpaceModel(CSpaceTreeModel* model);
    CSpaceTreeModel* SpaceModel() const { return m_pModel; }
    // Brings the model up to date (row by row) and the expansions and the selection to the
    // tree's; the scroll position moves only to show a newly selected folder.
    void SyncFrom(const CSpaceTree& tree);
    // The folder under a point of the viewport (0: none).
    int64_t IdAt(const QPoint& viewportPos) const;
    int64_t SelectedId() const;
    // Where a folder's row is, in viewport coordinates (empty when it is not visible).
    QRect RectOf(int64_t folderId) const;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void startDrag(Qt::DropActions) override {} // the page drags by itself

private:
    void OnExpanded(const QModelIndex& index, bool expanded);

    CSpaceTreeModel* m_pModel = nullptr;
    bool m_bSyncing = false;
};

} // namespace vx
