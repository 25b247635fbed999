#include "updater/ForeColorProgressUI.h"

#include <algorithm>

namespace vx {

CForeColorProgressUI::CForeColorProgressUI(QWidget* parent) : QProgressBar(parent)
{
    setTextVisible(false);
    setValue(minimum()); // starts empty, not in the stock "no value yet" state
}

void CForeColorProgressUI::SetAttribute(const QString& name, const QString& value)
{
    const QString n = name.toLower();
    if (n == QLatin1String("min"))
        SetMinValue(value.toInt());
    else if (n == QLatin1String("max"))
        SetMaxValue(value.toInt());
    else if (n == QLatin1String("value"))
        SetValue(value.toInt());
    else if (n == QLatin1String("hor"))
        SetHorizontal(value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0);
}

void CForeColorProgressUI::SetValue(int v)
{
    if (v != value() && v >= minimum() && v <= maximum())
        setValue(v);
}

QRect CForeColorProgressUI::BarRect() const
{
    const int span = maximum() - minimum();
    const double part =
        span > 0 ? static_cast<double>(std::clamp(value(), minimum(), maximum()) - minimum()) / span : 0;
    if (orientation() == Qt::Horizontal)
        return QRect(0, 0, static_cast<int>(part * width()), height());
    const int h = static_cast<int>(part * height());
    return QRect(0, height() - h, width(), h);
}

} // namespace vx
