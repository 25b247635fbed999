#pragma once
// The settings window's rules: each page is filled from the current options the first time it
// is shown, and only the pages that were shown are read back when the user presses OK, so a
// page never opened can never overwrite the stored values with blank controls. Committing
// checks the values, stores them and says which groups changed (the bits of message 3036).

#include "account/SetDataForm.h"
#include "account/SetDataRules.h"
#include "app/AppConfig.h"
#include "store/LocalDb.h"

#include <string>

namespace vx {

// wParam bits of WM_SET_INFO_DATA.
enum SetDataChange : int
{
    kChangedConversion = 1,
    kChangedUploads = 2,
};

struct SetDataCommit
{
    bool bSaved = false;
    int textId = 0;          // language text of a refusal (2204, 2200, 2201, 2202), 0 otherwise
    std::string strMessage;  // what to show when not saved (refusal or storage failure)
    bool bSystemBox = false; // 2204 is shown in the system's message box
    int changed = 0;         // SetDataChange bits, when saved
    _sSetData record;        // what was stored
};

class CSetDataEditor
{
public:
    // current: the options in force (a copy is edited).
    CSetDataEditor(const _sSetData& current, int cpuCount);

    // The page is shown: the first time its controls are filled from the options (true);
    // later visits leave them as the user left them (false; the files page asks for the focus
    // on autodelete).
    bool ShowPage(int page, SetDataForm& form);
    int LoadedPages() const { return m_nLoaded; }
    // The remembered unknown-size choice, for ToggleUnknownSize.
    int UnknownChoice() const { return m_nUnknownChoice; }
    void RememberUnknownChoice(int choice) { m_nUnknownChoice = choice; }

    // OK: reads the loaded pages, checks, stores with db for the user of config and makes the
    // result current. On any refusal or failure nothing is stored or made current.
    SetDataCommit Commit(const SetDataForm& form, CLocalDb& db, CAppConfig& config) const;

private:
    _sSetData m_record;
    int m_nCpuCount;
    int m_nLoaded = 0;
    int m_nUnknownChoice = -1;
};

} // namespace vx
