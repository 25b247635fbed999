#include "account/SetDataEditor.h"

#include "app/LogFile.h"
#include "platform/Paths.h"

namespace vx {

CSetDataEditor::CSetDataEditor(const _sSetData& current, int cpuCount)
    : m_record(current), m_nCpuCount(cpuCount)
{
}

bool CSetDataEditor::ShowPage(int page, SetDataForm& form)
{
    if (m_nLoaded & page) {
        if (page == kPageFiles)
            form.focus = "autodelete";
        return false;
    }
    m_nLoaded |= page;
    const _sSetData& r = m_record;
    switch (page) {
    case kPageGeneral:
        form.autopoweroff = (r.nUinfo & kOptAutoPowerOff) != 0;
        // Both bits may be set in a stored word; ending the program wins.
        form.exitApp = (r.nUinfo & kOptExitApp) != 0;
        form.showmin = !form.exitApp && (r.nUinfo & kOptShowMin) != 0;
        break;
    case kPageFiles:
        form.savepath = r.strConvertPath;
        form.autodelete = (r.nUinfo & kOptAutoDelete) != 0;
        FillConversionControls(form, r, m_nCpuCount);
        if (form.uknowsize)
            m_nUnknownChoice = form.unknownChoice;
        break;
    case kPageUpload:
        FillUploadControls(form, r);
        break;
    default:
        m_nLoaded &= ~page;
        return false;
    }
    return true;
}

SetDataCommit CSetDataEditor::Commit(const SetDataForm& form, CLocalDb& db, CAppConfig& config) const
{
    SetDataCommit out;
    _sSetData r = config.m_setData;
    auto refuse = [&](const SetDataCheck& check) {
        out.textId = check.textId;
        out.strMessage = check.text;
        return out;
    };

    if (m_nLoaded & kPageGeneral) {
        r.nUinfo = form.autopoweroff ? (r.nUinfo | kOptAutoPowerOff) : (r.nUinfo & ~kOptAutoPowerOff);
        if (form.exitApp) {
            r.nUinfo |= kOptExitApp;
        } else {
            r.nUinfo &= ~kOptExitApp;
            r.nUinfo = form.showmin ? (r.nUinfo | kOptShowMin) : (r.nUinfo & ~kOptShowMin);
        }
    }
    if (m_nLoaded & kPageFiles) {
        if (!form.savepath.empty()) {
            r.strConvertPath = form.savepath;
            if (!DirExists(r.strConvertPath)) {
                out.bSystemBox = true;
                return refuse({2204, config.GetText(2204)});
            }
            Log(g_log, "Info : 路径%s：剩余空间 %lld MB", r.strConvertPath.c_str(),
                static_cast<long long>(FreeDiskSpace(r.strConvertPath) / (1024 * 1024)));
        }
        r.nUinfo = form.autodelete ? (r.nUinfo | kOptAutoDelete) : (r.nUinfo & ~kOptAutoDelete);
        SetDataCheck check = ReadConversionControls(form, r, config, true);
        if (!check.Ok())
            return refuse(check);
    }
    if (m_nLoaded & kPageUpload) {
        SetDataCheck check = ReadUploadControls(form, r, config);
        if (!check.Ok())
            return refuse(check);
    }

    const _sSetData& old = config.m_setData;
    const bool conversion =
        r.nConvertMax != old.nConvertMax || r.strConvertPath != old.strConvertPath ||
        r.nPriortyLevel != old.nPriortyLevel || r.nVideoConvertType != old.nVideoConvertType ||
        r.nUnkConvertWidth != old.nUnkConvertWidth || r.nUnkConvertHeight != old.nUnkConvertHeight;
    const bool uploads = r.nUploadMax != old.nUploadMax;
    if (!StoreSetData(db, config, r, &out.strMessage))
        return out;
    out.bSaved = true;
    out.changed = (conversion ? kChangedConversion : 0) | (uploads ? kChangedUploads : 0);
    out.record = r;
    return out;
}

} // namespace vx
