#pragma once
// Folders and files for programs that copy themselves somewhere and run from there (the
// updater). A shared folder such as /tmp lets other local users plant links or files under a
// name we are about to use; a folder only we can enter does not.

#include <string>

namespace vx {

// A folder only this user can enter, ending in '/': $XDG_RUNTIME_DIR/<name>/ (created 0700,
// refused when it is a link or another user's), else a fresh mkdtemp folder
// <temporary folder>/<name>-XXXXXX. Empty with *err (naming the folder and the cause) when
// neither can be had.
std::string MakePrivateFolder(const std::string& name, std::string* err);

// Copies from into a new file `to` with the given mode. An existing entry of that name is
// removed first; the new file is created with O_EXCL | O_NOFOLLOW, so the copy is never
// written through a planted link. False with *err on any failure (nothing is left behind).
bool CopyToNewFile(const std::string& from, const std::string& to, unsigned mode, std::string* err);

} // namespace vx
