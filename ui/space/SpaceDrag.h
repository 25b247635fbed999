#pragma once
// Dragging on the space page: a press on a tree item, or on a selected list row, followed by a
// move starts a drag; a ghost label follows the pointer and, over a folder the controller
// accepts as a target, names it (text 1001, "-> Move to " without a language table). Leaving
// the page cancels the drag; releasing over a valid target emits MoveRequested.
// Implemented with the views' own mouse events, so it works the same under any platform
// plugin and with synthesised events.

#include "space/SpaceMessages.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

class QLabel;
class QWidget;

namespace vx {

class CLanguageTable;
class CSpaceController;
class CVXDirListUI;
class CVXDirTreeUI;

class CSpaceDrag : public QObject
{
    Q_OBJECT

public:
    CSpaceDrag(QWidget* page, CVXDirTreeUI* tree, CVXDirListUI* list, CSpaceController& controller,
               const CLanguageTable* texts);

    bool IsDragging() const { return m_bDragging; }
    QLabel* Ghost() const { return m_pGhost; }
    // The ghost's text for a valid target.
    QString MoveText(const QString& targetName) const;

signals:
    // dragged: the tree item, or the list item pressed (standing for the list's selection).
    void MoveRequested(const vx::SpaceItemRef& dragged, const vx::SpaceDropTarget& target);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class From
    {
        None,
        Tree,
        List
    };
    void Begin();
    void Track(const QPoint& global);
    void Finish(bool drop);
    // The folder under the pointer, if any: kind, id, whether it is a folder, its name.
    bool TargetAt(const QPoint& global, SpaceDropTarget* target, QString* name) const;

    QWidget* m_pPage;
    CVXDirTreeUI* m_pTree;
    QWidget* m_pTreeViewport = nullptr; // compared only, never called through
    CVXDirListUI* m_pList;
    CSpaceController& m_controller;
    const CLanguageTable* m_pTexts;
    QLabel* m_pGhost;

    From m_from = From::None;
    QPoint m_pressPos;
    SpaceItemRef m_dragged;
    QString m_strDraggedName;
    bool m_bDragging = false;
    bool m_bCancelled = false;
    bool m_bTargetValid = false;
    SpaceDropTarget m_target;
};

} // namespace vx
