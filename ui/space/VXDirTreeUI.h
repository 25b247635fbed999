#pragma once
// The folder tree of the space page (class name "VXDirTreeUI"). Its signals: ItemSelected when
// the user selects a folder (by mouse or arrow keys), ReClicked when the selected folder is
// clicked again, LoadRequested when a folder whose children were never read is expanded,
// ItemExpanded for other expansions, MenuRequested on a right click, the context-menu key or
// Shift+F10 (the folder under the pointer, or the current one by keyboard), RenameRequested on
// F2 and DeleteRequested on Delete (the current folder). Selections and expansions the page
// makes itself (SyncFrom) raise nothing.

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

signals:
    void ItemSelected(qint64 folderId);
    void ReClicked(qint64 folderId);
    void LoadRequested(qint64 folderId);
    void ItemExpanded(qint64 folderId, bool expanded);
    void MenuRequested(qint64 folderId);
    void RenameRequested(qint64 folderId);
    void DeleteRequested(qint64 folderId);

protected:
    void keyPressEvent(QKeyEvent* e) override;
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
