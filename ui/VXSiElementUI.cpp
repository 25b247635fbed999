#include "ui/VXSiElementUI.h"

#include "ui/Notify.h"
#include "ui/SkinAttr.h"
#include "ui/VXsiComboUI.h"
#include "ui/VxsiComWnd.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace vx {

CVXSiElementUI::CVXSiElementUI(const QString& text, QWidget* parent) : QWidget(parent), m_strText(text)
{
    setFixedHeight(kHeight);
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
}

void* CVXSiElementUI::GetInterface(const QString& name)
{
    return name == QLatin1String("VXSIElementUI") ? this : nullptr;
}

void CVXSiElementUI::SetText(const QString& text)
{
    m_strText = text;
    update();
}

bool CVXSiElementUI::Select(bool value)
{
    if (!isEnabled())
        return false;
    if (value == m_bSelected)
        return true;
    m_bSelected = value;
    if (value && m_pOwner)
        m_pOwner->SelectItem(m_iIndex, false);
    update();
    return true;
}

void CVXSiElementUI::SetSelectedSilently(bool value)
{
    m_bSelected = value;
    update();
}

QRect CVXSiElementUI::DeleteIconRect() const
{
    const int right = width();
    return QRect(QPoint(right - 21, 10), QPoint(right - 12 - 1, 19 - 1));
}

void CVXSiElementUI::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const CVXsiComboUI* o = m_pOwner;
    uint32_t bk = 0;
    if (o)
        bk = IsHot() ? o->HotItemBkColor() : m_bSelected ? o->SelectedItemBkColor() : o->ItemBkColor();
    if (bk)
        p.fillRect(rect(), QColor::fromRgba(bk));
    uint32_t tc = o ? o->ItemTextColor() : 0;
    if (IsHot() && o && o->ShowsDeleteIcon()) {
        const QPixmap icon(QStringLiteral(":/icons/delete.svg"));
        p.drawPixmap(DeleteIconRect(), icon);
        m_bDelIconShown = true;
        tc = o->HotItemTextColor();
    } else {
        m_bDelIconShown = false;
        if (o && m_bSelected && o->SelectedItemTextColor())
            tc = o->SelectedItemTextColor();
    }
    p.setPen(tc ? QColor::fromRgba(tc) : palette().color(QPalette::WindowText));
    const QRect tr = rect().marginsRemoved(o ? o->ItemTextPadding() : QMargins());
    const uint32_t style = o ? o->ItemTextStyle() : kDtVCenter;
    p.drawText(tr, int(ToQtAlignment(style)) | Qt::TextSingleLine,
               QFontMetrics(font()).elidedText(m_strText, Qt::ElideRight, tr.width()));
}

void CVXSiElementUI::mousePressEvent(QMouseEvent* e)
{
    if (!isEnabled() || (e->button() != Qt::LeftButton && e->button() != Qt::RightButton)) {
        QWidget::mousePressEvent(e);
        return;
    }
    SendNotify(this, QStringLiteral("itemclick"));
    // The hover state decides, as drawn: the icon is there only while the item is hot.
    const bool onIcon = m_pOwner && m_pOwner->ShowsDeleteIcon() && IsHot() &&
                        DeleteIconRect().adjusted(-2, -2, 2, 2).contains(e->position().toPoint());
    if (onIcon) {
        QPointer<CVXsiComboUI> owner = m_pOwner;
        PostNotify(owner, QStringLiteral("deletecomboitem"), m_iIndex, 0);
        QMetaObject::invokeMethod(
            owner, [owner, index = m_iIndex] { emit owner->ItemDeleteRequested(index); },
            Qt::QueuedConnection);
        owner->CloseDropDown();
        return;
    }
    Select(true);
}

void CVXSiElementUI::enterEvent(QEnterEvent* e)
{
    if (isEnabled()) {
        m_uState |= kStateHot;
        update();
    }
    QWidget::enterEvent(e);
}

void CVXSiElementUI::leaveEvent(QEvent* e)
{
    m_uState &= ~kStateHot;
    update();
    QWidget::leaveEvent(e);
}

} // namespace vx
