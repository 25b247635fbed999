#include "ui/VXsiComboUI.h"

#include "ui/Notify.h"
#include "ui/SkinAttr.h"
#include "ui/VXSiElementUI.h"
#include "ui/VxsiComWnd.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace vx {

CVXsiComboUI::CVXsiComboUI(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::StrongFocus);
}

CVXsiComboUI::~CVXsiComboUI()
{
    // Lists (open, or closed and waiting for deletion) go first, while this is still a combo:
    // an open one gives the items back before they are deleted with the combo.
    const QList<CVxsiComWnd*> lists = findChildren<CVxsiComWnd*>(Qt::FindDirectChildrenOnly);
    qDeleteAll(lists);
}

void* CVXsiComboUI::GetInterface(const QString& name)
{
    return name == QLatin1String("VXSComboUI") ? this : nullptr;
}

void CVXsiComboUI::SetAttribute(const QString& rawName, const QString& value)
{
    const QString n = rawName.toLower();
    if (n == QLatin1String("textpadding"))
        m_rcTextPadding = ParseFour(value);
    else if (n == QLatin1String("normalimage"))
        m_strNormalImage = SkinImagePath(value);
    else if (n == QLatin1String("dropbox"))
        m_strDropBox = value;
    else if (n == QLatin1String("dropboxsize")) {
        const QStringList p = value.split(',');
        m_szDropBox = QSize(p.value(0).trimmed().toInt(), p.value(1).trimmed().toInt());
    } else if (n == QLatin1String("itemfont"))
        m_nItemFont = value.toInt();
    else if (n == QLatin1String("itemtextpadding"))
        m_rcItemTextPadding = ParseFour(value);
    else if (n == QLatin1String("itemtextcolor"))
        ParseSkinColor(value, &m_dwItemTextColor);
    else if (n == QLatin1String("itembkcolor"))
        ParseSkinColor(value, &m_dwItemBkColor);
    else if (n == QLatin1String("itemselectedtextcolor"))
        ParseSkinColor(value, &m_dwSelectedItemTextColor);
    else if (n == QLatin1String("itemselectedbkcolor"))
        ParseSkinColor(value, &m_dwSelectedItemBkColor);
    else if (n == QLatin1String("focusbordercolor"))
        ParseSkinColor(value, &m_dwFocusBorderColor);
    else if (n == QLatin1String("itemhottextcolor"))
        ParseSkinColor(value, &m_dwHotItemTextColor);
    else if (n == QLatin1String("itemhotbkcolor"))
        ParseSkinColor(value, &m_dwHotItemBkColor);
    else if (n == QLatin1String("itemshowdelicon"))
        m_bShowDelIcon = ParseSkinBool(value);
    else if (n == QLatin1String("comhand")) {
        m_bHandCursor = ParseSkinBool(value);
        setCursor(m_bHandCursor ? Qt::PointingHandCursor : Qt::ArrowCursor);
    } else if (n == QLatin1String("itemalign")) {
        if (value.contains(QLatin1String("vcenonly")))
            m_uItemTextStyle = 0x24;
        m_uItemTextStyle = ApplyAlignment(m_uItemTextStyle, value);
    } else if (n == QLatin1String("bordercolor"))
        ParseSkinColor(value, &m_dwBorderColor);
    else if (n == QLatin1String("bordersize"))
        m_nBorderSize = value.toInt();
    else if (n == QLatin1String("bkcolor"))
        ParseSkinColor(value, &m_dwBkColor);
    update();
}

bool CVXsiComboUI::Add(QWidget* item)
{
    if (!item || m_items.contains(item))
        return false;
    item->setParent(this);
    item->hide(); // items are laid out only inside the drop-down
    if (auto* e = qobject_cast<CVXSiElementUI*>(item)) {
        e->SetOwner(this);
        e->SetIndex(GetCount());
    }
    m_items.append(item);
    return true;
}

bool CVXsiComboUI::Remove(QWidget* item)
{
    const int i = static_cast<int>(m_items.indexOf(item));
    return i >= 0 && RemoveAt(i);
}

bool CVXsiComboUI::RemoveAt(int index)
{
    if (index < 0 || index >= GetCount())
        return false;
    CloseDropDown();
    QWidget* item = m_items.takeAt(index);
    delete item;
    Renumber();
    if (index == m_iCurSel)
        SelectItem(-1); // clears the selection and reports nothing
    else if (index < m_iCurSel)
        --m_iCurSel;
    update();
    return true;
}

void CVXsiComboUI::RemoveAll()
{
    CloseDropDown();
    qDeleteAll(m_items);
    m_items.clear();
    m_iCurSel = -1;
    update();
}

