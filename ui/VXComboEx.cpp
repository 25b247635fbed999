#include "ui/VXComboEx.h"

#include <QWheelEvent>

namespace vx {

CVXComboEx::CVXComboEx(QWidget* parent) : QComboBox(parent)
{
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::StrongFocus);
}

void CVXComboEx::wheelEvent(QWheelEvent* e)
{
    if (hasFocus())
        QComboBox::wheelEvent(e);
    else
        e->ignore();
}

} // namespace vx
