#include "updater/ForeColorProgressUI.h"

#include <QDynamicPropertyChangeEvent>
#include <QPainter>
#include <QVariant>

namespace vx {

CForeColorProgressUI::CForeColorProgressUI(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

CForeColorProgressUI::~CForeColorProgressUI() = default;

bool CForeColorProgressUI::ParseColor(const QString& text, uint32_t* argb)
{
    QString t = text.trimmed();
    if (t.startsWith('#'))
        t = t.mid(1);
    bool ok = false;
    uint v = t.toUInt(&ok, 16);
    if (ok)
        *argb = v;
    return ok;
}

void CForeColorProgressUI::SetAttribute(const QString& name, const QString& value)
{
    const QString n = name.toLower();
    if (n == QLatin1String("barcolor")) {
        ParseColor(value, &m_dwBarColor);
    } else if (n == QLatin1String("bkcolor")) {
        ParseColor(value, &m_dwBkColor);
    } else if (n == QLatin1String("min")) {
        SetMinValue(value.toInt());
    } else if (n == QLatin1String("max")) {
        SetMaxValue(value.toInt());
    } else if (n == QLatin1String("value")) {
        SetValue(value.toInt());
    } else if (n == QLatin1String("hor")) {
        SetHorizontal(value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0);
    }
    update();
}

bool CForeColorProgressUI::event(QEvent* e)
{
    if (e->type() == QEvent::DynamicPropertyChange) {
        auto* pe = static_cast<QDynamicPropertyChangeEvent*>(e);
        const QString name = QString::fromLatin1(pe->propertyName());
        SetAttribute(name, property(pe->propertyName()).toString());
        return true;
    }
    return QWidget::event(e);
}

void CForeColorProgressUI::SetValue(int value)
{
    if (value == m_nValue || value < m_nMin || value > m_nMax)
        return;
    m_nValue = value;
    update();
}

void CForeColorProgressUI::SetMinValue(int v)
{
    m_nMin = v;
    update();
}

void CForeColorProgressUI::SetMaxValue(int v)
{
    m_nMax = v;
    update();
}

void CForeColorProgressUI::SetHorizontal(bool h)
{
    m_bHorizontal = h;
    update();
}

QRect CForeColorProgressUI::BarRect() const
{
    int maxV = m_nMax <= m_nMin ? m_nMin + 1 : m_nMax;
    int v = m_nValue < m_nMin ? m_nMin : (m_nValue > maxV ? maxV : m_nValue);
    const double part = static_cast<double>(v - m_nMin) / (maxV - m_nMin);
    if (m_bHorizontal)
        return QRect(0, 0, static_cast<int>(part * width()), height());
    int h = static_cast<int>(part * height());
    return QRect(0, height() - h, width(), h);
}

void CForeColorProgressUI::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (m_dwBkColor)
        p.fillRect(rect(), QColor::fromRgba(m_dwBkColor));
    if (m_dwBarColor) {
        QRect bar = BarRect();
        if (!bar.isEmpty())
            p.fillRect(bar, QColor::fromRgba(m_dwBarColor));
    }
}

} // namespace vx
