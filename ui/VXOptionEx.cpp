#include "ui/VXOptionEx.h"

namespace vx {

CVXOptionEx::CVXOptionEx(QWidget* parent) : TSelectable<QPushButton>(parent)
{
    setCheckable(true);
    setAutoDefault(false);
    setCursor(Qt::PointingHandCursor);
    connect(this, &QAbstractButton::toggled, this, [this](bool on) {
        if (option::ReportsToggle(this, on))
            emit selectChanged(on);
    });
}

} // namespace vx
