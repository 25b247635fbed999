#include "ui/SkinAttr.h"

#include <QDynamicPropertyChangeEvent>
#include <QRegularExpression>
#include <QStringList>
#include <QVariant>

namespace vx {

bool ParseSkinColor(const QString& text, uint32_t* argb)
{
    QString t = text.trimmed();
    if (t.startsWith('#'))
        t = t.mid(1);
    else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = t.mid(2);
    if (t.isEmpty() || t.size() > 8)
        return false;
    bool ok = false;
    const uint v = t.toUInt(&ok, 16);
    if (ok)
        *argb = v;
    return ok;
}

uint32_t ApplyAlignment(uint32_t style, const QString& value)
{
    if (value.contains(QLatin1String("left")))
        style &= ~0x27u;
    if (value.contains(QLatin1String("center"))) {
        style &= ~0x02u;
        style |= 0x01u;
    }
    if (value.contains(QLatin1String("right"))) {
        style &= ~0x25u;
        style |= 0x02u;
    }
    if (value.contains(QLatin1String("top"))) {
        style &= ~0x0Cu;
        style |= 0x20u;
    }
    if (value.contains(QLatin1String("vcenter"))) {
        style &= ~0x08u;
        style |= 0x25u;
    }
    if (value.contains(QLatin1String("bottom"))) {
        style &= ~0x04u;
        style |= 0x28u;
    }
    return style;
}

QMargins ParseFour(const QString& text)
{
    const QStringList parts = text.split(',');
    int v[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4 && i < parts.size(); ++i)
        v[i] = parts[i].trimmed().toInt();
    return QMargins(v[0], v[1], v[2], v[3]);
}

QString SkinImagePath(const QString& value)
{
    QString name = value.trimmed();
    static const QRegularExpression fileRe(QStringLiteral("file='([^']*)'"));
    const QRegularExpressionMatch m = fileRe.match(name);
    if (m.hasMatch())
        name = m.captured(1);
    if (name.isEmpty() || name.startsWith(':') || name.contains('/'))
        return name;
    return QStringLiteral(":/icons/") + name;
}

Qt::Alignment ToQtAlignment(uint32_t style)
{
    Qt::Alignment a = (style & kDtCenter)  ? Qt::AlignHCenter
                      : (style & kDtRight) ? Qt::AlignRight
                                           : Qt::AlignLeft;
    a |= (style & kDtVCenter) ? Qt::AlignVCenter : (style & kDtBottom) ? Qt::AlignBottom : Qt::AlignTop;
    return a;
}

bool ParseSkinBool(const QString& value)
{
    return value.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

bool ForwardDynamicProperty(QObject* o, QEvent* e,
                            const std::function<void(const QString&, const QString&)>& set)
{
    if (e->type() != QEvent::DynamicPropertyChange)
        return false;
    auto* pe = static_cast<QDynamicPropertyChangeEvent*>(e);
    const QByteArray name = pe->propertyName();
    if (name.startsWith("vx_") || name.startsWith("_q_"))
        return false; // our own bookkeeping and Qt's, not skin attributes
    set(QString::fromLatin1(name), o->property(name.constData()).toString());
    return true;
}

} // namespace vx
