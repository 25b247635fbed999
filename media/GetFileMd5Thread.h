#pragma once
// The worker that computes the digest and upload length of converted files for the main
// window: it takes record copies from its queue, hashes the converted file (or the source when
// there is none) by the MD5 rule and posts each copy back as WM_MD5_RESULT. It lives until the
// window deletes it.

#include "media/RecordWorker.h"

#include <atomic>

namespace vx {

class CGetFileMd5Thread : public CRecordWorker
{
public:
    // md5Rule: the [md5] rule of Config.ini (CAppConfig::m_nMd5Rule); 0 or less counts as 1.
    CGetFileMd5Thread(CMessageLoop& loop, MsgTarget window, int md5Rule);
    ~CGetFileMd5Thread() override;

    bool AddTask(const _sLCItemData& record) { return AddFiles({record}); }

    // The rule is read anew for every file, so a change applies from the next file on.
    void SetMd5Rule(int rule) { m_nRule = rule; }

    // Cooperative stop: empties the queue, wakes the thread and waits up to 100 ms. Hashing
    // checks the stop between chunks, so a large file is left within milliseconds; the record
    // in hand is dropped unposted. True when the thread had returned within the wait.
    bool Stop();

    void SetTickMs(int tickMs) { m_nTickMs = tickMs; }

protected:
    void Process() override;

private:
    void GetMD5Info();

    std::atomic<int> m_nRule;
};

} // namespace vx
