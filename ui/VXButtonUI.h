#pragma once
// The program's push button: a QPushButton with the pointing hand, painted by the stylesheet
// (normal, hover, pressed, disabled and focus looks by objectName or class).

#include <QPushButton>

namespace vx {

class CVXButtonUI : public QPushButton
{
    Q_OBJECT

public:
    explicit CVXButtonUI(QWidget* parent = nullptr);
};

} // namespace vx
