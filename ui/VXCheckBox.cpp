#include "ui/VXCheckBox.h"

#include <QButtonGroup>
#include <QSignalBlocker>

namespace vx {

namespace option {

void JoinGroup(QAbstractButton* b, const QString& name)
{
    if (QButtonGroup* old = b->group())
        old->removeButton(b);
    if (name.isEmpty())
        return;
    QWidget* window = b->window();
    auto* group = window->findChild<QButtonGroup*>(name);
    if (!group) {
        group = new QButtonGroup(window);
        group->setObjectName(name);
    }
    group->addButton(b); // a selected newcomer takes the selection
}

QString GroupName(const QAbstractButton* b)
{
    return b->group() ? b->group()->objectName() : QString();
}

void SetQuietly(QAbstractButton* b, bool on)
{
    if (b->isChecked() == on)
        return;
    const QSignalBlocker quiet(b);
    QButtonGroup* group = b->group();
    const bool exclusive = group && group->exclusive();
    if (exclusive && !on)
        group->setExclusive(false); // an exclusive group keeps its selected member otherwise
    b->setChecked(on);
    if (exclusive && !on)
        group->setExclusive(true);
}

void SetReported(QAbstractButton* b, bool on)
{
    if (!on && b->group())
        SetQuietly(b, false);
    else
        b->setChecked(on);
}

bool ReportsToggle(const QAbstractButton* b, bool on)
{
    return on || !b->group();
}

} // namespace option

CVXCheckBox::CVXCheckBox(QWidget* parent) : TSelectable<QCheckBox>(parent)
{
    setCursor(Qt::PointingHandCursor);
    connect(this, &QAbstractButton::toggled, this, [this](bool on) {
        if (option::ReportsToggle(this, on))
            emit selectChanged(on);
    });
}

} // namespace vx
