#include "ui/VXComboEx.h"

#include "ui/SkinAttr.h"

#include <QMouseEvent>
#include <QPainter>

namespace vx {

CVXComboEx::CVXComboEx(QWidget* parent) : QComboBox(parent)
{
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
}

void* CVXComboEx::GetInterface(const QString& name)
{
    return name == QLatin1String("VXComboEx") ? this : nullptr;
}

void CVXComboEx::SetAttribute(const QString& rawName, const QString& value)
{
    const QString n = rawName.toLower();
    if (n == QLatin1String("hotbordercr"))
        ParseSkinColor(value, &m_dwHotBorderColor);
    else if (n == QLatin1String("bordercolor"))
        ParseSkinColor(value, &m_dwBorderColor);
    else if (n == QLatin1String("focusbordercolor"))
        ParseSkinColor(value, &m_dwFocusBorderColor);
    else if (n == QLatin1String("textcolor"))
        ParseSkinColor(value, &m_dwTextColor);
    else if (n == QLatin1String("bordersize"))
        m_nBorderSize = value.toInt();
    update();
}

bool CVXComboEx::event(QEvent* e)
{
    if (ForwardDynamicProperty(this, e, [this](const QString& n, const QString& v) { SetAttribute(n, v); }))
        return true;
    return QComboBox::event(e);
}

void CVXComboEx::UpdateHot(bool inside)
{
    if (inside != m_bHot) {
        m_bHot = inside;
        update();
    }
}

void CVXComboEx::mouseMoveEvent(QMouseEvent* e)
{
    UpdateHot(rect().contains(e->position().toPoint()));
    QComboBox::mouseMoveEvent(e);
}

void CVXComboEx::enterEvent(QEnterEvent* e)
{
    UpdateHot(true);
    QComboBox::enterEvent(e);
}

void CVXComboEx::leaveEvent(QEvent* e)
{
    UpdateHot(rect().contains(mapFromGlobal(QCursor::pos())));
    QComboBox::leaveEvent(e);
}

void CVXComboEx::focusOutEvent(QFocusEvent* e)
{
    UpdateHot(underMouse());
    QComboBox::focusOutEvent(e);
}

void CVXComboEx::showPopup()
{
    m_bOpen = true;
    QComboBox::showPopup();
    update();
}

void CVXComboEx::hidePopup()
{
    m_bOpen = false;
    QComboBox::hidePopup();
    update();
}

uint32_t CVXComboEx::CurrentBorderColor() const
{
    if (m_bHot && m_dwHotBorderColor)
        return m_dwHotBorderColor;
    if (hasFocus() && m_dwFocusBorderColor)
        return m_dwFocusBorderColor;
    return m_dwBorderColor;
}

uint32_t CVXComboEx::ArrowColor() const
{
    return (m_bHot || hasFocus() || m_bOpen) ? 0xFFAAAAAAu : 0xFFCCCCCCu;
}

void CVXComboEx::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, isEnabled() ? QColor(Qt::white) : palette().color(QPalette::Disabled, QPalette::Base));
    const int h = r.height();
    const uint32_t border = CurrentBorderColor();
    if (m_nBorderSize > 0 && border) {
        QPen pen(QColor::fromRgba(border), m_nBorderSize);
        p.setPen(pen);
        p.drawLine(r.right() - h, r.top(), r.right() - h, r.bottom()); // the arrow's separator
        const qreal half = m_nBorderSize / 2.0;
        p.drawRect(QRectF(r).adjusted(half, half, -half, -half));
    }
    // The arrow: five lines, each one pixel shorter on both ends.
    p.setPen(QPen(QColor::fromRgba(ArrowColor()), 1));
    const int right = r.right() + 1;
    for (int i = 0; i < 5; ++i) {
        const int y = r.top() + (h - 5) / 2 + i;
        p.drawLine(right - 19 + i, y, right - 10 - i, y);
    }
    p.setPen(m_dwTextColor ? QColor::fromRgba(m_dwTextColor) : palette().color(QPalette::Text));
    const QRect textRect(r.left() + 6, r.top(), r.width() - h - 10, h);
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               fontMetrics().elidedText(currentText(), Qt::ElideRight, textRect.width()));
}

} // namespace vx
