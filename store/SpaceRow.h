#pragma once
// One remote folder or file of the user's space as the local cache stores it (tables directory
// and spacefile). The server answers are turned into these by the space directory code.

#include <cstdint>
#include <string>

namespace vx {

enum SpaceRowType : int32_t
{
    SPACE_FOLDER = 1,
    SPACE_PDF = 2,
    SPACE_VIDEO = 3,
    SPACE_SWF = 4
};

struct SpaceRow
{
    int64_t i64Id = 0;       // folder or file id
    int64_t i64ParentId = 0; // containing folder
    int64_t i64OwnId = 0;    // owning user
    int32_t nLevel = -1;     // depth in the tree
    bool bHasChildren = false;
    int32_t nType = SPACE_FOLDER;
    int64_t i64Size = 0;
    bool bStatus = false; // the server's state flag of a file
    std::string strName;
    std::string strCreateTime;
    std::string strFilePath; // files only
    std::string strClientId; // folders only (batch creation)

    bool operator==(const SpaceRow&) const = default;
};

} // namespace vx
