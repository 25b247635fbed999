#include "account/SetDataRules.h"

#include "app/LogFile.h"
#include "net/HttpClient.h"
#include "pipeline/ConvertSettings.h"

#include <cctype>
#include <cstring>

namespace vx {

const char* const kForbiddenSuffixChars = "/\\:*?\"<>|$~!@#%^&\xEF\xBF\xA5";

bool HasForbiddenSuffixChar(const std::string& text)
{
    // The ASCII ones byte by byte (no UTF-8 sequence contains an ASCII byte), the yen as a
    // whole sequence.
    static const char kAscii[] = "/\\:*?\"<>|$~!@#%^&";
    return text.find_first_of(kAscii) != std::string::npos || text.find("\xEF\xBF\xA5") != std::string::npos;
}

bool PresetUnknownSize(int choice, int* width, int* height)
{
    static const int kSizes[3][2] = {{600, 400}, {800, 600}, {1024, 768}};
    if (choice < 0 || choice > 2)
        return false;
    *width = kSizes[choice][0];
    *height = kSizes[choice][1];
    return true;
}

int ParseSizeText(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && isspace(static_cast<unsigned char>(text[i])))
        ++i;
    long value = 0;
    size_t digits = 0;
    for (; i < text.size() && isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
        value = value * 10 + (text[i] - '0');
        if (value > 100000)
            return 0;
    }
    while (i < text.size() && isspace(static_cast<unsigned char>(text[i])))
        ++i;
    return digits > 0 && i == text.size() ? static_cast<int>(value) : 0;
}

void ToggleUnknownSize(SetDataForm& form, bool checked, int rememberedChoice)
{
    form.uknowsize = checked;
    form.sizeControlsEnabled = checked;
    if (!checked) {
        form.unknownChoice = -1;
        return;
    }
    if (rememberedChoice >= 0 && rememberedChoice <= 3)
        ChooseUnknownSize(form, rememberedChoice);
}

void ChooseUnknownSize(SetDataForm& form, int choice)
{
    form.unknownChoice = choice;
    int w = 0, h = 0;
    if (PresetUnknownSize(choice, &w, &h)) {
        form.uknowW = std::to_string(w);
        form.uknowH = std::to_string(h);
        form.sizeEditsReadOnly = true;
    } else {
        form.sizeEditsReadOnly = false;
        form.focus = "uknowW";
    }
}

void ChooseStampOption(SetDataForm& form, bool custom)
{
    form.timestamp = !custom;
    form.stampEditable = custom;
    if (custom)
        form.focus = "Cumstomstamp";
}

void FillConversionControls(SetDataForm& form, const _sSetData& r, int cpuCount)
{
    form.converNumItems = std::max(1, cpuCount);
    form.converNum = DefaultConvertCount(r.nConvertMax, cpuCount) - 1;
    form.prioroption = r.nPriortyLevel;
    form.videosize = r.nVideoConvertType;
    if (r.nUinfo & kOptUnknownSize) {
        form.uknowsize = true;
        form.sizeControlsEnabled = true;
        form.unknownChoice =
            r.nUnkVideoConvertType >= 0 && r.nUnkVideoConvertType <= 3 ? r.nUnkVideoConvertType : -1;
        form.sizeEditsReadOnly = form.unknownChoice != 3;
        form.uknowW = std::to_string(r.nUnkConvertWidth);
        form.uknowH = std::to_string(r.nUnkConvertHeight);
    } else {
        form.uknowsize = false;
        form.sizeControlsEnabled = false;
        form.unknownChoice = -1;
    }
}

void FillUploadControls(SetDataForm& form, const _sSetData& r)
{
    form.uploadcomb = r.nUploadMax - 1;
    form.Cumstomstamp = r.strTimeStamp;
    ChooseStampOption(form, (r.nUinfo & kOptTimeStamp) == 0);
}

SetDataCheck ReadConversionControls(const SetDataForm& form, _sSetData& r, const CAppConfig& config,
                                    bool checkSize)
{
    r.nConvertMax = form.converNum + 1;
    r.nPriortyLevel = form.prioroption;
    r.nVideoConvertType = form.videosize;
    if (form.uknowsize) {
        r.nUinfo |= kOptUnknownSize;
        r.nUnkConvertWidth = ParseSizeText(form.uknowW);
        if (form.unknownChoice >= 0)
            r.nUnkVideoConvertType = form.unknownChoice;
        r.nUnkConvertHeight = ParseSizeText(form.uknowH);
        if (checkSize && (r.nUnkConvertWidth < 1 || r.nUnkConvertHeight < 1))
            return {2200, config.GetText(2200)};
    } else {
        r.nUinfo &= ~kOptUnknownSize;
    }
    return {};
}

SetDataCheck ReadUploadControls(const SetDataForm& form, _sSetData& r, const CAppConfig& config)
{
    r.nUploadMax = form.uploadcomb + 1;
    if (form.timestamp) {
        r.nUinfo |= kOptTimeStamp;
        return {};
    }
    r.nUinfo &= ~kOptTimeStamp;
    if (form.Cumstomstamp.empty())
        return {2201, config.GetText(2201)};
    if (HasForbiddenSuffixChar(form.Cumstomstamp))
        return {2202, FormatText("%s\r\n%s", config.GetText(2202).c_str(), kForbiddenSuffixChars)};
    r.strTimeStamp = form.Cumstomstamp;
    return {};
}

bool StoreSetData(CLocalDb& db, CAppConfig& config, _sSetData& record, std::string* error)
{
    if (!db.UpDateSetData(record, config.m_i64UserId)) {
        *error = "保存设置失败：" + db.Path() + "：" + (db.IsOpen() ? db.LastError() : "数据库无法打开");
        return false;
    }
    config.SetUserOptions(record);
    return true;
}

} // namespace vx
