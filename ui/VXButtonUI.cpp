#include "ui/VXButtonUI.h"

#include "ui/SkinAttr.h"

#include <QPainter>
#include <QRegularExpression>

namespace vx {

CVXButtonUI::CVXButtonUI(QWidget* parent) : QPushButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

void* CVXButtonUI::GetInterface(const QString& name)
{
    return name == QLatin1String("VXButton") ? this : nullptr;
}

void CVXButtonUI::SetAttribute(const QString& rawName, const QString& value)
{
    const QString n = rawName.toLower();
    auto color = [&](uint32_t* field) { ParseSkinColor(value, field); };
    if (n == QLatin1String("disabledbordercolor"))
        color(&m_dwDisabledBorderColor);
    else if (n == QLatin1String("bordercolor"))
        color(&m_dwBorderColor);
    else if (n == QLatin1String("bordersize"))
        m_nBorderSize = value.toInt();
    else if (n == QLatin1String("bottombordersize"))
        m_nBottomBorderSize = value.toInt();
    else if (n == QLatin1String("borderround"))
        m_nRound = value.split(',').value(0).toInt();
    else if (n == QLatin1String("bkcolor"))
        color(&m_dwBkColor);
    else if (n == QLatin1String("hotbkcolor"))
        color(&m_dwHotBkColor);
    else if (n == QLatin1String("pushedbkcolor"))
        color(&m_dwPushedBkColor);
    else if (n == QLatin1String("textcolor"))
        color(&m_dwTextColor);
    else if (n == QLatin1String("hottextcolor"))
        color(&m_dwHotTextColor);
    else if (n == QLatin1String("pushedtextcolor"))
        color(&m_dwPushedTextColor);
    else if (n == QLatin1String("disabledtextcolor"))
        color(&m_dwDisabledTextColor);
    else if (n == QLatin1String("textpadding"))
        m_textPadding = ParseFour(value);
    else if (n == QLatin1String("align"))
        m_uTextStyle = ApplyAlignment(m_uTextStyle, value);
    else if (n == QLatin1String("text"))
        setText(value);
    else if (n == QLatin1String("name"))
        setObjectName(value);
    else if (n == QLatin1String("width"))
        setFixedWidth(value.toInt());
    else if (n == QLatin1String("height"))
        setFixedHeight(value.toInt());
    else if (n == QLatin1String("tooltip"))
        setToolTip(value);
    update();
}

void CVXButtonUI::ApplyAttributeList(const QString& list)
{
    static const QRegularExpression re(QStringLiteral("([A-Za-z_]+)\\s*=\\s*\"([^\"]*)\""));
    for (auto it = re.globalMatch(list); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        SetAttribute(m.captured(1), m.captured(2));
    }
}

bool CVXButtonUI::event(QEvent* e)
{
    if (ForwardDynamicProperty(this, e, [this](const QString& n, const QString& v) { SetAttribute(n, v); }))
        return true;
    return QPushButton::event(e);
}

void CVXButtonUI::enterEvent(QEnterEvent* e)
{
    if (isEnabled())
        m_bHot = true;
    update();
    QPushButton::enterEvent(e);
}

void CVXButtonUI::leaveEvent(QEvent* e)
{
    m_bHot = false;
    update();
    QPushButton::leaveEvent(e);
}

bool CVXButtonUI::DrawsBorder() const
{
    if (!isEnabled())
        return m_dwDisabledBorderColor != 0 && m_nBorderSize > 0;
    return m_nBorderSize > 0 && m_dwBorderColor != 0;
}

void CVXButtonUI::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, m_nRound > 0);
    const bool pushed = isDown() && isEnabled();
    const bool hot = m_bHot && isEnabled();
    uint32_t bk = m_dwBkColor;
    if (pushed && m_dwPushedBkColor)
        bk = m_dwPushedBkColor;
    else if ((hot || pushed) && m_dwHotBkColor)
        bk = m_dwHotBkColor;
    if (bk)
        p.fillRect(rect(), QColor::fromRgba(bk));

    if (DrawsBorder()) {
        const uint32_t c = isEnabled() ? m_dwBorderColor : m_dwDisabledBorderColor;
        QPen pen(QColor::fromRgba(c), m_nBorderSize);
        pen.setJoinStyle(Qt::MiterJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        const qreal h = m_nBorderSize / 2.0;
        const QRectF r = QRectF(rect()).adjusted(h, h, -h, -h);
        if (m_nBottomBorderSize == 0) {
            p.drawLine(r.topLeft(), r.topRight());
            p.drawLine(r.topLeft(), r.bottomLeft());
            p.drawLine(r.topRight(), r.bottomRight());
        } else if (m_nRound > 0) {
            p.drawRoundedRect(r, m_nRound / 2.0, m_nRound / 2.0);
        } else {
            p.drawRect(r);
        }
    }

    uint32_t tc = m_dwTextColor;
    if (!isEnabled())
        tc = m_dwDisabledTextColor ? m_dwDisabledTextColor : 0xFFA0A0A0u;
    else if (pushed && m_dwPushedTextColor)
        tc = m_dwPushedTextColor;
    else if ((hot || pushed) && m_dwHotTextColor)
        tc = m_dwHotTextColor;
    p.setPen(tc ? QColor::fromRgba(tc) : palette().color(QPalette::ButtonText));
    p.setFont(font());
    const QRect tr = rect().marginsRemoved(m_textPadding);
    if (!icon().isNull()) {
        const QSize s = iconSize();
        p.drawPixmap(QRect(tr.left() + (tr.width() - s.width()) / 2,
                           tr.top() + (tr.height() - s.height()) / 2, s.width(), s.height()),
                     icon().pixmap(s, isEnabled() ? QIcon::Normal : QIcon::Disabled));
    }
    p.drawText(tr, int(ToQtAlignment(m_uTextStyle)) | Qt::TextSingleLine, text());
}

} // namespace vx
