#include "cli/StuckRecords.h"

#include "platform/FileCheck.h"
#include "store/CourseStatus.h"

namespace vx::cli {

std::string BlockedCause(const _sLCItemData& r)
{
    if (r.nStatus == CS_UPLOADED)
        return "";
    if (r.nStatus >= CS_CONVERTED) {
        int err = 0;
        const FileProblem p = CheckInputFile(r.strConvertPath, &err);
        if (p != FileProblem::None)
            return "its upload file " + r.strConvertPath +
                   " cannot be read: " + DescribeFileProblem(p, err, r.strConvertPath);
        return "";
    }
    int err = 0;
    const FileProblem p = CheckInputFile(r.strFilePath, &err);
    if (p != FileProblem::None)
        return "its source cannot be read: " + DescribeFileProblem(p, err, r.strFilePath);
    if (r.nStatus == CS_MEDIA_FAILED)
        return "its probe failed (not audio, video or a document this program reads, or damaged)";
    return "";
}

bool IsFailedStatus(int32_t stored)
{
    return stored == CS_MEDIA_FAILED || stored == CS_CONVERT_FAILED || stored == CS_MD5_FAILED ||
           stored == CS_UPLOAD_FAILED;
}

_sLCItemData FoldedCopy(const _sLCItemData& stored)
{
    _sLCItemData r = stored;
    r.FoldBackForLoad();
    return r;
}

} // namespace vx::cli
