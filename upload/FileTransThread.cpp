#include "upload/FileTransThread.h"

#include "app/LogFile.h"
#include "app/Utils.h"
#include "platform/Crypto.h"
#include "platform/FileOps.h"
#include "platform/Paths.h"
#include "upload/TransProtocol.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <thread>

namespace vx {

namespace {

using Clock = std::chrono::steady_clock;

long long ll(int64_t v)
{
    return static_cast<long long>(v);
}

std::string HexOf(const std::string& raw)
{
    Md5Digest d{};
    std::memcpy(d.data(), raw.data(), std::min(raw.size(), d.size()));
    return DigestHex(d);
}

constexpr int kStepMs = 100;        // one wait step for the socket
constexpr int kSendSteps = 100;     // wait steps for buffer space before a send
constexpr int kSendStallMs = 10000; // a send that makes no progress for this long has failed

} // namespace

CFileTransThread::CFileTransThread(const _sTransWorkerParam& param, int index)
    : m_nIndex(index), m_pMgr(param.pMgr), m_fnReport(param.fnReport), m_strSvrHost(param.strHost),
      m_usSvrPort(param.usPort), m_i64OrgId(param.i64OrgId), m_i64UserId(param.i64UserId)
{
}

CFileTransThread::~CFileTransThread()
{
    m_bStop = true;
    Join();
}

std::string CFileTransThread::GetFileIndex() const
{
    std::lock_guard<std::mutex> lock(m_taskLock);
    return m_task.strFileIndex;
}

int CFileTransThread::AssignTask(const _sTransTask& task)
{
    // The previous run reports its end from inside its thread, so it may still be returning
    // when the manager hands out the next task: all that is left of it is a log line, so it is
    // waited for briefly; only a run that does not return in time is refused (the manager tries
    // again later).
    if (m_bBusy.load() || (IsRunning() && !Join(kReturnWaitMs)))
        return TRANS_BUSY;
    m_run = task;
    if (!task.strSvrHost.empty()) {
        m_strSvrHost = task.strSvrHost;
        m_usSvrPort = task.usSvrPort;
    }
    {
        std::lock_guard<std::mutex> lock(m_taskLock);
        m_task = task;
        m_bBusy = true;
        m_bStop = false;
        ++m_uRunSerial;
    }
    if (!Start()) {
        std::lock_guard<std::mutex> lock(m_taskLock);
        m_bBusy = false;
        m_uRunsEnded = m_uRunSerial;
        m_runEnded.notify_all();
        return TRANS_BUSY;
    }
    return TRANS_ASSIGNED;
}

uint64_t CFileTransThread::StopIfRunning(const std::string& fileIndex)
{
    std::lock_guard<std::mutex> lock(m_taskLock);
    if (!m_bBusy.load() || m_task.strFileIndex != fileIndex || m_uRunsEnded >= m_uRunSerial ||
        m_uRunDone >= m_uRunSerial)
        return 0;
    m_bStop = true;
    return m_uRunSerial;
}

bool CFileTransThread::IsRunningFor(const std::string& fileIndex) const
{
    std::lock_guard<std::mutex> lock(m_taskLock);
    return m_bBusy.load() && m_task.strFileIndex == fileIndex && m_uRunsEnded < m_uRunSerial &&
           m_uRunDone < m_uRunSerial;
}

bool CFileTransThread::ConfirmUploaded()
{
    // Decided under the same lock as a withdrawal: either the stop came first (no report, the
    // record is paused and the next attempt finds the file complete) or the withdrawal finds
    // the run done and leaves the record to this report.
    std::lock_guard<std::mutex> lock(m_taskLock);
    if (m_bStop)
        return false;
    m_uRunDone = m_uRunSerial;
    return true;
}

bool CFileTransThread::WaitRunEnd(uint64_t serial, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_taskLock);
    auto done = [&] { return m_uRunsEnded >= serial; };
    if (timeoutMs < 0) {
        m_runEnded.wait(lock, done);
        return true;
    }
    return m_runEnded.wait_for(lock, std::chrono::milliseconds(timeoutMs), done);
}

