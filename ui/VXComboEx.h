#pragma once
// The settings windows' combo box: a stock QComboBox whose border (blue while hovered, focused
// or open), separator and arrow come from the stylesheet. The wheel does not change the value
// while the combo is closed and unfocused, so scrolling a settings page never changes a setting.

#include <QComboBox>

namespace vx {

class CVXComboEx : public QComboBox
{
    Q_OBJECT

public:
    explicit CVXComboEx(QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* e) override;
};

} // namespace vx
