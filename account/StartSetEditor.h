#pragma once
// The start-up settings window's rules: shown after a login until the user has completed it
// once, it fills every control at once, stores on OK, and lets the user go only when videos
// of unknown size have a size (the completion check, also run by Close, Cancel and Escape).

#include "account/SetDataForm.h"
#include "account/SetDataRules.h"
#include "app/AppConfig.h"
#include "store/LocalDb.h"

#include <string>

namespace vx {

struct StartSetResult
{
    bool bClose = false;         // the window may close now
    bool bShowSizeError = false; // show unknowErr and Erruknowsize, scroll to the size
    int textId = 0;              // refusal (2201, 2202)
    std::string strMessage;      // refusal or storage failure to show; empty: nothing
};

class CStartSetEditor
{
public:
    explicit CStartSetEditor(int cpuCount) : m_nCpuCount(cpuCount) {}

    // Loads the user's options (GetSetData) into config and fills every control.
    void Init(CLocalDb& db, CAppConfig& config, SetDataForm& form);
    int UnknownChoice() const { return m_nUnknownChoice; }
    void RememberUnknownChoice(int choice) { m_nUnknownChoice = choice; }

    // okbtn: checks, stores, makes current, then the completion check.
    StartSetResult Ok(const SetDataForm& form, CLocalDb& db, CAppConfig& config);
    // closebtn, canclebtn, Escape: the completion check on the options in force.
    StartSetResult TryClose(const SetDataForm& form, CLocalDb& db, CAppConfig& config);

private:
    int m_nCpuCount;
    int m_nUnknownChoice = -1;
};

} // namespace vx
