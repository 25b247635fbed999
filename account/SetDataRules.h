#pragma once
// Rules both settings windows share: the name suffix's forbidden characters, the preset sizes
// for videos of unknown size, the reactions of the size and name controls, the checks before
// storing, and storing itself.

#include "account/SetDataForm.h"
#include "app/AppConfig.h"
#include "app/UserOptions.h"
#include "store/LocalDb.h"

#include <string>

namespace vx {

// The 19 characters a name suffix may not contain (UTF-8; the last one is the full-width yen).
extern const char* const kForbiddenSuffixChars;

// True when text contains one of kForbiddenSuffixChars.
bool HasForbiddenSuffixChar(const std::string& text);

// Preset sizes of unVideoSize1..3 (choice 0..2); false for any other choice.
bool PresetUnknownSize(int choice, int* width, int* height);

// A size edit's text as a number: leading blanks, digits; anything else (or a value beyond
// 100000) is 0, which the checks refuse.
int ParseSizeText(const std::string& text);

// uknowsize checked or unchecked; rememberedChoice is selected again (none when -1).
void ToggleUnknownSize(SetDataForm& form, bool checked, int rememberedChoice);
// One of unVideoSize1..4 selected (choice 0..3).
void ChooseUnknownSize(SetDataForm& form, int choice);
// custom (true) or timestamp (false) selected.
void ChooseStampOption(SetDataForm& form, bool custom);

// Fills the conversion and upload controls shared by both windows from record.
void FillConversionControls(SetDataForm& form, const _sSetData& record, int cpuCount);
void FillUploadControls(SetDataForm& form, const _sSetData& record);

// A refusal: the language text number and the full text to show; 0 when accepted.
struct SetDataCheck
{
    int textId = 0;
    std::string text;
    bool Ok() const { return textId == 0; }
};

// Reads the conversion controls (without the folder and autodelete) into record; refuses a
// missing or non-positive unknown size (2200) when checkSize.
SetDataCheck ReadConversionControls(const SetDataForm& form, _sSetData& record, const CAppConfig& config,
                                    bool checkSize);
// Reads the upload controls into record; refuses an empty suffix (2201) and a forbidden
// character (2202 and the list), whether it was typed or pasted.
SetDataCheck ReadUploadControls(const SetDataForm& form, _sSetData& record, const CAppConfig& config);

// Stores record for the user and makes it the current one. On a database failure nothing
// becomes current and *error names the file and the cause.
bool StoreSetData(CLocalDb& db, CAppConfig& config, _sSetData& record, std::string* error);

} // namespace vx
