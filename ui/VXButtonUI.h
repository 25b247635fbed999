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

    // A list of name="value" pairs as older callers write them: the name, text, tooltip and
    // fixed size are applied; looks come from the stylesheet and are ignored.
    void ApplyAttributeList(const QString& list);
};

} // namespace vx