void CFileTransThread::Report(int8_t code, int64_t pos, int32_t interval)
{
    auto r = std::make_unique<_sTransReport>();
    r->i64FileId = m_run.i64FileId;
    r->strFileIndex = m_run.strFileIndex;
    r->i64Pos = pos;
    r->nInterval = interval;
    r->nCode = code;
    if (code < 0) {
        r->nSvrResult = m_nSvrResult;
        // The result is out: the run only closes its connection now.
        std::lock_guard<std::mutex> lock(m_taskLock);
        m_uRunDone = m_uRunSerial;
    }
    if (code == TR_WORKER_DONE)
        r->pWorker = this;
    if (m_fnReport)
        m_fnReport(std::move(r));
}

void CFileTransThread::Process()
{
    Log(g_transLog, "Info : start transfer, index=%d", m_nIndex);
    int ret = TRANS_STOPPED;
    if (!m_bStop) {
        ret = DoTransFile();
        Log(g_transLog, "Info : CFileTransThread::Process()    doTransfile  :%d time:%d", ret, 2);
    }
    // These results have not reported themselves yet; a stop reports no failure.
    if (!m_bStop && (ret == TRANS_OTHER_RESULT || ret == TRANS_NO_CONFIRM || ret == TRANS_BAD_ANSWER ||
                     ret == TRANS_SHORT || ret == TRANS_NO_ANSWER)) {
        Log(g_log, " FIleTransRet  failed :result:%d,time:%d", ret, 2);
        Report(static_cast<int8_t>(ret), m_run.i64StartPos);
    }
    {
        std::lock_guard<std::mutex> lock(m_taskLock);
        m_bBusy = false;
        m_uRunsEnded = m_uRunSerial;
        m_runEnded.notify_all();
    }
    Report(TR_WORKER_DONE, m_run.i64EndPos);
    Log(g_transLog, "Info : end transfer index=%d", m_nIndex);
}

