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

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace vx {

class CConvertMgr;
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
    // WM_USER_INFO: folder tree, quota, options, then the stored records are read on a thread
    // of the database's; WM_RECORDS_LOADED lists them, starts the workers and the first feeds,
    // and only then is the session running (IPipelineUi::SessionStarted).
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

    // --- state ---------------------------------------------------------------------------
    // GB (2^30 bytes) the records in the pipeline will occupy, computed from the records:
    // probed up to the digest their source size, digested their upload size.
    double InProcessSize() const;
    bool IsCourseWorking() const;
    // True while any worker holds or owes something: a probe or digest due, a conversion or
    // upload queued or running, the speed test measuring. Records that count as working while
    // nothing is in flight are waiting for the user (a file vanished between stages).
    bool HasWorkInFlight() const;
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
    // Deletes the records from the database in one batch; false (the user told, nothing
    // deleted) when the batch failed.
    bool DeleteStored(const std::vector<_sLCItemData>& records);
    void UpdateKeepAwake();
    void ArmWorkCheck();
    void DispatchProbed(const std::string& fileIndex);
    void CheckSignOut();
    // The restored records, folded back, for the two lists (the converted list first), and how
    // many of each are listed; ListRestored lists up to `most` more and tells whether any remain.
    void SplitRestored(std::vector<_sLCItemData> rows);
    bool ListRestored(size_t most);
    // The records are listed: the workers start and the session runs.
    void RunSession();

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
    SpaceQuota m_quota;
    bool m_bPowerFailLogged = false;
    CCourseReports m_reports;
    // A sign-out check whose answer is due; the token tells a late answer whether the pipeline
    // and the session it asked for still exist.
    bool m_bSignOutCheckDue = false;
    std::shared_ptr<uint64_t> m_sessionToken = std::make_shared<uint64_t>(0);
    // The session start's requests: their thread and its own configuration.
    std::thread m_sessionRequests;
    std::unique_ptr<CAppConfig> m_pRequestConfig;
    std::vector<_sLCItemData> m_restoreConverted, m_restoreCourse;
    size_t m_restoreConvertedAt = 0, m_restoreCourseAt = 0;
};

// Splits the command into words (blanks separate; double quotes group) and starts it without a
// shell, detached. False (with *error) when it cannot be started.
bool StartShutdownCommand(const std::string& command, std::string* error);

} // namespace vx
