#pragma once
// A window's form contract: the control names its code looks up. Windows check it once after
// building the form and report every missing name together (a form edited by hand must not
// crash the window); the window tests check the same list. Header-only so the updater, which
// does not link vx_ui, can use it too.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace vx {

// The names of required that no child of root carries, in the order given.
inline QStringList MissingControls(const QWidget* root, const QStringList& required)
{
    QStringList missing;
    for (const QString& name : required) {
        if (!root || (root->objectName() != name && !root->findChild<QWidget*>(name)))
            missing << name;
    }
    return missing;
}

// One line naming the window and every missing control, or empty when none is missing.
inline QString FormContractError(const QString& window, const QStringList& missing)
{
    if (missing.isEmpty())
        return QString();
    return window + QStringLiteral(": the form has no control ") + missing.join(QStringLiteral(", "));
}

} // namespace vx