int CFileTransThread::DoTransFile()
{
    m_nSvrResult = 0;
    m_bNoAnswer = false;
    Report(TR_PROGRESS, 0, 0);
    // A zero-length or inverted range has nothing a server could confirm.
    if (m_run.i64FileId < 0 || m_run.i64ParentId < 0 || m_run.strPath.empty() || m_run.i64EndPos <= 0 ||
        m_run.i64StartPos < 0 || m_run.i64StartPos > m_run.i64EndPos) {
        Report(TRANS_BAD_TASK, 0);
        return TRANS_BAD_TASK;
    }
    if (m_run.strMd5.size() != 16) {
        Report(TRANS_NO_MD5, 0);
        return TRANS_NO_MD5;
    }
    // The digest and the announced length describe the file as it was; one that has grown or
    // shrunk since would be stored wrongly or never confirmed.
    m_i64FileLength = m_run.i64EndPos;
    int64_t now = FileSize(m_run.strPath);
    if (now != m_i64FileLength) {
        Log(g_transLog,
            "Error : transfter file(%s) changed size since its digest, size=%lld, expected=%lld, "
            "thread_index=%d",
            PathText(), ll(now), ll(m_i64FileLength), m_nIndex);
        return TRANS_SHORT;
    }

    std::string err;
    if (!m_sock.Connect(m_strSvrHost, m_usSvrPort, m_tuning.nConnectTimeoutMs, &err)) {
        int code = errno;
        Log(g_transLog,
            "Error : Transfer file(%s), but connect socket(%s:%u) failed, code=%d, thread_index=%d",
            PathText(), m_strSvrHost.c_str(), static_cast<unsigned>(m_usSvrPort), code, m_nIndex);
        LogText(g_transLog, "Error : " + err);
        Report(TRANS_SOCKET, 0);
        return TRANS_SOCKET;
    }
    Log(g_transLog, "Info : init socket Ok, l_s=%d connecting to (%s) port=%d, thread_index=%d", m_sock.Fd(),
        m_strSvrHost.c_str(), m_usSvrPort, m_nIndex);

    int ret = TRANS_STOPPED;
    if (!m_bStop) {
        int r = InformToTrans();
        if (!m_bStop) {
            switch (r) {
            case TRANS_OK:
                if (ConfirmUploaded()) {
                    ret = TRANS_OK;
                    Report(TR_UPLOADED, m_run.i64EndPos);
                }
                break;
            case TRANS_ASSIGNED: {
                int64_t sent = DoTrans();
                if (m_bStop)
                    break;
                if (m_run.i64StartPos + sent == m_run.i64EndPos) {
                    if (Md5Check() > 0) {
                        if (ConfirmUploaded()) {
                            ret = TRANS_OK;
                            Report(TR_UPLOADED, m_run.i64StartPos + sent);
                        }
                    } else if (!m_bStop) {
                        ret = TRANS_NO_CONFIRM;
                    }
                } else {
                    ret = TRANS_SHORT;
                }
                break;
            }
            case TRANS_REFUSED_4:
            case TRANS_REFUSED:
                ret = r;
                Report(static_cast<int8_t>(r), m_run.i64StartPos);
                break;
            case TRANS_OTHER_RESULT:
                ret = r;
                break;
            default:
                // Silence is not garbage: the user is told the server did not answer.
                ret = m_bNoAnswer ? TRANS_NO_ANSWER : TRANS_BAD_ANSWER;
                break;
            }
        }
    }
    Log(g_transLog, "Info : DoTransFile end, thread_index=%d, sock=%d", m_nIndex, m_sock.Fd());
    CloseSocket();
    // After a failure the server is given a moment to let go of the connection before this
    // worker may connect again; a confirmed upload frees its slot at once.
    if (ret != TRANS_OK)
        for (int waited = 0; waited < m_tuning.nClosePauseMs && !m_bStop; waited += 50)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return ret;
}

void CFileTransThread::CloseSocket()
{
    if (!m_sock.IsValid())
        return;
    m_sock.SetLinger(true, 0); // the close resets the connection at once
    m_sock.Close();
}

