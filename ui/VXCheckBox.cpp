#include "ui/VXCheckBox.h"

#include "ui/Notify.h"
#include "ui/SkinAttr.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace vx {

CVXCheckBox::CVXCheckBox(QWidget* parent) : QWidget(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
}

void* CVXCheckBox::GetInterface(const QString& name)
{
    return name == QLatin1String("VXOptionUI") ? this : nullptr;
}

void CVXCheckBox::SetAttribute(const QString& rawName, const QString& value)
{
    const QString n = rawName.toLower();
    if (n == QLatin1String("align"))
        m_uTextStyle = ApplyAlignment(m_uTextStyle, value);
    else if (n == QLatin1String("selected"))
        SetInitialCheck(ParseSkinBool(value));
    else if (n == QLatin1String("textpadding"))
        m_textPadding = ParseFour(value);
    else if (n == QLatin1String("group"))
        SetGroup(value);
    else if (n == QLatin1String("textcolor"))
        ParseSkinColor(value, &m_dwTextColor);
    else if (n == QLatin1String("seltextcolor"))
        ParseSkinColor(value, &m_dwSelectedTextColor);
    else if (n == QLatin1String("selectbkcolor"))
        ParseSkinColor(value, &m_dwSelectedBkColor);
    else if (n == QLatin1String("bkcolor"))
        ParseSkinColor(value, &m_dwBkColor);
    else if (n == QLatin1String("hotimage"))
        m_strHotImage = SkinImagePath(value);
    else if (n == QLatin1String("checkedimage"))
        m_strCheckedImage = SkinImagePath(value);
    else if (n == QLatin1String("selecthotimage"))
        m_strSelectedHotImage = SkinImagePath(value);
    else if (n == QLatin1String("bkimage") || n == QLatin1String("normalimage"))
        m_strBkImage = SkinImagePath(value);
    else if (n == QLatin1String("font"))
        m_nFont = value.toInt();
    else if (n == QLatin1String("text"))
        SetText(value);
    else if (n == QLatin1String("name"))
        setObjectName(value);
    else if (n == QLatin1String("width"))
        setFixedWidth(value.toInt());
    else if (n == QLatin1String("height"))
        setFixedHeight(value.toInt());
    update();
}

void CVXCheckBox::SetText(const QString& text)
{
    m_strText = text;
    updateGeometry();
    update();
}

void CVXCheckBox::SetCheck(bool value)
{
    if (value == m_bSelected)
        return;
    m_bSelected = value;
    if (value)
        m_uState |= kStateSelected;
    else
        m_uState &= ~kStateSelected;
    if (m_strGroup.isEmpty()) {
        SendNotify(this, QStringLiteral("selectchanged"));
    } else if (value) {
        // The other members fall silent: only the box that became selected reports.
        for (CVXCheckBox* other : window()->findChildren<CVXCheckBox*>()) {
            if (other != this && other->m_strGroup == m_strGroup && other->m_bSelected) {
                other->m_bSelected = false;
                other->m_uState &= ~kStateSelected;
                other->update();
            }
        }
        SendNotify(this, QStringLiteral("selectchanged"));
    }
    update();
}

void CVXCheckBox::SetInitialCheck(bool value)
{
    // A form's initial state is not a user's change: nothing is reported.
    if (value == m_bSelected)
        return;
    m_bSelected = value;
    m_uState = value ? (m_uState | kStateSelected) : (m_uState & ~kStateSelected);
    if (value && !m_strGroup.isEmpty() && parentWidget()) {
        for (CVXCheckBox* other : window()->findChildren<CVXCheckBox*>())
            if (other != this && other->m_strGroup == m_strGroup && other->m_bSelected)
                other->SetInitialCheck(false);
    }
    update();
}

void CVXCheckBox::Activate()
{
    if (!isEnabled())
        return;
    SendNotify(this, QStringLiteral("click"));
    if (!m_strGroup.isEmpty())
        SetCheck(true);
    else
        SetCheck(!m_bSelected);
}

void CVXCheckBox::SetGroup(const QString& group)
{
    m_strGroup = group;
    if (m_bSelected && !group.isEmpty()) {
        // Joining a group while selected: the group keeps one selected member.
        m_bSelected = false;
        SetInitialCheck(true);
    }
}

QString CVXCheckBox::StatusImage() const
{
    const bool hot = m_uState & kStateHot;
    if (m_bSelected && hot && !m_strSelectedHotImage.isEmpty())
        return m_strSelectedHotImage;
    if (m_bSelected && !m_strCheckedImage.isEmpty())
        return m_strCheckedImage;
    if (!m_bSelected && hot && !m_strHotImage.isEmpty())
        return m_strHotImage;
    return m_strBkImage;
}

QSize CVXCheckBox::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(m_textPadding.left() + fm.horizontalAdvance(m_strText) + m_textPadding.right() + 4,
                 std::max(fm.height() + 6, 20));
}

QColor CVXCheckBox::CurrentTextColor() const
{
    uint32_t c = (m_bSelected && m_dwSelectedTextColor) ? m_dwSelectedTextColor : m_dwTextColor;
    if (!isEnabled())
        return palette().color(QPalette::Disabled, QPalette::WindowText);
    return c ? QColor::fromRgba(c) : palette().color(QPalette::WindowText);
}

QPixmap CVXCheckBox::PaintBackground(QPainter& p) const
{
    if (m_bSelected && m_dwSelectedBkColor)
        p.fillRect(rect(), QColor::fromRgba(m_dwSelectedBkColor));
    else if (!m_bSelected && m_dwBkColor)
        p.fillRect(rect(), QColor::fromRgba(m_dwBkColor));
    const QString image = StatusImage();
    return image.isEmpty() ? QPixmap() : QPixmap(image);
}

void CVXCheckBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPixmap pm = PaintBackground(p);
    if (!pm.isNull()) {
        const QSize s = pm.deviceIndependentSize().toSize();
        p.drawPixmap(QRect(0, (height() - s.height()) / 2, s.width(), s.height()), pm);
    }
    p.setPen(CurrentTextColor());
    p.drawText(rect().marginsRemoved(m_textPadding),
               int(ToQtAlignment(m_uTextStyle | kDtVCenter)) | Qt::TextSingleLine, m_strText);
}

bool CVXCheckBox::event(QEvent* e)
{
    if (ForwardDynamicProperty(this, e, [this](const QString& n, const QString& v) { SetAttribute(n, v); }))
        return true;
    return QWidget::event(e);
}

void CVXCheckBox::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        Activate();
    QWidget::mouseReleaseEvent(e);
}

void CVXCheckBox::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Space) {
        Activate();
        return;
    }
    QWidget::keyPressEvent(e);
}

void CVXCheckBox::enterEvent(QEnterEvent* e)
{
    if (isEnabled()) {
        m_uState |= kStateHot;
        update();
    }
    QWidget::enterEvent(e);
}

void CVXCheckBox::leaveEvent(QEvent* e)
{
    if (isEnabled()) {
        m_uState &= ~kStateHot;
        update();
    }
    QWidget::leaveEvent(e);
}

} // namespace vx
