#include "ui/VXOptionEx.h"

#include "ui/SkinAttr.h"

#include <QPainter>
#include <QPixmap>

namespace vx {

CVXOptionEx::CVXOptionEx(QWidget* parent) : CVXCheckBox(parent) {}

void* CVXOptionEx::GetInterface(const QString& name)
{
    if (name == QLatin1String("VXOptionEx"))
        return this;
    return CVXCheckBox::GetInterface(name);
}

void CVXOptionEx::SetAttribute(const QString& rawName, const QString& value)
{
    const QString n = rawName.toLower();
    if (n == QLatin1String("chunktextcolor"))
        ParseSkinColor(value, &m_dwChunkTextColor);
    else if (n == QLatin1String("chunkfont"))
        m_nChunkFont = value.toInt();
    else if (n == QLatin1String("chunkimage"))
        m_strChunkImage = SkinImagePath(value);
    else if (n == QLatin1String("bcount")) {
        m_bCount = ParseSkinBool(value);
        update();
    } else
        CVXCheckBox::SetAttribute(rawName, value);
}

void CVXOptionEx::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPixmap pm = PaintBackground(p);
    if (!pm.isNull())
        p.drawPixmap(rect(), pm);
    p.setPen(CurrentTextColor());
    p.drawText(rect().marginsRemoved(m_textPadding),
               int(ToQtAlignment(m_uTextStyle | kDtCenter | 0x24)) | Qt::TextSingleLine, m_strText);
}

} // namespace vx
