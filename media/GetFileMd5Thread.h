#pragma once
// The worker that computes the digest and upload length of converted files for the main
// window: it takes record copies from its queue, hashes the converted file (or the source when
// there is none) by the MD5 rule and posts each copy back as WM_MD5_RESULT. It lives until the
// window deletes it.

#include "media/RecordWorker.h"

namespace vx {

class CGetFileMd5Thread : public CRecordWorker
{
public:
    CGetFileMd5Thread(CMessageLoop& loop, MsgTarget window);
    ~CGetFileMd5Thread() override;

    bool AddTask(const _sLCItemData& record) { return AddFiles({record}); }

    // The sampling rule of a file: the [md5] rule of the configuration file as it stands when
    // the file's turn comes (4 when none is set; 0 or less counts as 1). Read anew for every
    // file, so a changed Config.ini applies from the next file on.
    static int ConfiguredRule();

    // Cooperative stop: empties the queue, wakes the thread and waits up to 100 ms. Hashing
    // checks the stop between chunks, so a large file is left within milliseconds; the record
    // in hand is dropped unposted. True when the thread had returned within the wait.
    bool Stop();

    void SetTickMs(int tickMs) { m_nTickMs = tickMs; }

protected:
    void Process() override;

private:
    void GetMD5Info();
};

} // namespace vx
