#include "account/StartSetEditor.h"

namespace vx {

void CStartSetEditor::Init(CLocalDb& db, CAppConfig& config, SetDataForm& form)
{
    _sSetData r = config.m_setData;
    db.GetSetData(r, config.m_i64UserId);
    config.SetUserOptions(r);
    FillConversionControls(form, r, m_nCpuCount);
    FillUploadControls(form, r);
    form.autodelete = (r.nUinfo & kOptAutoDelete) != 0;
    form.showaway = (r.nUinfo & kOptStartSetDone) != 0;
    m_nUnknownChoice = form.uknowsize ? form.unknownChoice : r.nUnkVideoConvertType;
}

StartSetResult CStartSetEditor::Ok(const SetDataForm& form, CLocalDb& db, CAppConfig& config)
{
    StartSetResult out;
    _sSetData r = config.m_setData;
    // The size is not refused here: the completion check below insists on it with its labels.
    ReadConversionControls(form, r, config, false);
    SetDataCheck check = ReadUploadControls(form, r, config);
    if (!check.Ok()) {
        out.textId = check.textId;
        out.strMessage = check.text;
        return out;
    }
    if (!StoreSetData(db, config, r, &out.strMessage))
        return out;
    return TryClose(form, db, config);
}

StartSetResult CStartSetEditor::TryClose(const SetDataForm& form, CLocalDb& db, CAppConfig& config)
{
    StartSetResult out;
    _sSetData r = config.m_setData;
    if (!(r.nUinfo & kOptUnknownSize) || r.nUnkConvertWidth <= 0 || r.nUnkConvertHeight <= 0) {
        out.bShowSizeError = true;
        return out;
    }
    r.nUinfo = form.showaway ? (r.nUinfo | kOptStartSetDone) : (r.nUinfo & ~kOptStartSetDone);
    if (!StoreSetData(db, config, r, &out.strMessage))
        return out;
    out.bClose = true;
    return out;
}

} // namespace vx
