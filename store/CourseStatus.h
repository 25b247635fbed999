#pragma once
// The status codes of a course file (`_sLCItemData::nStatus`) and the rules for changing them.
// Every writer of nStatus asks CanChangeStatus first, so a stray report (a late progress message
// for a task that was paused, a transfer result for a record the user converted again) cannot
// move a record backwards or past a stage it never went through.

#include "platform/FileCheck.h"

#include <cstdint>

namespace vx {

enum CourseStatus : int32_t
{
    CS_NONE = 0, // not a stored status: the "from" side of a record being added
    CS_MEDIA_FAILED = 1,
    CS_WAIT_MEDIAINFO = 2,
    CS_WAIT_CONVERT = 3,
    CS_CONVERT_FAILED = 4,
    CS_CONVERT_QUEUED = 5,
    CS_CONVERTING = 6,
    CS_CONVERT_STOPPED = 7,
    CS_CONVERTED = 8,
    CS_MD5_FAILED = 9,
    CS_WAIT_UPLOAD = 10,
    CS_UPLOAD_FAILED = 11,
    CS_UPLOAD_QUEUED = 12,
    CS_UPLOADING = 13,
    CS_UPLOAD_PAUSED = 14,
    CS_UPLOADED = 15,
};

constexpr int32_t kFirstStatus = CS_MEDIA_FAILED;
constexpr int32_t kLastStatus = CS_UPLOADED;

// True when a running program may move a record from `from` to `to`. Keeping the same status
// (repeated progress reports) is always allowed for a valid status. Adding a record is
// CS_NONE -> CS_WAIT_MEDIAINFO. The fold-back at load is not a transition: see FoldBackStatus.
bool CanChangeStatus(int32_t from, int32_t to);

// The status a stored record restarts in: anything before the conversion finished goes back to
// probing, anything after it back to the digest; uploaded stays uploaded.
int32_t FoldBackStatus(int32_t stored);

// Number of the language text that names the status; 0 for a value outside 1..15.
int StatusTextNo(int32_t status);
// The code's name ("CS_WAIT_UPLOAD"), or "" for a value outside 1..15.
const char* StatusName(int32_t status);

// Counts as work in progress: 2..14 except the failures 4, 9 and 11. A failed probe (1) waits
// for the user like the other failures, so it never keeps the machine awake.
bool IsWorkingStatus(int32_t status);

// Language texts of the failures, shared by the lists and the command line.
// A conversion result: -1..-16 its own text; 0 and any other unknown failure the generic
// kConvertFailedText; 1 and 2 (success, progress) none (0).
constexpr int kConvertFailedText = 2275;
int ConvertFailTextNo(int code);
// An upload result -101..-110: its text; -105 (renamed and retried) and anything else none (0).
int UploadFailTextNo(int code);
// The text of a source that cannot be read (missing, not readable by this user, not a regular
// file, a loop of links, ...); 0 for a readable one.
int SourceProblemTextNo(FileProblem problem);
// The upload file could not be renamed after the server refused the name (both attempts).
constexpr int kRenameFailedText = 2276;
// The file server refused the upload because the organisation's space is full.
constexpr int kSpaceFullText = 2280;
// The file server stayed busy with the same content on another connection.
constexpr int kUploadBusyText = 2281;

} // namespace vx
