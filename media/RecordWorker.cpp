#include "media/RecordWorker.h"

#include "app/LogFile.h"
#include "media/MediaMessages.h"

#include <chrono>
#include <thread>

namespace vx {
namespace {

constexpr int kStopWaitMs = 100;

} // namespace

CRecordWorker::CRecordWorker(CMessageLoop& loop, MsgTarget window, const char* name, uint32_t resultMsg)
    : m_loop(loop), m_window(window), m_pszName(name), m_uResultMsg(resultMsg)
{
}

bool CRecordWorker::AddFiles(const std::vector<_sLCItemData>& records)
{
    if (!m_bRunning.load())
        return false;
    return m_vFile.Add(records);
}

size_t CRecordWorker::DropQueue()
{
    m_bTerminate = true;
    m_vFile.Close();
    return m_vFile.Clear();
}

bool CRecordWorker::WakeAndJoin(const std::string& joinedText, const std::string& timedOutText)
{
    m_hEvent.Set();
    std::this_thread::yield();
    bool joined = Join(kStopWaitMs);
    LogText(g_log, joined ? joinedText : timedOutText);
    m_bRunning = false;
    return joined;
}

void CRecordWorker::Post(int64_t code, _sLCItemData&& record)
{
    m_loop.PostMsg(m_window, m_uResultMsg, ResultParam(code), MakePayload(std::move(record)));
}

void CRecordWorker::RunLoop(const std::function<bool()>& onWake,
                            const std::function<bool(size_t queued)>& onTick)
{
    for (;;) {
        if (m_bTerminate) {
            Log(g_log, "Info : %s process  Break ~~~  :%zu", m_pszName, m_vFile.Size());
            break;
        }
        if (m_hEvent.Wait(m_nTickMs)) {
            if (!onWake())
                break;
            continue;
        }
        if (m_bTerminate) {
            Log(g_log, "Info : %s process  Break ~1~~  ", m_pszName);
            break;
        }
        if (!onTick(m_vFile.Size()))
            break;
    }
}

int64_t CRecordWorker::NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace vx
