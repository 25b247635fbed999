#pragma once
// An option button: a checkable push button with its text centred on one line (tab
// selectors, the settings pages). It behaves as CVXCheckBox does: alone it toggles, in a group
// a click selects it and only the newly selected button reports selectChanged.

#include "ui/VXCheckBox.h"

#include <QPushButton>

namespace vx {

class CVXOptionEx : public TSelectable<QPushButton>
{
    Q_OBJECT

public:
    explicit CVXOptionEx(QWidget* parent = nullptr);

signals:
    // A click or Space on an enabled button, before its state changes.
    void activated();
    // The button was selected or unselected (by the user, or by SetCheck).
    void selectChanged(bool selected);

protected:
    void ReportActivation() override { emit activated(); }
};

} // namespace vx
