#pragma once
// The course pipeline: moves course files from "added" to "in the remote folder". It feeds the
// records of the course list to the probe worker, the convert manager, the digest worker and the
// transfer manager, applies every result they post back, stores every status change in the
// local database (so a restart continues where work stopped), shows finished uploads in the
// space list, keeps the computer awake while work is pending and offers the shut-down when
// everything is done. It runs on the thread of its message loop (the user-interface thread) and
// is written against the four models and the user interface of PipelineModels.h.
//
// Records are always named by their file index and looked up again after anything that may
// have changed the lists (a question to the user, a nested message), never held by pointer.

#include "app/AppConfig.h"
#include "net/SpaceApi.h"
#include "pipeline/CourseReports.h"
#include "pipeline/PipelineMessages.h"
#include "pipeline/PipelineModels.h"
#include "platform/MessageLoop.h"
#include "platform/PowerRequest.h"
#include "store/ConvertRecords.h"
#include "store/LocalDb.h"
#include "store/TransRecords.h"
#include "upload/FileServerList.h"

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace vx {

class CConvertMgr;
class CFileLock;
class CFileTransMgr;
class CGetFileMd5Thread;
class CMediaInfoThread;
class CTestNetWorkThread;

// What the pipeline works with; every reference must outlive it.
struct PipelineDeps
{
    CMessageLoop& loop;
    CAppConfig& config;
    CLocalDb& db;
    CSpaceApi& api;
    ICourseList& courseList;
    IConvertedList& convertedList;
    IFolderTree& tree;
    ISpaceList& spaceList;
    IPipelineUi& ui;
    IPowerRequest& power;
};

// What the session start's requests brought back (payload of WM_SESSION_ANSWERS).
struct SessionAnswers
{
    uint64_t session = 0; // the session token when they were asked
    CFileServerList servers;
    std::unique_ptr<CTestNetWorkThread> speedTest; // started over the servers offered
    bool serversFailed = false;
    std::string serversError;
    bool treeOk = false;
    std::vector<SpaceEntry> top; // the top of the folder tree
    std::string treeError;
};

struct PipelineTuning
{
    int speedTestMs = 10000; // measuring time of the file-server speed test
    int workCheckMs = kWorkCheckMs;
    // Hold the keep-awake request whenever something is working, not only with the automatic
    // shut-down option (a headless run must not let the machine fall asleep under it).
    bool keepAwakeWhileWorking = false;
    // Where the encoders (codecs/), Ext.data and the shipped pictures are; empty: beside the
    // program.
    std::string strProgramFolder;
    // Conversion output folder for this session instead of the user's (not stored); empty: the
    // user's.
    std::string strConvertPath;
    // The sign-out check of timer 106. The pipeline hands it a completion; the caller runs the
    // request wherever suits it (the window off its thread) and calls done(true) on the
    // pipeline's thread when the account was signed in elsewhere. A check still running when the
    // timer fires again is not doubled. Empty: the timer is not started.
    std::function<void(std::function<void(bool signedOut)> done)> checkSignOut;
    int sessionCheckMs = kSessionCheckMs;
    // Restored records listed per turn of the loop at a session start.
    size_t restoreChunk = kRestoreChunk;
    // An upload that failed for a passing cause (the connection lost or refused, no answer, the
    // digest unconfirmed) is handed over again after a pause, at most uploadRetries times per file;
    // the pause starts at retryFirstMs and doubles up to retryMaxMs. 0: never (the window's user
    // uploads again by hand).
    int uploadRetries = 0;
    int retryFirstMs = 1000;
    int retryMaxMs = 30000;
    // The queue of the database has one worker at a time, whichever program it is: the one that
    // holds this lock (QueueLockPath) hands records to the workers; the others only add records,
    // which the worker lists from the database (PickUpStored). Null: this pipeline works the
    // queue alone (tests with a database of their own).
    std::shared_ptr<CFileLock> queueLock;
    // Written into the lock for the others: program and process id.
    std::string queueOwner;
    // Another program holds the lock at the session start: wait for it (the window: asked again
    // every queueRetryMs, the user told once), or run the session without working the queue (the
    // command line adding files for the worker).
    bool waitForQueue = true;
    int queueRetryMs = kQueueRetryMs;
    // How often the worker looks for records the others stored (0: only when asked).
    int pickUpMs = 0;
};

class CCoursePipeline : public IMsgHandler
{
public:
    explicit CCoursePipeline(const PipelineDeps& deps, const PipelineTuning& tuning = {});
    // Ends the session (ReleaseTaskS) if it is still running.
    ~CCoursePipeline() override;
    CCoursePipeline(const CCoursePipeline&) = delete;
    CCoursePipeline& operator=(const CCoursePipeline&) = delete;

    MsgTarget Target() const { return m_target; }
    const PipelineDeps& Deps() const { return m_deps; }
    int64_t UserId() const { return m_deps.config.m_i64UserId; }

    void OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload) override;

    // --- session -------------------------------------------------------------------------
    // WM_FILESERVER_LIST: the file-server list, the speed test and the top of the folder tree,
    // asked off the pipeline's thread; WM_SESSION_ANSWERS (OnSessionAnswers) applies them and
    // posts WM_USER_INFO.
    void OnFileServerList();
    void OnSessionAnswers(SessionAnswers&& answers);
    // WM_USER_INFO: folder tree, quota, options (and the start-up settings the first time,
    // IPipelineUi::AskStartSettings), then the stored records are read on a thread of the
    // database's; WM_RECORDS_LOADED lists them, starts the workers and the first feeds, and only
    // then is the session running (IPipelineUi::SessionStarted).
    void StartSession();
    void OnRecordsLoaded(LoadedRecords&& loaded);
    // WM_RESTORE_STEP: the next chunk of the restored records; the last one starts the session.
    void OnRestoreStep(uint64_t session);
    // Loads the user's stored records into the lists, folded back (the second form: records
    // already read).
    void RestoreRecords();
    void RestoreRecords(std::vector<_sLCItemData> rows);
    void InItTaskS();
    void ReleaseTaskS();
    // Closing: asks first when conversions are running; false when the user keeps them.
    bool OnClose();
    bool IsSessionRunning() const { return m_bSession; }

    // --- the queue's one worker ------------------------------------------------------------
    // Whether this session works the queue (always, without a queue lock); otherwise who does.
    bool WorksQueue() const { return m_bWorksQueue; }
    const std::string& QueueHolder() const { return m_strQueueHolder; }
    // Lists the records that other programs stored for the worker, and feeds them: read off this
    // thread (WM_RECORDS_PICKED_UP). Does nothing unless the session works the queue.
    void PickUpStored();
    // A session that does not work the queue tries to take it over (the worker has ended); on
    // success every record is read again, since the worker has changed them (the session runs
    // again once they are listed). False while another program holds it.
    bool TakeOverQueue();
    // The worker has nothing left to do: it lists what the others stored meanwhile (true: work
    // on), else lets the queue go. Records stored after that are then either waiting for the
    // next worker, who has taken the queue meanwhile, or taken up here after all: the queue is
    // taken again and read anew (true: work on once the session runs again).
    bool HandOverQueue();
    // Lets the queue go after the database jobs queued so far (a sign-out's write-back), so the
    // next worker reads what this session wrote last.
    void ReleaseQueue();

    // --- stages --------------------------------------------------------------------------
    void CheckMediaInfo(uint64_t wParam);
    void OnMediaInfoResult(int64_t code, _sLCItemData&& copy);
    // 1 accepted, 0 refused or no path, -1 source missing (and -2 no such record).
    int AddConvertItem(const std::string& fileIndex);
    // Documents are copied instead of converted; 1 (-1 for no record).
    int DealUnVideoFiles(const std::string& fileIndex);
    void OnConvertResult(const _sConvertReport& report);
    void CheckFileMd5(uint64_t wParam);
    void OnMD5Message(int64_t code, _sLCItemData&& copy);
    // 1 accepted or already uploading; -1 no upload file; -2 unsupported type; -3 refused by
    // the transfer manager; -4 waiting for the speed test.
    int AddTransItem(const std::string& fileIndex);
    void OnTransResult(const _sTransReport& report);
    void OnTransPending();
    // Hand-overs again after passing failures: in all, and of one file.
    int UploadRetries() const { return m_nRetriesTotal; }
    int UploadRetries(const std::string& fileIndex) const;
    void OnFileServerTest(uint32_t address, const FileServerChoice& choice);
    // WM_FILESERVER_FIRST: the first server that agreed to the speed test (testId: its Id).
    void OnFirstFileServer(uint64_t testId, const FileServerChoice& choice);
    // The server that takes uploads without an assignment while the speed test measures: the
    // first that agreed to it; none before that and once the test's choice has been applied.
    std::optional<FileServerChoice> ProvisionalServer() const;
    bool AddFinishFileToSpace(const _sLCItemData& record);

    // --- the user's commands, on the given records (the faces pass the checked ones) -------
    void CourseUpLoadFile(const std::vector<std::string>& fileIndexes);
    void PauseUpload(const std::vector<std::string>& fileIndexes);
    void CourseConvertFile(const std::vector<std::string>& fileIndexes);
    void CoursePauseConvertFile(const std::vector<std::string>& fileIndexes);
    // From the course list ("lcdelBtn") and from the converted list ("doneDel").
    void DeleteProcessItem(const std::vector<std::string>& fileIndexes);
    void DeleteDoneItem(const std::vector<std::string>& fileIndexes);
    // Leaves a listed record alone until the user acts on it (a face that knows it cannot get
    // further, such as a source that is gone): it fails where it stands (probe failed before
    // its conversion, upload failed after it) with `cause` as its tooltip, and no worker is given
    // it. Not stored: the next start finds it as it was. False when the course list lacks it.
    bool HoldRecord(const std::string& fileIndex, const std::string& cause);

    // --- state ---------------------------------------------------------------------------
    // GB (2^30 bytes) the records in the pipeline will occupy, computed from the records:
    // probed up to the digest their source size, digested their upload size.
    double InProcessSize() const;
    bool IsCourseWorking() const;
    // True while any worker holds or owes something: a probe or digest due (records waiting for
    // the probe included: every addition and session start feeds them), a conversion or upload
    // queued or running, a hand-over of timer 103 due, the speed test measuring. Records that
    // count as working while nothing is in flight are waiting for the user (a file vanished
    // between stages, an upload paused).
    bool HasWorkInFlight() const;
    // The rule for keeping the computer awake and for offering the shut-down, in every face:
    // records are working and something will move them on without the user.
    bool IsWorkPending() const { return IsCourseWorking() && HasWorkInFlight(); }
    void CheckCourseIsWorkToTrans();
    void SetInfoData(uint64_t bits);
    // After the intake added records: feed the probe worker, re-arm the work check.
    void OnFilesAdded();
    void ShowMessageAsync(const std::string& text);

    const SpaceQuota& Quota() const { return m_quota; }
    void SetQuota(const SpaceQuota& q) { m_quota = q; }
    const _sSetData& Options() const { return m_deps.config.m_setData; }
    int64_t RootFolder() const;
    CConvertMgr* ConvertMgr() const { return m_pConvertMgr.get(); }
    CFileTransMgr* TransMgr() const { return m_pFileTransMgr.get(); }
    CTestNetWorkThread* SpeedTest() const { return m_pTestNetWork.get(); }
    CFileServerList& FileServers() { return m_fileServers; }
    CMediaInfoThread* MediaThread() const { return m_pMediaThread.get(); }
    CGetFileMd5Thread* Md5Thread() const { return m_pGetMd5Thread.get(); }
    // Session start requests of earlier starts still running (a sign-out and in again against a
    // slow server); they end on their own and are joined once done.
    size_t SessionRequestsRunning() const;
    // Replaces the speed test (tests, or a face that measured already); may be null.
    void SetSpeedTest(std::unique_ptr<CTestNetWorkThread> test);

    // The folder of codecs/, Ext.data and the shipped pictures.
    std::string ProgramFolder() const;
    // How reports change records (tests set its clock to time the upload speed).
    CCourseReports& Reports() { return m_reports; }

    // The language text of a number with "@n" as line breaks.
    std::string Text(int number) const { return m_deps.config.GetText(number); }

private:
    _sLCItemData* Find(const std::string& fileIndex) { return m_deps.courseList.Find(fileIndex); }
    // Sets the status when the rules allow it; false (nothing changed) otherwise.
    bool SetStatus(_sLCItemData& r, int32_t status);
    void Store(const _sLCItemData& r);
    // The converted list's element takes the record as it is now (added when missing).
    void SyncConverted(const _sLCItemData& r);
    void Changed(const _sLCItemData& r);
    void InitMediaThread();
    void InitMd5Thread();
    void GiveToMd5(const _sLCItemData& r);
    void GiveToMd5(std::vector<_sLCItemData> records);
    bool ReNameCourseFile(const std::string& fileIndex);
    // After a failed upload: when the cause may pass and retries are left, timer 103 hands it
    // over again after a pause; true when it will.
    bool ScheduleRetry(const std::string& fileIndex, const _sTransReport& report);
    // True from the speed test's start until its choice has been applied here (a stopped test
    // brings none).
    bool SpeedTestPending() const;
    // While the test measures: whether an upload slot is free for the provisional server.
    bool ProvisionalSlotFree();
    // While the test measures: the waiting records, one per free slot, to the provisional server.
    void HandOverDuringTest();
    // A new speed test (or none): nothing of the last one's progress holds.
    void ForgetSpeedTest();
    void Withdraw(const std::vector<std::string>& fileIndexes);
    // The upload file is about to be made anew: the transfer manager and the digest worker let
    // go of the record and what was learnt about the old file goes (file id, offset, digest).
    void ReleaseUploadFile(const std::string& fileIndex);
    // A digest due for the record is no longer wanted; one already being taken is dropped when
    // its result comes.
    void DropDigest(const std::string& fileIndex);
    // Timer 103 fires within ms (sooner when it is due sooner already).
    void ArmHandOver(int ms);
    // The file server takes the same content on another connection: the record waits and is
    // handed over again later. False when it has waited long enough (it fails then).
    bool WaitWhileBusy(_sLCItemData& r);
    // The space is full: the user is shown the space warning once until they act again.
    void WarnSpaceFull(const _sLCItemData& r);
    // Restored records not listed yet are left out (the user deleted them meanwhile).
    void ForgetRestored(const std::vector<std::string>& fileIndexes);
    void ReapSessionRequests(bool wait);
    // Deletes the records from the database in one batch; false (the user told, nothing
    // deleted) when the batch failed.
    bool DeleteStored(const std::vector<_sLCItemData>& records);
    void UpdateKeepAwake();
    void ArmWorkCheck();
    void StopWorkCheck();
    void DispatchProbed(const std::string& fileIndex);
    void CheckSignOut();
    // The restored records, folded back, for the two lists (the converted list first), and how
    // many of each are listed; ListRestored lists up to `most` more and tells whether any remain.
    void SplitRestored(std::vector<_sLCItemData> rows);
    bool ListRestored(size_t most);
    // The records are listed: the workers start and the session runs.
    void RunSession();
    // The options as this session uses them: the shut-down never armed, the conversion output
    // folder of the tuning when it gives one.
    _sSetData SessionOptions(_sSetData options) const;
    // The session start's read of the stored records, after taking the queue when it can;
    // WM_RECORDS_LOADED goes on.
    void LoadRecords();
    void OnQueueHeld(uint64_t session, const std::string& holder);
    // Adds the records not listed yet; returns how many.
    size_t ListPickedUp(std::vector<_sLCItemData> rows);
    bool PickUpStoredNow();
    // Ends the workers of the session (the speed test and the file servers stay).
    void StopWorkers();
    // Empties both lists and reads every record again, as the worker.
    void ReloadQueue();

    PipelineDeps m_deps;
    PipelineTuning m_tuning;
    MsgTarget m_target = 0;
    bool m_bSession = false;

    std::unique_ptr<CFileTransMgr> m_pFileTransMgr;
    std::unique_ptr<CConvertMgr> m_pConvertMgr;
    std::unique_ptr<CMediaInfoThread> m_pMediaThread;
    std::unique_ptr<CGetFileMd5Thread> m_pGetMd5Thread;
    std::unique_ptr<CTestNetWorkThread> m_pTestNetWork;
    CFileServerList m_fileServers;
    // The speed test's progress: its result applied, the first server that agreed (and the test
    // it came from), the records handed over while it measures (the slots they hold) and the
    // records waiting for a slot or for its result (-4), in order.
    bool m_bTestApplied = false;
    FileServerChoice m_provisional;
    uint64_t m_uProvisionalTest = 0;
    std::set<std::string> m_testRuns;
    std::deque<std::string> m_waitingForTest;
    // File indexes handed to the probe and digest workers whose results are still due: a
    // second feed must not hand them over again (a record probed twice would be converted
    // twice).
    std::set<std::string> m_probing;
    std::set<std::string> m_digesting;
    // Digests of files made anew while the digest worker was taking them: that many results for
    // the file index are for the old file and are dropped.
    std::map<std::string, int> m_staleDigests;
    // Records refused as busy by the file server: refusals counted and when to try again
    // (milliseconds of a monotonic clock).
    struct BusyWait
    {
        int refusals = 0;
        int64_t dueMs = 0;
    };
    std::map<std::string, BusyWait> m_busyWaits;
    bool m_bSpaceFullShown = false;
    bool m_bWorkCheckArmed = false;
    SpaceQuota m_quota;
    bool m_bPowerFailLogged = false;
    CCourseReports m_reports;
    // A sign-out check whose answer is due; the token tells a late answer whether the pipeline
    // and the session it asked for still exist.
    bool m_bSignOutCheckDue = false;
    std::shared_ptr<uint64_t> m_sessionToken = std::make_shared<uint64_t>(0);
    // The session start's requests, each on a thread with a configuration of its own; a thread
    // is never waited for on the pipeline's thread while it runs (only at destruction).
    struct SessionRequests
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<SessionRequests> m_sessionRequests;
    std::vector<_sLCItemData> m_restoreConverted, m_restoreCourse;
    // Upload retries: attempts made per file, when each waiting one is due (steady clock, ms);
    // timer 103 hands them over.
    std::map<std::string, int> m_retries;
    std::map<std::string, int64_t> m_retryDue;
    int m_nRetriesTotal = 0;
    size_t m_restoreConvertedAt = 0, m_restoreCourseAt = 0;
    bool m_bWorksQueue = true;
    std::string m_strQueueHolder;
    bool m_bQueueWaitTold = false;
    bool m_bPickUpDue = false;
};

// The queue's lock beside the database file at dbPath.
std::string QueueLockPath(const std::string& dbPath);

// Splits the command into words (blanks separate; double quotes group) and starts it without a
// shell, detached. False (with *error) when it cannot be started.
bool StartShutdownCommand(const std::string& command, std::string* error);

} // namespace vx