int CFileTransThread::InformToTrans()
{
    Log(g_transLog, "Info : InformToTrans start, index=%d", m_nIndex);
    if (!m_sock.IsValid() || m_bStop)
        return TRANS_NO_SOCKET;

    TransAnnounce a;
    a.i64Start = m_run.i64StartPos;
    a.i64End = m_run.i64EndPos;
    a.md5 = m_run.strMd5;
    a.i64DirId = m_run.i64ParentId;
    a.i64FileId = m_run.i64FileId;
    a.i64OrgId = m_i64OrgId;
    a.i64UserId = m_i64UserId;
    a.cFileType = m_run.nFileType;
    a.strName = EncodeUploadName(m_run.strPath);
    a.usVersion = ProgramVersionNumber(GetAppVersion());
    std::string req = BuildTransAnnounce(a);
    const std::string md5Hex = HexOf(m_run.strMd5);
    Log(g_transLog,
        "Info : InformToTrans, index=%d, dirid=%lld, fileid=%lld, orgid=%lld, userid=%lld, type=:%d, "
        "file(%s), md5(%s), startpos(%lld), endpos(%lld)",
        m_nIndex, ll(a.i64DirId), ll(a.i64FileId), ll(a.i64OrgId), ll(a.i64UserId), a.cFileType, PathText(),
        md5Hex.c_str(), ll(a.i64Start), ll(a.i64End));
    if (req.empty()) {
        Log(g_transLog, "Error : InformToTrans, index=%d, file(%s), name too long", m_nIndex, PathText());
        return TRANS_BAD_ANSWER;
    }

    int ret = TRANS_BAD_ANSWER;
    // The answer lands in a zeroed buffer of the request's size: a short answer must never be
    // read together with what the request left there.
    std::vector<char> buf(req.size(), 0);
    size_t got = 0;
    if (!DoSend(req.data(), req.size()) || m_bStop || !DoRecv(buf.data(), buf.size(), &got) || m_bStop) {
        Log(g_transLog, "Info : InformToTrans end, index=%d. ret=%d", m_nIndex, ret);
        return ret;
    }
    TransAnswer ans;
    ParseTransAnswer(buf.data(), got, &ans);
    Log(g_transLog, "Info : InformToTrans, index=%d, type=%d, result=%d", m_nIndex, ans.cKind, ans.nResult);
    if (ans.nResult < 0)
        m_nSvrResult = ans.nResult;

    if (ans.cKind == kTransKindAnswer) {
        if (ans.nResult == kSrvOk) {
            if (!ans.bFull) {
                Log(g_transLog, "Error : InformToTrans, index=%d, file(%s), answer too short, len=%d",
                    m_nIndex, PathText(), static_cast<int>(got));
            } else if (ans.md5 != m_run.strMd5) {
                Log(g_transLog,
                    "Error : InformToTrans, index=%d, transfer file(%s), recv different md5 value(orig=%s, "
                    "recv=%s)",
                    m_nIndex, PathText(), md5Hex.c_str(), HexOf(ans.md5).c_str());
            } else {
                m_run.i64FileId = ans.i64FileId;
                Log(g_transLog,
                    "Info : InformToTrans, index=%d, server return [type=%d, result=%d, range=%lld--%lld, "
                    "id=%lld",
                    m_nIndex, ans.cKind, ans.nResult, ll(ans.i64RangeStart), ll(ans.i64RangeEnd),
                    ll(ans.i64FileId));
                // Beyond the file's own end there are no bytes to send.
                if (ans.i64RangeStart < 0 || ans.i64RangeStart >= ans.i64RangeEnd ||
                    ans.i64RangeEnd > m_i64FileLength) {
                    Log(g_transLog,
                        "Error : InformToTrans, index=%d, range exception, send range[%lld, %lld], retrun "
                        "range[%lld, %lld]",
                        m_nIndex, ll(m_run.i64StartPos), ll(m_run.i64EndPos), ll(ans.i64RangeStart),
                        ll(ans.i64RangeEnd));
                } else {
                    m_run.i64StartPos = ans.i64RangeStart;
                    m_run.i64EndPos = ans.i64RangeEnd;
                    ret = TRANS_ASSIGNED;
                }
            }
        } else if (ans.nResult == kSrvRefused6 || ans.nResult == kSrvRefused30000) {
            ret = TRANS_REFUSED;
        } else if (ans.nResult == kSrvRefused4) {
            ret = TRANS_REFUSED_4;
        } else {
            Log(g_transLog, "Error : InformToTrans, index=%d, file(%s), procotol result is : %d.", m_nIndex,
                PathText(), ans.nResult);
            ret = TRANS_OTHER_RESULT;
        }
    } else if (ans.cKind == kTransKindConfirm) {
        if (ans.nResult < 1) {
            Log(g_transLog, "Error: InformToTrans, index=%d, md5 check failed, transfer file(%s), result=%d",
                m_nIndex, PathText(), ans.nResult);
        } else if (!ans.bFull || ans.md5 != m_run.strMd5) {
            Log(g_transLog,
                "Error : InformToTrans, index=%d, file(%s), md5 check, but recv different md5 value(orig=%s, "
                "recv=%s)",
                m_nIndex, PathText(), md5Hex.c_str(), ans.bFull ? HexOf(ans.md5).c_str() : "");
        } else {
            m_run.i64FileId = ans.i64FileId;
            Log(g_transLog,
                "Info : InformToTrans, index=%d, md5 check, file(%s), result=%d, range[%lld--%lld], id=%lld",
                m_nIndex, PathText(), ans.nResult, ll(ans.i64RangeStart), ll(ans.i64RangeEnd),
                ll(ans.i64FileId));
            ret = TRANS_OK;
        }
    } else {
        Log(g_transLog, "Error : InformToTrans, index=%d, file(%s), unknown answer kind %d", m_nIndex,
            PathText(), ans.cKind);
    }
    Log(g_transLog, "Info : InformToTrans end, index=%d. ret=%d", m_nIndex, ret);
    return ret;
}

