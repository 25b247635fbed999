#pragma once
// The program's check boxes (CVXCheckBox) and, in VXOptionEx.h, its option buttons. Alone a box
// toggles; in a group (an exclusive QButtonGroup, from the form or named with SetGroup) a click
// selects it and the other members fall silent: only the newly selected box reports
// selectChanged. Every activation (click, Space) reports activated() before the change. The
// look comes from the stylesheet.

#include <QCheckBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QString>

class QAbstractButton;

namespace vx {

// What check boxes and option buttons share.
namespace option {
// Puts b into the exclusive group called name in b's window (made on first use); an empty name
// takes it out of its group.
void JoinGroup(QAbstractButton* b, const QString& name);
// The name of b's group, empty when it has none.
QString GroupName(const QAbstractButton* b);
// Checks or unchecks b without a signal; a group's selected member can be unselected too.
void SetQuietly(QAbstractButton* b, bool on);
// Checks or unchecks b as code on the user's behalf: a change is reported, except that a
// group member is unselected silently.
void SetReported(QAbstractButton* b, bool on);
// Whether toggled(on) of b is a change to report (a group reports only the selected member).
bool ReportsToggle(const QAbstractButton* b, bool on);
} // namespace option

template <class TButton> class TSelectable : public TButton
{
public:
    using TButton::TButton;

    void SetText(const QString& text) { this->setText(text); }
    QString GetText() const { return this->text(); }
    bool IsSelected() const { return this->isChecked(); }
    void SetCheck(bool value) { option::SetReported(this, value); }
    // The state a window starts with: set without reporting.
    void SetInitialCheck(bool value) { option::SetQuietly(this, value); }
    void SetGroup(const QString& group) { option::JoinGroup(this, group); }
    QString GetGroup() const { return option::GroupName(this); }

protected:
    // A click or Space that is about to activate the control, before its state changes (Qt
    // changes the state first and reports clicked() after).
    virtual void ReportActivation() = 0;

    // The whole box answers the mouse, not only its mark and text.
    bool hitButton(const QPoint& pos) const override { return this->rect().contains(pos); }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && this->isDown() && this->hitButton(e->position().toPoint()))
            ReportActivation();
        TButton::mouseReleaseEvent(e);
    }
    void keyReleaseEvent(QKeyEvent* e) override
    {
        if (e->key() == Qt::Key_Space && !e->isAutoRepeat() && this->isDown())
            ReportActivation();
        TButton::keyReleaseEvent(e);
    }
};

class CVXCheckBox : public TSelectable<QCheckBox>
{
    Q_OBJECT

public:
    explicit CVXCheckBox(QWidget* parent = nullptr);

signals:
    // A click or Space on an enabled box, before its state changes.
    void activated();
    // The box was selected or unselected (by the user, or by SetCheck).
    void selectChanged(bool selected);

protected:
    void ReportActivation() override { emit activated(); }
};

} // namespace vx
