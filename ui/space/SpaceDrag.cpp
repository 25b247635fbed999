#include "ui/space/SpaceDrag.h"

#include "app/LanguageTable.h"
#include "space/SpaceController.h"
#include "ui/space/SpaceListModel.h"
#include "ui/space/SpaceTreeModel.h"
#include "ui/space/VXDirListUI.h"
#include "ui/space/VXDirTreeUI.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>

namespace vx {

CSpaceDrag::CSpaceDrag(QWidget* page, CVXDirTreeUI* tree, CVXDirListUI* list, CSpaceController& controller,
                       const CLanguageTable* texts)
    : QObject(page), m_pPage(page), m_pTree(tree), m_pList(list), m_controller(controller), m_pTexts(texts)
{
    m_pGhost = new QLabel(page);
    m_pGhost->setObjectName(QStringLiteral("SpaceDragGhost"));
    m_pGhost->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_pGhost->hide();
    m_pTreeViewport = tree->viewport();
    m_pTreeViewport->installEventFilter(this);
    list->viewport()->installEventFilter(this);
}

QString CSpaceDrag::MoveText(const QString& targetName) const
{
    QString prefix = m_pTexts ? QString::fromStdString(m_pTexts->GetText(1001)) : QString();
    if (prefix.isEmpty())
        prefix = QStringLiteral("-> Move to ");
    return prefix + targetName;
}

bool CSpaceDrag::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    // Only mouse events touch the views: others also arrive while the page is being torn down.
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return QObject::eventFilter(watched, event);
    const bool fromTree = watched == m_pTreeViewport;
    switch (type) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        m_from = From::None;
        m_bCancelled = false;
        if (e->button() != Qt::LeftButton)
            break;
        const QPoint at = e->position().toPoint();
        if (fromTree ? m_pTree->IdAt(at) > 0 : m_pList->RowAt(at) >= 0) {
            m_from = fromTree ? From::Tree : From::List;
            m_pressPos = e->globalPosition().toPoint();
        }
        break;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (m_from == From::None || !(e->buttons() & Qt::LeftButton))
            break;
        const QPoint global = e->globalPosition().toPoint();
        if (!m_bDragging && !m_bCancelled &&
            (global - m_pressPos).manhattanLength() >= QApplication::startDragDistance())
            Begin();
        if (m_bDragging)
            Track(global);
        // The view neither rubber-bands nor starts its own drag from a pressed item.
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const bool dragged = m_bDragging || m_bCancelled;
        if (m_bDragging)
            Finish(true);
        m_from = From::None;
        m_bCancelled = false;
        // A release that ends a drag is not a click on the row below.
        if (dragged)
            return true;
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void CSpaceDrag::Begin()
{
    const QPoint local =
        (m_from == From::Tree ? m_pTree->viewport() : m_pList->viewport())->mapFromGlobal(m_pressPos);
    if (m_from == From::Tree) {
        const int64_t id = m_pTree->IdAt(local);
        if (id <= 0)
            return;
        m_dragged = {SpaceSource::TreeItem, true, id};
        m_strDraggedName = m_pTree->indexAt(local).data().toString();
    } else {
        const int row = m_pList->RowAt(local);
        const QModelIndex idx = m_pList->model() ? m_pList->model()->index(row, 0) : QModelIndex();
        // Only a selected row drags (and with it the whole selection).
        if (row < 0 || !m_pList->selectionModel()->isSelected(idx))
            return;
        m_dragged = {SpaceSource::ListItem, idx.data(CSpaceListModel::IsFolderRole).toBool(),
                     idx.data(CSpaceListModel::IdRole).toLongLong()};
        const int n = static_cast<int>(m_pList->SelectedRows().size());
        m_strDraggedName =
            n > 1 ? QStringLiteral("%1 …(%2)").arg(idx.data().toString()).arg(n) : idx.data().toString();
    }
    m_bDragging = true;
    m_bTargetValid = false;
    m_pGhost->setText(m_strDraggedName);
    m_pGhost->adjustSize();
    m_pGhost->show();
    m_pGhost->raise();
}

bool CSpaceDrag::TargetAt(const QPoint& global, SpaceDropTarget* target, QString* name) const
{
    const QPoint inTree = m_pTree->viewport()->mapFromGlobal(global);
    if (m_pTree->viewport()->rect().contains(inTree)) {
        const QModelIndex idx = m_pTree->indexAt(inTree);
        if (!idx.isValid())
            return false;
        *target = {SpaceSource::TreeItem, CSpaceTreeModel::IdOf(idx), true};
        *name = idx.data().toString();
        return true;
    }
    const QPoint inList = m_pList->viewport()->mapFromGlobal(global);
    if (m_pList->viewport()->rect().contains(inList)) {
        const QModelIndex idx = m_pList->indexAt(inList);
        if (!idx.isValid())
            return false;
        *target = {SpaceSource::ListItem, idx.data(CSpaceListModel::IdRole).toLongLong(),
                   idx.data(CSpaceListModel::IsFolderRole).toBool()};
        *name = idx.data().toString();
        return true;
    }
    return false;
}

void CSpaceDrag::Track(const QPoint& global)
{
    const QPoint inPage = m_pPage->mapFromGlobal(global);
    if (!m_pPage->rect().contains(inPage)) {
        // Leaving the page cancels; the rest of this press does nothing.
        Finish(false);
        m_bCancelled = true;
        return;
    }
    QString name;
    SpaceDropTarget target;
    m_bTargetValid = TargetAt(global, &target, &name) && m_controller.CanDrop(m_dragged, target);
    m_target = target;
    m_pGhost->setText(m_bTargetValid ? MoveText(name) : m_strDraggedName);
    m_pGhost->setProperty("validTarget", m_bTargetValid);
    m_pGhost->adjustSize();
    m_pGhost->move(inPage + QPoint(14, 16));
}

void CSpaceDrag::Finish(bool drop)
{
    const bool valid = drop && m_bDragging && m_bTargetValid;
    m_bDragging = false;
    m_pGhost->hide();
    if (!valid)
        return;
    emit MoveRequested({m_dragged.source, true, m_dragged.i64Id},
                       {m_target.kind, m_target.i64FolderId, true});
}

} // namespace vx
