#include "net/SpaceDirCheck.h"

#include "app/LogFile.h"

#include <set>

namespace vx {
namespace {

DirFilesCheck Walk(CSpaceApi& api, int64_t dirId, int depth, std::set<int64_t>& seen, std::string* errorText)
{
    if (depth > kMaxDirDepth || !seen.insert(dirId).second) {
        Log(g_log, "Error : the folder tree below %lld is deeper than %d or loops back, not checked",
            static_cast<long long>(dirId), kMaxDirDepth);
        return DirFilesCheck::Failed;
    }
    std::vector<SpaceEntry> entries;
    if (!api.RequestForDirListAll(dirId, &entries, errorText))
        return DirFilesCheck::Failed;
    // The files of a folder come after its subfolders: look at all of them before descending.
    for (const SpaceEntry& e : entries)
        if (e.nType != SPACE_FOLDER)
            return DirFilesCheck::HoldsFiles;
    for (const SpaceEntry& e : entries) {
        if (e.i64Id == dirId)
            continue;
        DirFilesCheck r = Walk(api, e.i64Id, depth + 1, seen, errorText);
        if (r != DirFilesCheck::Empty)
            return r;
    }
    return DirFilesCheck::Empty;
}

} // namespace

DirFilesCheck CheckDirHoldsFiles(CSpaceApi& api, int64_t dirId, std::string* errorText)
{
    std::set<int64_t> seen;
    return Walk(api, dirId, 0, seen, errorText);
}

} // namespace vx
