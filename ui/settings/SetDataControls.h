#pragma once
// The conversion and upload controls that both settings windows carry, tied to SetDataForm:
// Show puts the form's values, enabled and read-only states into the widgets, Read takes the
// user's values back. The two windows' forms differ around these controls, so they are found
// by name; a missing one is simply skipped.

#include "account/SetDataForm.h"

#include <QObject>
#include <QString>
#include <QWidget>
#include <functional>

class QEvent;

namespace vx {

class CSetDataControls
{
public:
    explicit CSetDataControls(QWidget* root) : m_root(root) {}

    // Fills the combo of conversions at once with "1" ... "n".
    void FillConverNum(int n);
    void ShowGeneral(const SetDataForm& form);
    void ShowConversion(const SetDataForm& form, bool withFolder);
    void ShowUpload(const SetDataForm& form);
    // The states the size and name controls depend on, and the focus the last change asked for.
    void ShowSizeState(const SetDataForm& form);
    void ShowStampState(const SetDataForm& form);
    void ApplyFocus(SetDataForm& form);
    // The options both windows handle alike: the unknown-size box, its four sizes and the
    // name-suffix choice.
    enum class Shared
    {
        UnknownSize,
        Size, // with the size's index 0..3
        Timestamp,
        Custom
    };
    // Connects each shared option's selectChanged to onSelect(which, sizeIndex, on).
    void ConnectShared(QObject* context, const std::function<void(Shared, int, bool)>& onSelect);
    // A shared option's selection changed. *unknownChoice is the size chosen last (the
    // window's editor keeps it): read when the box is ticked, set when a size is picked.
    // Returns false, changing nothing, when the change needs nothing (an option unselected).
    bool OnSharedSelect(Shared which, int sizeIndex, bool on, SetDataForm& form, bool withFolder,
                        int* unknownChoice);

    void ReadGeneral(SetDataForm& form) const;
    void ReadConversion(SetDataForm& form, bool withFolder) const;
    void ReadUpload(SetDataForm& form) const;

    // The keys of both settings windows: Enter never confirms (it is swallowed), Escape runs
    // onEscape. True when the event was one of them.
    static bool FilterKeys(QEvent* e, const std::function<void()>& onEscape);

    // Characters typed into the suffix edit that the name may not contain are dropped at once;
    // pasted text is left to the check when the user confirms.
    void GuardSuffixTyping(QWidget* window);

    template <typename T> T* Find(const char* name) const
    {
        return m_root->findChild<T*>(QString::fromLatin1(name));
    }

private:
    QWidget* m_root;
};

} // namespace vx
