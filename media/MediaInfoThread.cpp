#include "media/MediaInfoThread.h"

#include "app/LogFile.h"
#include "media/MediaInfo.h"
#include "media/MediaMessages.h"
#include "platform/File.h"
#include "platform/Paths.h"

#include <cerrno>

namespace vx {

CMediaInfoThread::CMediaInfoThread(CMessageLoop& loop, MsgTarget window)
    : CRecordWorker(loop, window, "CMediaInfoThread", WM_MEDIAINFO_RESULT)
{
    Log(g_log, "Info : CMediaInfoThread::CMediaInfoThread  start~~~~");
}

CMediaInfoThread::~CMediaInfoThread()
{
    if (!Stop())
        Join(); // a probe cannot be interrupted inside the library; it posts nothing once stopped
    Log(g_log, "Info : CMediaInfoThread::~CMediaInfoThread  exit~~~~");
}

bool CMediaInfoThread::Stop()
{
    size_t dropped = DropQueue();
    Log(g_log, "Info : CMediaInfoThread::Stop()  ,m_vFile:%zu", dropped);
    return WakeAndJoin("Info : CMediaInfoThread ： wait_object_0",
                       "Info : CMediaInfoThread：shutoff Mediainfo Thread!");
}

void CMediaInfoThread::Process()
{
    int64_t lastActivity = NowMs();
    RunLoop(
        [&] {
            lastActivity = NowMs();
            GetMediaInfo();
            return true;
        },
        [&](size_t queued) {
            // The queue is looked at before the idle limit: a record added late must be
            // handled, not left behind in a thread that is about to end.
            if (queued == 0 && NowMs() - lastActivity > m_nIdleLimitMs) {
                // Closing and clearing the running flag happen under the queue lock, so AddFiles
                // either lands before (and is handled) or is refused (and the window makes a new
                // thread).
                if (m_vFile.CloseIfEmpty([this] { m_bRunning = false; })) {
                    Log(g_log, "Info : CMediaInfoThread process  wait  time out  :%zu", queued);
                    return false;
                }
                queued = m_vFile.Size();
            }
            Log(g_log, "Info : CMediaInfoThread process  wait  time out --continue :%zu", queued);
            if (queued > 0) {
                lastActivity = NowMs();
                m_hEvent.Set();
            }
            return true;
        });
    m_bRunning = false;
    bool terminated = m_bTerminate.load();
    Log(g_log, "Info : Get file mediainfo finish ,  m_bTerminate:%d ", terminated ? 1 : 0);
    if (!terminated)
        m_loop.PostMsg(m_window, WM_CHECK_MEDIAINFO, 1);
}

void CMediaInfoThread::GetMediaInfo()
{
    m_hEvent.Reset();
    _sLCItemData item;
    if (!m_vFile.TakeFirst(&item)) {
        Log(g_log, "Info : exception CMediaInfoThread::GetMediaInfo ,GetFirstItem();  is null ");
        return;
    }
    Log(g_log, "Info : CMediaInfoThread::GetMediaInfo ,GetFirstItem();  is filename:%s",
        item.strFilePath.c_str());

    int64_t code = 0;
    int probeStatus = 0;
    if (!FileExists(item.strFilePath)) {
        Log(g_log, "Error :Media:Coursefile:Name  %s not  exist  \r'n  ", item.strFilePath.c_str());
        code = -1;
    } else if (m_bTerminate) {
        return;
    } else if (item.nFileType == 1) {
        CFile file;
        if (!file.Open(item.strFilePath, CFile::Mode::Read)) {
            Log(g_log, "Error : CMediaInfoThread::Process, Open file(%s) failed, code=%d",
                item.strFilePath.c_str(), file.LastError());
            code = -2;
        } else {
            int64_t end = file.Size();
            file.Close();
            if (end < 0) {
                Log(g_log, "Error : CMediaInfoThread::Process, Open file(%s) failed, code=%d",
                    item.strFilePath.c_str(), file.LastError());
                code = -2;
            } else if (!m_bTerminate) {
                item.i64FileSize = end;
                item.nStatus = CS_WAIT_CONVERT;
                Post(0, std::move(item));
            }
        }
    } else if (item.nFileType == 0) {
        CMediaInfo probe(item.strFilePath);
        MiData mi;
        probeStatus = probe.GetMiData(&mi);
        if (probeStatus != MI_OK) {
            Log(g_log, "CMediaInfo:filename: %s  errcode :%d", item.strFilePath.c_str(), probeStatus);
            code = -3;
        } else if (!m_bTerminate) {
            item.i64FileSize = mi.i64FileSize;
            item.nFileBits = mi.nBitRate[MI_GENERAL] / 1000;
            item.nWidth = mi.nWidth;
            item.nHeight = mi.nHeight;
            item.nStatus = CS_WAIT_CONVERT;
            item.miData = std::move(mi);
            Post(0, std::move(item));
        }
    }
    // Any other file type: the copy is dropped.

    if (m_bTerminate)
        return;
    if (code < 0) {
        std::string path = item.strFilePath;
        item.nStatus = CS_MEDIA_FAILED;
        Post(code, std::move(item));
        Log(g_log, "Error : Get file Mediainfo  error!  PathFile = %s lret=%d ", path.c_str(), probeStatus);
    }
    m_hEvent.Set(); // the next queued record follows at once
}

} // namespace vx