int64_t CFileTransThread::DoTrans()
{
    Log(g_transLog, "Info : DoTrans  start, index=%d, startpos=%lld", m_nIndex, ll(m_run.i64StartPos));
    FILE* f = OpenFile(m_run.strPath, "rbe"); // 'e': not inherited by encoder processes
    if (!f) {
        Log(g_transLog, "Error : transfter file(%s), but open the file failed, code=%d, thread_index=%d",
            PathText(), errno, m_nIndex);
        return 0;
    }
    if (m_run.i64StartPos > 0 && fseeko(f, static_cast<off_t>(m_run.i64StartPos), SEEK_SET) != 0) {
        Log(g_transLog, "Error : transfter file(%s), but file position failed, code=%d, thread_index=%d",
            PathText(), errno, m_nIndex);
        fclose(f);
        return 0;
    }
    if (m_buf.size() != kReadBlock)
        m_buf.resize(kReadBlock);

    // Exactly the range the server asked for, in large blocks: the bytes on the wire are the
    // same whatever the block size, and each block costs a system call.
    const int64_t need = m_run.i64EndPos - m_run.i64StartPos;
    const auto t0 = Clock::now();
    int64_t sent = 0;
    int64_t reported = 0;
    auto last = Clock::now();
    bool failed = false;
    while (sent < need && !m_bStop && !failed) {
        size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(kReadBlock), need - sent));
        size_t got = fread(m_buf.data(), 1, want, f);
        if (got == 0) {
            if (ferror(f))
                Log(g_transLog,
                    "Error : transfter file(%s), but read file failed(start=%lld, end=%lld, read=%lld), "
                    "code=%d, "
                    "thread_index=%d",
                    PathText(), ll(m_run.i64StartPos), ll(m_run.i64EndPos), ll(sent), errno, m_nIndex);
            break; // a file that shrank ends short and fails as such
        }
        for (size_t off = 0; off < got && !m_bStop;) {
            size_t piece = std::min(kSendPiece, got - off);
            if (!DoSend(m_buf.data() + off, piece)) {
                failed = true;
                break;
            }
            off += piece;
            sent += static_cast<int64_t>(piece);
            auto now = Clock::now();
            if (now - last >= std::chrono::milliseconds(kProgressMs) && !m_bStop) {
                int64_t interval = std::min<int64_t>(sent - reported, INT32_MAX);
                Report(TR_PROGRESS, m_run.i64StartPos + reported, static_cast<int32_t>(interval));
                reported = sent;
                last = now;
            }
        }
    }
    m_i64LastSent = sent;
    m_i64LastSendUs = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t0).count();
    if (fclose(f) != 0)
        Log(g_transLog, "Warning : transfter file(%s), but close the file failed, code=%d", PathText(),
            errno);
    Log(g_transLog, "Info : DoTrans end, thread_index=%d, transfered size=%lld", m_nIndex, ll(sent));
    return sent;
}

int8_t CFileTransThread::Md5Check()
{
    Log(g_transLog, "Info : Md5Check  start, thread_index=%d", m_nIndex);
    char b[kTransHeadLen] = {};
    size_t got = 0;
    int8_t res = 0;
    if (DoRecv(b, sizeof(b), &got)) {
        TransAnswer a;
        if (ParseTransAnswer(b, got, &a) && a.cKind == kTransKindConfirm)
            res = static_cast<int8_t>(static_cast<uint8_t>(a.nResult & 0xFF));
    }
    Log(g_transLog, "Info : Md5Check end, result=%d, thread_index=%d", res, m_nIndex);
    return res;
}

