#pragma once
// What the main window, the transfer manager and its upload workers hand each other. Plain
// values; a report travels to the window inside a std::unique_ptr and belongs to its holder.

#include "platform/MessageLoop.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vx {

class CThread;

// Handed to the transfer manager's Init.
struct _sTransInit
{
    // Number of upload workers. Only the low eight bits count, as a worker count never
    // exceeds what the settings window offers.
    int32_t m_uMaxWorkNum = 2;
    MsgTarget hWnd = 0;     // receives the reports
    uint32_t uMsgId = 0;    // WM_TRANS_RESULT (3029) in the main window
    std::string strSvrHost; // default file server
    uint16_t usSvrPort = 0;
    int64_t i64OrgId = 0;
    int64_t i64UserId = 0;

    uint8_t WorkerCount() const { return static_cast<uint8_t>(m_uMaxWorkNum & 0xFF); }
    bool operator==(const _sTransInit&) const = default;
};

enum TransFileType : uint8_t
{
    TRANS_FLV = 1,
    TRANS_PDF = 2,
    TRANS_SWF = 3
};

// One upload (an element of the manager's m_listTransData).
struct _sTransTask
{
    std::string strFileIndex;
    int64_t i64FileId = 0;   // 0 for a new file; the server's id afterwards
    int64_t i64ParentId = 0; // remote folder ("ParentDirId" in the log)
    std::string strMd5;      // the raw 16-byte digest (the record's hexadecimal strMd5 decoded)
    std::string strPath;     // the file to upload (strConvertPath)
    int64_t i64StartPos = 0; // resume offset
    int64_t i64EndPos = 0;   // file length
    uint8_t nFileType = TRANS_FLV;
    std::string strSvrHost; // dotted IPv4 address of the file server for this file
    uint16_t usSvrPort = 0;

    bool operator==(const _sTransTask&) const = default;
};

enum TransReportCode : int8_t
{
    TR_UPLOADED = 1,
    TR_PROGRESS = 2,
    TR_WORKER_DONE = 21 // internal: the worker's run has ended; pWorker is set
    // negative values: failure codes of the upload
};

// A worker's report; the receiver owns it.
struct _sTransReport
{
    int64_t i64FileId = 0;      // the worker's current file id
    std::string strFileIndex;   // "" when the task had none
    int64_t i64Pos = 0;         // bytes known to be on the server
    int32_t nInterval = 0;      // bytes sent since the previous progress report
    int8_t nCode = 0;           // TransReportCode or a negative failure code
    CThread* pWorker = nullptr; // only with TR_WORKER_DONE; not owned
    // With a failure code: the result the file server answered the announcement with (its own
    // refusal, e.g. -1 or -5), 0 when it gave none. The code alone cannot tell the user why.
    int32_t nSvrResult = 0;

    bool operator==(const _sTransReport&) const = default;
};

using TransReportPtr = std::unique_ptr<_sTransReport>;

} // namespace vx
