#include "media/GetFileMd5Thread.h"

#include "app/AppConfig.h"
#include "app/LogFile.h"
#include "media/FileMd5.h"
#include "media/MediaMessages.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"

#include <cstdlib>

namespace vx {

CGetFileMd5Thread::CGetFileMd5Thread(CMessageLoop& loop, MsgTarget window)
    : CRecordWorker(loop, window, "CGetFileMd5Thread", WM_MD5_RESULT)
{
    Log(g_log, "Info : CGetFileMd5Thread::CGetFileMd5Thread  start~~~~");
}

CGetFileMd5Thread::~CGetFileMd5Thread()
{
    Log(g_log, "Info : CGetFileMd5Thread::~CGetFileMd5Thread  start~~~~");
    if (!Stop())
        Join();
    Log(g_log, "Info : CGetFileMd5Thread::~CGetFileMd5Thread  exit~~~~");
}

int CGetFileMd5Thread::ConfiguredRule()
{
    // The file, not the settings object: that one holds the rule as it was at start-up.
    std::string text = IniRead(CAppConfig::Instance().ConfigPath(), "md5", "rule");
    return text.empty() ? 4 : atoi(text.c_str());
}

bool CGetFileMd5Thread::Stop()
{
    m_bTerminate = true;
    Log(g_log, "Info : CGetFileMd5Thread::  m_vFile1:%zu  ", m_vFile.Size());
    size_t dropped = DropQueue();
    Log(g_log, "Info : CGetFileMd5Thread::  m_vFile:%zu  ", dropped);
    return WakeAndJoin("Info : CGetFileMd5Thread wait_object_0",
                       "Info : CGetFileMd5Thread shutoff getfile md5 thread!");
}

void CGetFileMd5Thread::Process()
{
    m_bRunning = true;
    RunLoop(
        [this] {
            if (m_bTerminate)
                return false;
            GetMD5Info();
            return true;
        },
        [this](size_t queued) {
            if (queued > 0) {
                Log(g_log, "Info : CGetFileMd5Thread process  wait  time out--continue  :%zu", queued);
                m_hEvent.Set();
            }
            return true;
        });
    m_vFile.Close();
    m_bRunning = false;
    Log(g_log, "Info : Get file md5 finish,  m_bTerminate:%d ", m_bTerminate ? 1 : 0);
}

void CGetFileMd5Thread::GetMD5Info()
{
    m_hEvent.Reset();
    _sLCItemData item;
    if (!m_vFile.TakeFirst(&item)) {
        Log(g_log, "Info : Md5 GetMD5Info ,GetFirstItem();  is null ");
        return;
    }
    Log(g_log, "Info : Md5 GetFirstItem();  is filename:%s", item.strFilePath.c_str());
    int rule = EffectiveMd5Rule(ConfiguredRule());
    const std::string path = item.strConvertPath.empty() ? item.strFilePath : item.strConvertPath;

    int64_t code = 0;
    int sysError = 0;
    if (!FileExists(path)) {
        Log(g_log, "Error : MD5:Coursefile:Name  %s not  exist  \r\n  ", path.c_str());
        code = -1;
    } else {
        bool whole = IsWholeFileMd5(path);
        Log(g_log, "Info : file md5 rule=%d", rule);
        int64_t start = NowMs();
        FileMd5Result r;
        int rc = GetFileMd5ByRule(path, rule, whole, &m_bTerminate, &r);
        sysError = r.nErrno;
        if (rc == MD5_FILE_MISSING) {
            code = -1;
        } else if (rc == MD5_READ_FAILED) {
            // A read that fails part-way must not pass for the end of the file.
            code = -2;
        } else {
            Log(g_log, "Info : 耗时 %s：%lld ", path.c_str(), static_cast<long long>(NowMs() - start));
            if (rc == MD5_STOPPED || m_bTerminate)
                return; // stopped: the copy is dropped, the window's record keeps its status
            item.strMd5 = r.strMd5;
            item.i64FileEnd = r.i64Length;
            item.nStatus = CS_WAIT_UPLOAD;
            Post(0, std::move(item));
        }
    }

    if (m_bTerminate)
        return;
    if (code < 0) {
        item.nStatus = CS_MD5_FAILED;
        Post(code, std::move(item));
        Log(g_log, "Error : Get file md5 error!  PathFile = %s,code:%d,l_cResult:%lld", path.c_str(),
            sysError, static_cast<long long>(code));
    }
    m_hEvent.Set();
}

} // namespace vx