QWidget* CVXsiComboUI::GetItemAt(int index) const
{
    return (index >= 0 && index < GetCount()) ? m_items[index] : nullptr;
}

void CVXsiComboUI::Renumber()
{
    for (int i = 0; i < GetCount(); ++i)
        if (auto* e = qobject_cast<CVXSiElementUI*>(m_items[i]))
            e->SetIndex(i);
}

bool CVXsiComboUI::SelectItem(int index, bool takeFocus)
{
    CloseDropDown();
    if (index == m_iCurSel)
        return true;
    const int previous = m_iCurSel;
    if (m_iCurSel >= 0) {
        if (auto* e = qobject_cast<CVXSiElementUI*>(GetItemAt(m_iCurSel)))
            e->SetSelectedSilently(false);
        m_iCurSel = -1;
    }
    if (index < 0 || m_items.isEmpty())
        return false;
    if (index >= GetCount())
        index = GetCount() - 1;
    auto* e = qobject_cast<CVXSiElementUI*>(m_items[index]);
    if (!e || !e->isEnabled())
        return false;
    m_iCurSel = index;
    if (takeFocus)
        e->setFocus();
    e->SetSelectedSilently(true);
    SendNotify(this, QStringLiteral("itemselect"), m_iCurSel, previous);
    emit ItemSelected(m_iCurSel, previous);
    update();
    return true;
}

QString CVXsiComboUI::GetText() const
{
    auto* e = qobject_cast<CVXSiElementUI*>(GetItemAt(m_iCurSel));
    return e ? e->GetText() : QString();
}

bool CVXsiComboUI::Activate()
{
    if (!isEnabled())
        return false;
    if (m_pWindow)
        return true;
    m_uButtonState |= kStatePushed;
    m_pWindow = new CVxsiComWnd(this);
    m_pWindow->Open();
    SendNotify(this, QStringLiteral("dropdown"));
    update();
    return true;
}

void CVXsiComboUI::CloseDropDown()
{
    if (m_pWindow)
        m_pWindow->close();
}

void CVXsiComboUI::OnDropDownClosed(CVxsiComWnd* which)
{
    // A list closed earlier may be deleted only after a new one opened: it must not forget that.
    if (m_pWindow && m_pWindow != which)
        return;
    m_pWindow = nullptr;
    m_uButtonState &= ~kStatePushed;
    update();
}

void CVXsiComboUI::SetExpand(bool expand)
{
    m_bPartnerHot = expand;
    update();
}

uint32_t CVXsiComboUI::CurrentBorderColor() const
{
    if ((IsHot() || m_bPartnerHot) && m_dwFocusBorderColor)
        return m_dwFocusBorderColor;
    return m_dwBorderColor;
}

QSize CVXsiComboUI::sizeHint() const
{
    return QSize(QWidget::sizeHint().width(), QFontMetrics(font()).height() + 12);
}

bool CVXsiComboUI::event(QEvent* e)
{
    if (ForwardDynamicProperty(this, e, [this](const QString& n, const QString& v) { SetAttribute(n, v); }))
        return true;
    return QWidget::event(e);
}

void CVXsiComboUI::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (m_dwBkColor)
        p.fillRect(rect(), QColor::fromRgba(m_dwBkColor));
    if (!m_strNormalImage.isEmpty()) {
        const QPixmap pm(m_strNormalImage);
        if (!pm.isNull()) {
            // Small glyphs (an arrow) stay sharp at their own size; larger images fill the combo.
            const QSize s = pm.deviceIndependentSize().toSize();
            if (s.width() < width() && s.height() < height())
                p.drawPixmap(QRect(QPoint((width() - s.width()) / 2, (height() - s.height()) / 2), s), pm);
            else
                p.drawPixmap(rect(), pm);
        }
    }
    const uint32_t border = CurrentBorderColor();
    if (border && m_nBorderSize > 0) {
        p.setPen(QPen(QColor::fromRgba(border), m_nBorderSize));
        const qreal h = m_nBorderSize / 2.0;
        p.drawRect(QRectF(rect()).adjusted(h, h, -h, -h));
    }
}

void CVXsiComboUI::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && isEnabled()) {
        Activate();
        return;
    }
    QWidget::mousePressEvent(e);
}

void CVXsiComboUI::enterEvent(QEnterEvent* e)
{
    if (isEnabled()) {
        m_uButtonState |= kStateHot;
        update();
    }
    QWidget::enterEvent(e);
}

void CVXsiComboUI::leaveEvent(QEvent* e)
{
    m_uButtonState &= ~kStateHot;
    update();
    QWidget::leaveEvent(e);
}

} // namespace vx
