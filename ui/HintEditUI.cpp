#include "ui/HintEditUI.h"

#include "ui/ExpandControl.h"
#include "ui/SkinAttr.h"

#include <QMouseEvent>
#include <QPainter>

namespace vx {

CHintEditUI::CHintEditUI(QWidget* parent) : QLineEdit(parent)
{
    setAttribute(Qt::WA_Hover);
    setFrame(false);
    setTextMargins(6, 0, 6, 0);
}

void* CHintEditUI::GetInterface(const QString& name)
{
    return name == QLatin1String("HintEdit") ? this : nullptr;
}

void CHintEditUI::SetAttribute(const QString& rawName, const QString& value)
{
    const QString n = rawName.toLower();
    if (n == QLatin1String("hinttext"))
        SetHintText(value);
    else if (n == QLatin1String("hinttextcolor"))
        ParseSkinColor(value, &m_dwHintColor);
    else if (n == QLatin1String("hotbordercr"))
        ParseSkinColor(value, &m_dwHotBorderColor);
    else if (n == QLatin1String("bordercolor"))
        ParseSkinColor(value, &m_dwBorderColor);
    else if (n == QLatin1String("bordersize"))
        m_nBorderSize = value.toInt();
    else if (n == QLatin1String("text"))
        setText(value);
    update();
}

void CHintEditUI::SetHintText(const QString& text)
{
    if (text != m_strHint) {
        m_strHint = text;
        update();
    }
}

bool CHintEditUI::ShowsHint() const
{
    return !hasFocus() && text().isEmpty() && !m_strHint.isEmpty();
}

void CHintEditUI::SetHot(bool hot)
{
    if (m_pPartner)
        m_pPartner->SetExpand(hot);
    if (m_bHot != hot) {
        m_bHot = hot;
        update();
    }
}

uint32_t CHintEditUI::CurrentBorderColor() const
{
    if (m_bHot && m_dwHotBorderColor && isEnabled() && !isReadOnly())
        return m_dwHotBorderColor;
    return m_dwBorderColor;
}

bool CHintEditUI::event(QEvent* e)
{
    if (ForwardDynamicProperty(this, e, [this](const QString& n, const QString& v) { SetAttribute(n, v); }))
        return true;
    return QLineEdit::event(e);
}

void CHintEditUI::enterEvent(QEnterEvent* e)
{
    if (isEnabled())
        SetHot(true);
    QLineEdit::enterEvent(e);
}

void CHintEditUI::mouseMoveEvent(QMouseEvent* e)
{
    SetHot(true);
    QLineEdit::mouseMoveEvent(e);
}

void CHintEditUI::leaveEvent(QEvent* e)
{
    if (!hasFocus())
        SetHot(false);
    QLineEdit::leaveEvent(e);
}

void CHintEditUI::focusInEvent(QFocusEvent* e)
{
    SetHot(true);
    QLineEdit::focusInEvent(e);
}

void CHintEditUI::focusOutEvent(QFocusEvent* e)
{
    SetHot(false);
    QLineEdit::focusOutEvent(e);
}

void CHintEditUI::paintEvent(QPaintEvent* e)
{
    QLineEdit::paintEvent(e);
    QPainter p(this);
    if (ShowsHint()) {
        p.setPen(m_dwHintColor ? QColor::fromRgba(m_dwHintColor)
                               : palette().color(QPalette::Disabled, QPalette::Text));
        const QMargins m = textMargins();
        p.drawText(rect().marginsRemoved(m), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   m_strHint);
    }
    const uint32_t border = CurrentBorderColor();
    if (border && m_nBorderSize > 0) {
        p.setPen(QPen(QColor::fromRgba(border), m_nBorderSize));
        const qreal h = m_nBorderSize / 2.0;
        p.drawRect(QRectF(rect()).adjusted(h, h, -h, -h));
    }
}

} // namespace vx
