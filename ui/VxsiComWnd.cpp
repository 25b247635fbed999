#include "ui/VxsiComWnd.h"

#include "ui/VXsiComboUI.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace vx {

CVxsiComWnd::CVxsiComWnd(CVXsiComboUI* owner)
    : QWidget(owner, Qt::Popup | Qt::FramelessWindowHint), m_pOwner(owner), m_iOldSel(owner->GetCurSel())
{
    setObjectName(QStringLiteral("VXsiComWnd"));
    setAttribute(Qt::WA_DeleteOnClose);
    setStyleSheet(QStringLiteral("QWidget#VXsiComWnd { background: #FFFFFF; border: 1px solid #C6C7D2; }"));
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(1, 1, 1, 1);
    m_pScroll = new QScrollArea(this);
    m_pScroll->setFrameShape(QFrame::NoFrame);
    m_pScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pScroll->setWidgetResizable(true);
    m_pList = new QWidget(m_pScroll);
    m_pList->setObjectName(QStringLiteral("VXsiComList"));
    m_pList->setStyleSheet(QStringLiteral("QWidget#VXsiComList { background: #FFFFFF; }"));
    m_pLayout = new QVBoxLayout(m_pList);
    m_pLayout->setContentsMargins(0, 0, 0, 0);
    m_pLayout->setSpacing(0);
    m_pScroll->setWidget(m_pList);
    root->addWidget(m_pScroll);
    m_pScroll->installEventFilter(this);
    m_pScroll->viewport()->installEventFilter(this);
    m_pList->installEventFilter(this);
    setFocusPolicy(Qt::StrongFocus);
    if (!owner->DropBoxAttributes().isEmpty())
        setStyleSheet(styleSheet() + QLatin1Char('\n') + owner->DropBoxAttributes());
}

CVxsiComWnd::~CVxsiComWnd()
{
    GiveItemsBack();
    if (m_pOwner)
        m_pOwner->OnDropDownClosed(this);
}

void CVxsiComWnd::Open()
{
    CVXsiComboUI* combo = m_pOwner;
    int contentHeight = 0;
    for (int i = 0; i < combo->GetCount(); ++i) {
        QWidget* item = combo->GetItemAt(i);
        m_pLayout->addWidget(item);
        item->show();
        contentHeight += item->sizeHint().height() > 0
                             ? std::max(item->minimumHeight(), item->sizeHint().height())
                             : item->height();
    }
    m_pLayout->addStretch(1);
    const QSize box = combo->DropBoxSize();
    int h = contentHeight + 4;
    if (box.height() > 0)
        h = std::min(h, box.height());
    const int w = box.width() > 0 ? box.width() : combo->width();

    QPoint topLeft = combo->mapToGlobal(QPoint(0, combo->height()));
    if (box.width() > 0)
        topLeft.rx() = combo->mapToGlobal(QPoint(0, 0)).x() + (combo->width() - w) / 2;
    if (QScreen* s = combo->screen()) {
        const QRect area = s->availableGeometry();
        if (topLeft.y() + h > area.bottom()) {
            // No room below: above the combo, aligned with its left edge.
            topLeft = combo->mapToGlobal(QPoint(0, -h));
        }
    }
    setGeometry(QRect(topLeft, QSize(w, h)));
    show();
    setFocus(Qt::PopupFocusReason);
    EnsureCurrentVisible();
}

void CVxsiComWnd::GiveItemsBack()
{
    if (m_bItemsGiven || !m_pOwner)
        return;
    m_bItemsGiven = true;
    for (int i = 0; i < m_pOwner->GetCount(); ++i) {
        QWidget* item = m_pOwner->GetItemAt(i);
        item->hide();
        item->setParent(m_pOwner);
    }
}

void CVxsiComWnd::closeEvent(QCloseEvent* e)
{
    GiveItemsBack();
    if (m_pOwner) {
        m_pOwner->OnDropDownClosed(this);
        m_pOwner->setFocus();
    }
    QWidget::closeEvent(e);
}

void CVxsiComWnd::EnsureCurrentVisible()
{
    if (!m_pOwner)
        return;
    if (QWidget* item = m_pOwner->GetItemAt(m_pOwner->GetCurSel()); item && item->parentWidget() == m_pList)
        m_pScroll->ensureWidgetVisible(item, 0, 0);
}

bool CVxsiComWnd::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent*>(e));
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

void CVxsiComWnd::MoveSelection(int delta)
{
    if (!m_pOwner || m_pOwner->GetCount() == 0)
        return;
    // Selecting closes a combo's list; the list stays open while the user steps through it, so
    // the selection moves here and the combo reports it as usual.
    const int next = std::clamp(m_pOwner->GetCurSel() + delta, 0, m_pOwner->GetCount() - 1);
    QPointer<CVxsiComWnd> self(this);
    m_pOwner->m_pWindow = nullptr; // keep this list open through SelectItem
    m_pOwner->SelectItem(next, false);
    if (self && m_pOwner)
        m_pOwner->m_pWindow = this;
    if (self)
        EnsureCurrentVisible();
}

void CVxsiComWnd::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        close();
        return;
    case Qt::Key_Escape:
        if (m_pOwner) {
            const int old = m_iOldSel;
            QPointer<CVXsiComboUI> owner = m_pOwner;
            close();
            if (owner)
                owner->SelectItem(old, true);
        }
        return;
    case Qt::Key_Up:
        MoveSelection(-1);
        return;
    case Qt::Key_Down:
        MoveSelection(1);
        return;
    default:
        QWidget::keyPressEvent(e);
    }
}

void CVxsiComWnd::wheelEvent(QWheelEvent* e)
{
    // The wheel scrolls the list when it is longer than the box; otherwise it steps the selection.
    if (m_pScroll->verticalScrollBar()->maximum() > 0) {
        QWidget::wheelEvent(e);
        return;
    }
    MoveSelection(e->angleDelta().y() > 0 ? -1 : 1);
    e->accept();
}

} // namespace vx
