#include "store/CourseStatus.h"

namespace vx {
namespace {

constexpr uint32_t Bit(int32_t s)
{
    return 1u << s;
}

constexpr uint32_t Range(int32_t lo, int32_t hi)
{
    uint32_t m = 0;
    for (int32_t s = lo; s <= hi; ++s)
        m |= Bit(s);
    return m;
}

// Records shown in the course list: everything that is not uploaded.
constexpr uint32_t kInCourseList = Range(CS_MEDIA_FAILED, CS_UPLOAD_PAUSED);
constexpr uint32_t kUploadRunning = Bit(CS_UPLOAD_QUEUED) | Bit(CS_UPLOADING);
constexpr uint32_t kConvertOutcome = Bit(CS_WAIT_CONVERT) | Bit(CS_CONVERT_QUEUED) | Bit(CS_CONVERTING);

// For each target status, the set of statuses it may be reached from.
constexpr uint32_t kAllowedFrom[kLastStatus + 1] = {
    /* none */ 0,
    /* 1  media failed  */ Bit(CS_WAIT_MEDIAINFO),
    /* 2  wait probe    */ Bit(CS_NONE),
    // Probing succeeded; converting again a record that was never probed probes it first.
    /* 3  wait convert  */ kInCourseList,
    /* 4  convert fail  */ kConvertOutcome,
    // Accepted by the convert manager, also when the user converts any listed record again.
    /* 5  queued        */ kInCourseList,
    /* 6  converting    */ Bit(CS_CONVERT_QUEUED),
    /* 7  stopped       */ kInCourseList,
    // Also a failed upload without a digest that the user uploads again: it goes back to the
    // digest worker rather than to the transfer manager.
    /* 8  converted     */ kConvertOutcome | Bit(CS_UPLOAD_FAILED),
    // Only ever set by the digest worker in its own copy of a converted record.
    /* 9  md5 failed    */ Bit(CS_CONVERTED),
    /* 10 wait upload   */ Bit(CS_CONVERTED) | kUploadRunning,
    /* 11 upload failed */ Bit(CS_CONVERTED) | Bit(CS_MD5_FAILED) | kUploadRunning,
    /* 12 upload queued */ Range(CS_MEDIA_FAILED, CS_UPLOADED) & ~Bit(CS_UPLOADING),
    /* 13 uploading     */ Bit(CS_UPLOAD_QUEUED),
    /* 14 paused        */ kUploadRunning,
    /* 15 uploaded      */ kUploadRunning,
};

struct StatusInfo
{
    const char* name;
    int textNo;
};

constexpr StatusInfo kInfo[kLastStatus + 1] = {
    {"", 0},
    {"CS_MEDIA_FAILED", 2013},
    {"CS_WAIT_MEDIAINFO", 2026},
    {"CS_WAIT_CONVERT", 2011},
    {"CS_CONVERT_FAILED", 2015},
    {"CS_CONVERT_QUEUED", 2012},
    {"CS_CONVERTING", 2016},
    {"CS_CONVERT_STOPPED", 2017},
    {"CS_CONVERTED", 2018},
    {"CS_MD5_FAILED", 2014},
    {"CS_WAIT_UPLOAD", 2019},
    {"CS_UPLOAD_FAILED", 2024},
    {"CS_UPLOAD_QUEUED", 2020},
    {"CS_UPLOADING", 2021},
    {"CS_UPLOAD_PAUSED", 2022},
    {"CS_UPLOADED", 2023},
};

bool IsValid(int32_t s)
{
    return s >= kFirstStatus && s <= kLastStatus;
}

} // namespace

bool CanChangeStatus(int32_t from, int32_t to)
{
    if (!IsValid(to) || (from != CS_NONE && !IsValid(from)))
        return false;
    if (from == to)
        return true;
    return (kAllowedFrom[to] & Bit(from)) != 0;
}

int32_t FoldBackStatus(int32_t stored)
{
    if (stored < CS_CONVERTED)
        return CS_WAIT_MEDIAINFO;
    if (stored < CS_UPLOADED)
        return CS_CONVERTED;
    return CS_UPLOADED;
}

int StatusTextNo(int32_t status)
{
    return IsValid(status) ? kInfo[status].textNo : 0;
}

const char* StatusName(int32_t status)
{
    return IsValid(status) ? kInfo[status].name : "";
}

bool IsWorkingStatus(int32_t status)
{
    return status > CS_MEDIA_FAILED && status <= CS_UPLOAD_PAUSED && status != CS_CONVERT_FAILED &&
           status != CS_MD5_FAILED && status != CS_UPLOAD_FAILED;
}

int ConvertFailTextNo(int code)
{
    // -1 .. -16 in order; -12 (stopped or a step failed), -15 and -16 have later texts.
    static constexpr int kTexts[16] = {2250, 2251, 2252, 2253, 2254, 2255, 2256, 2257,
                                       2258, 2259, 2260, 2273, 2261, 2262, 2278, 2293};
    if (code <= -1 && code >= -16)
        return kTexts[-code - 1];
    return code == 1 || code == 2 ? 0 : kConvertFailedText;
}

int UploadFailTextNo(int code)
{
    switch (code) {
    case -101:
        return 2265;
    case -102:
        return 2266;
    case -103:
        return 2267;
    case -104:
        return 2269;
    case -106:
        return 2270;
    case -107:
        return 2271;
    case -108:
        return 2268;
    case -109:
        return 2274;
    case -110:
        return 2294;
    default:
        return 0; // -105 renames and retries; other codes carry no text
    }
}

} // namespace vx

namespace vx {

int SourceProblemTextNo(FileProblem problem)
{
    switch (problem) {
    case FileProblem::None:
        return 0;
    case FileProblem::Missing:
        return 2255;
    case FileProblem::NoPermission:
        return 2290;
    case FileProblem::NotRegular:
        return 2291;
    case FileProblem::LinkLoop:
        return 2292;
    case FileProblem::Folder:
    case FileProblem::NameTooLong:
    case FileProblem::Other:
        break;
    }
    return 2277;
}

} // namespace vx
