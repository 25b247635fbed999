#pragma once
// Course files that cannot get further until the user acts: `vexora run` leaves them alone
// (instead of failing them again on every run) and `vexora queue` names them and removes them on
// request. The rule looks at a record as it is stored, before the fold-back of a restart, which
// would hide that its probe failed.

#include "store/LCItemData.h"

#include <string>

namespace vx::cli {

// Why the stored record cannot get further without the user, "" when it can: the file its next
// stage reads is gone or unreadable (the source before its conversion, the upload file after
// it), or its probe failed (status 1: not media, damaged or unreadable).
std::string BlockedCause(const _sLCItemData& stored);

// A failure status as stored: the probe (1), the conversion (4), the digest (9), the upload (11).
bool IsFailedStatus(int32_t stored);

// The record a restart lists, as `vexora queue` shows it.
_sLCItemData FoldedCopy(const _sLCItemData& stored);

} // namespace vx::cli
