#pragma once
// The main window's own messages and timers. The workers' messages are defined by their layers:
// media/MediaMessages.h (3030, 3031, 3033, 3043, 3044) and upload/UploadMessages.h (3025, 3029,
// 3045). Ids keep the window's numbering, WM_USER + 2001 to WM_USER + 2021; 2022 and 2023 are the client's
// own.

#include "app/UserOptions.h"
#include "media/MediaMessages.h"
#include "store/LCItemData.h"
#include "upload/UploadMessages.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vx {

// After the file-server list: start of the session (restore, workers, first feeds).
constexpr uint32_t WM_USER_INFO = WM_USER + 2002; // 3026
// The stored records of the session being started, read off the window's thread: payload
// MakePayload(LoadedRecords).
constexpr uint32_t WM_RECORDS_LOADED = WM_USER + 2022; // 3046
struct LoadedRecords
{
    uint64_t session = 0; // the session token when the read began
    bool ok = false;
    std::vector<_sLCItemData> rows;
    bool worksQueue = true; // the queue's lock was ours when they were read
    std::string holder;     // who holds it otherwise
};
// The answers of the session start's requests, asked off the window's thread: payload
// MakePayload(SessionAnswers).
constexpr uint32_t WM_SESSION_ANSWERS = WM_USER + 2024; // 3048
// The next chunk of the restored records: wParam the session token.
constexpr uint32_t WM_RESTORE_STEP = WM_USER + 2023; // 3047
// Another program works the queue of this database: wParam the session token, payload
// MakePayload(std::string) with who it is. The session waits for the queue.
constexpr uint32_t WM_QUEUE_HELD = WM_USER + 2028; // 3052
// Records other programs stored for the queue's worker, read off the window's thread: payload
// MakePayload(LoadedRecords).
constexpr uint32_t WM_RECORDS_PICKED_UP = WM_USER + 2029; // 3053
// A text to show later: payload MakePayload(std::string).
constexpr uint32_t WM_SHOW_MESSAGE = WM_USER + 2004; // 3028
// The account was signed in elsewhere: the session ends.
constexpr uint32_t WM_ACCOUNT_CHECK_OUT = WM_USER + 2013; // 3037
// Delete records: wParam 1 course list, 2 converted list; payload
// MakePayload(std::vector<std::string>) with their file indexes (a request without is ignored).
constexpr uint32_t WM_DELETE_ITEMS = WM_USER + 2015; // 3039
// Open the add-file dialog (a face with a file picker handles it).
constexpr uint32_t WM_ADD_FILES = WM_USER + 2016; // 3040

// Timers of the main window.
constexpr uint32_t TIMER_TRANS_PENDING = 103; // hand never-tried waiting records to the uploads
constexpr uint32_t TIMER_WORK_CHECK = 105;    // keep awake, or offer the shut-down when idle
constexpr uint32_t TIMER_SESSION_CHECK = 106; // the sign-out check
constexpr uint32_t TIMER_QUEUE_WAIT = 110;    // ask again for the queue another program works
constexpr uint32_t TIMER_QUEUE_PICKUP = 111;  // list the records other programs stored for us

constexpr int kTransPendingMs = 2000;
constexpr int kRenameRetryMs = 3000;
constexpr int kWorkCheckMs = 60000;
constexpr int kSessionCheckMs = 60000;
constexpr int kQueueRetryMs = 2000;
constexpr int kQueuePickUpMs = 5000;
// Restored records listed per turn of the loop.
constexpr size_t kRestoreChunk = 2500;

// The bits of the user's option word (kOptAutoShutdown, kOptAutoDelete, kOptTimeStamp) are in
// app/UserOptions.h.

// Message-box types: 1 information, 17 warning, 21 question (answer 1 means yes).
constexpr int MB_INFO = 1;
constexpr int MB_WARNING = 17;
constexpr int MB_QUESTION = 21;

} // namespace vx
