#include "ui/VXButtonUI.h"

namespace vx {

CVXButtonUI::CVXButtonUI(QWidget* parent) : QPushButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setAutoDefault(false);
}

} // namespace vx
