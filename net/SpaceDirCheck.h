#pragma once
// Whether a remote folder, or any folder below it, holds a file. Folders may only be deleted
// when they hold none (the platform never deletes files through a folder), so the space view
// and the command line ask this before every folder deletion.

#include "net/SpaceApi.h"

#include <cstdint>
#include <string>

namespace vx {

enum class DirFilesCheck
{
    Empty,      // no file in the folder or anywhere below it
    HoldsFiles, // at least one file somewhere in the subtree
    Failed      // a listing failed (errorText has the server's message when it gave one)
};

// Walks the subtree with RequestForDirListAll, depth first, stopping at the first file. A
// folder seen twice (a tree that loops back on itself while it is being changed elsewhere) or
// a tree deeper than kMaxDirDepth counts as a failed check rather than walking forever.
DirFilesCheck CheckDirHoldsFiles(CSpaceApi& api, int64_t dirId, std::string* errorText);

constexpr int kMaxDirDepth = 64;

} // namespace vx