bool CFileTransThread::DoSend(const void* data, size_t len)
{
    if (len == 0 || !m_sock.IsValid())
        return false;
    int steps = 0;
    while (!WaitWritable(m_sock, kStepMs)) {
        if (m_bStop || ++steps >= kSendSteps) {
            Log(g_transLog,
                "Error : Stop=%d ,transfer file(%s), DoSend, time out, Len=%d, code=%d, thread_index=%d",
                m_bStop ? 1 : 0, PathText(), static_cast<int>(len), errno, m_nIndex);
            return false;
        }
    }
    if (m_bStop) {
        Log(g_transLog,
            "Error : Stop=%d ,transfer file(%s), DoSend, time out, Len=%d, code=%d, thread_index=%d", 1,
            PathText(), static_cast<int>(len), 0, m_nIndex);
        return false;
    }
    SockResult r = m_sock.SendAll(data, len, kSendStallMs, &m_bStop);
    if (r != SockResult::Ok) {
        Log(g_transLog, "Error : transfer file(%s), do send failed, len=%d, code=%d, thread_index=%d",
            PathText(), static_cast<int>(len), errno, m_nIndex);
        return false;
    }
    return true;
}

int CFileTransThread::RecvSteps() const
{
    int recvNum = m_tuning.nRecvNum >= 0 ? m_tuning.nRecvNum : 101;
    return RecvWaitSteps(m_run.i64EndPos, recvNum);
}

bool CFileTransThread::DoRecv(void* buf, size_t capacity, size_t* got)
{
    *got = 0;
    if (!m_sock.IsValid() || capacity < kTransHeadLen)
        return false;
    char* p = static_cast<char*>(buf);
    int steps = RecvSteps();
    size_t need = kTransHeadLen;
    size_t total = 0;
    while (*got < need) {
        if (m_bStop || steps <= 0) {
            m_bNoAnswer = !m_bStop && *got == 0; // silence, not a stalled answer
            Log(g_transLog,
                "Error : Stop=%d ,times=%d, transfer file(%s), DoRecv, time out, len=%d, code=%d, "
                "thread_index=%d",
                m_bStop ? 1 : 0, RecvWaitFactor(m_run.i64EndPos), PathText(), static_cast<int>(*got), 0,
                m_nIndex);
            return false;
        }
        if (!WaitReadable(m_sock, kStepMs)) {
            --steps;
            continue;
        }
        size_t n = 0;
        // Never read past the message: what follows belongs to the next step of the exchange.
        SockResult r = m_sock.RecvSome(p + *got, need - *got, 0, &n);
        if (r == SockResult::Timeout)
            continue;
        if (r != SockResult::Ok) {
            if (*got < kTransHeadLen)
                Log(g_transLog, "Error : transfer file(%s), do recv head failed, code=%d, thread_index=%d",
                    PathText(), errno, m_nIndex);
            else
                Log(g_transLog, "Error : transfer file(%s), do recv failed, code=%d, thread_index=%d",
                    PathText(), errno, m_nIndex);
            return false;
        }
        *got += n;
        if (total == 0 && *got >= kTransHeadLen) {
            total = GetLe(reinterpret_cast<unsigned char*>(p), 2) + kTransHeadLen;
            if (total > capacity) {
                Log(g_transLog, "Error : transfer file(%s), answer of %d bytes exceeds %d, thread_index=%d",
                    PathText(), static_cast<int>(total), static_cast<int>(capacity), m_nIndex);
                return false;
            }
            need = total;
        }
    }
    return *got == total;
}

} // namespace vx
