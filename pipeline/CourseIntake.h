#pragma once
// The intake of the pipeline: turns local files that the user picks, or drops (files and whole
// folder trees), into course records of status 2, after checking that each may be added: the
// extension (Ext.data beside the program), the length of the name, duplicates, the owner of the
// target folder and the free space (against what the pipeline already holds). A dropped folder
// tree is first created remotely with one batch request, so every file lands in the folder that
// mirrors its local one. The records are stored in one transaction and the pipeline is told.

#include "net/SpaceApi.h"
#include "pipeline/CoursePipeline.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vx {

// One dropped item, or one item found inside a dropped folder.
struct PathEntry
{
    int64_t i64DirId = -1; // remote folder that receives the item; -1 until known
    int32_t nLevel = -1;   // tree level of the receiving folder + 1; -1 inside dropped folders
    bool bFolder = false;
    std::string strPath;      // full local path
    std::string strClientId;  // folders: a new file index naming the folder in the batch
    std::string strClientPid; // client id of the containing folder; "0" for folders dropped at
                              // the top; "" for files dropped at the top
};

// What went wrong in an addition beyond the checks the user knows: a dropped folder that could
// not be read, or the database refusing to store the new records.
struct IntakeFailure
{
    bool bNotStored = false; // false: the folder strPath could not be read
    std::string strPath;     // the folder, or the database file
    std::string strCause;
    size_t nFiles = 0; // not stored: how many files were left out
};

// One addition split in three steps for a caller that keeps the server off its own thread:
// Begin… runs the checks that need no server on the owner's thread, RunRequests asks the server
// for the free space and (for a dropped tree) creates the folders, on any thread and touching
// nothing but the job and the API it is given, and Finish applies the answers on the owner's
// thread. The one-call forms of CCourseIntake run the three steps in a row.
struct IntakeJob
{
    bool bSingle = false;           // exactly one item was given (the user is told why)
    std::string strTitle;           // the space warning's window
    std::vector<PathEntry> folders; // dropped folders, to be created remotely
    std::vector<PathEntry> files;   // what passed the checks, with their folder ids
    double dAddGb = 0;              // size of the files (summed by RunRequests)
    // Size of what the pipeline holds when the job began: the folder batch is sent, and the
    // addition checked, on this one figure (additions never overlap, so it holds until Finish).
    double dInProcessGb = 0;
    std::string strBatch; // the folder batch ("" when no folder is to be made)
    // The server's answers.
    SpaceQuota quota; // zeros when it could not be read: nothing fits then
    bool bBatchSent = false;
    bool bBatchOk = false;
    std::vector<SpaceEntry> created;
    std::string strBatchError;
    // A file index for each of `files`, made beside the requests so that the window's thread
    // does not draw ten thousand of them (empty: made when the records are).
    std::vector<std::string> fileIndexes;
    // The size on disk of each of `files`, read beside the requests: a record counts by it in
    // the space check until its probe.
    std::vector<int64_t> fileSizes;
};

class CCourseIntake
{
public:
    explicit CCourseIntake(CCoursePipeline& pipeline);

    // The add-file dialog: the files go into the folder shown in the space list.
    int AddFileToProcess(const std::vector<std::string>& paths);
    // A drop: folders and files as OnDropFiles describes them.
    int AddFileToProcess(std::vector<PathEntry> folders, std::vector<PathEntry> files);
    // Describes dropped paths (a folder is scanned, depth first) for the folder dirId at the
    // tree level `level` and runs the drop variant. Returns the number of records added.
    int OnDropFiles(const std::vector<std::string>& paths, int64_t dirId, int32_t level);

    // The three steps (see IntakeJob). Begin… returns false when nothing is to be asked (the
    // addition was refused: Error() says why, or nothing was left).
    bool BeginFiles(const std::vector<std::string>& paths, IntakeJob* job);
    bool BeginDrop(const std::vector<std::string>& paths, int64_t dirId, int32_t level, IntakeJob* job);
    bool BeginEntries(std::vector<PathEntry> folders, std::vector<PathEntry> files, IntakeJob* job);
    static void RunRequests(CSpaceApi& api, IntakeJob* job);
    // Returns the number of records added.
    int Finish(IntakeJob job);

    // Finish in steps, for a caller whose thread must not be held for long (the window, on a
    // drop of ten thousand files): StartFinish runs the checks and builds the records,
    // FinishStep first stores them all in one transaction and then lists them a chunk per call,
    // in order; the pipeline is told once the last chunk is listed. Each returns true while a
    // step remains. A Begin… completes an unfinished job first, so additions never overlap.
    bool StartFinish(IntakeJob job);
    bool FinishStep();
    bool IsFinishing() const { return !m_pending.empty(); }
    // Runs the remaining steps now; returns the number of records the job added.
    int CompleteFinish();
    // Sign-out: the records not listed yet are left out of the list. They are stored, so the
    // next sign-in restores them with the others.
    void DropFinish();
    // Records listed per step (at least 1).
    void SetFinishChunk(size_t records) { m_finishChunk = std::max<size_t>(1, records); }
    // Whether the free space holds what the job adds beside what is in process.
    static bool SpaceFits(const SpaceQuota& q, double inProcessGb, double addGb);

    // Removes, in place, what may not be added. single: exactly one item was given (the user
    // is then told why).
    void FilterCourseFiles(std::vector<std::string>* paths, bool single);
    void FilterCourseFiles(std::vector<PathEntry>* files, bool single);
    // The extension (with its dot) equals one of the accepted lines, compared without case; with
    // no lines everything passes.
    bool CheckExtName(const std::string& path) const;

    // Maps the created folders to the files of the job (its batch answer).
    bool AutoAddSpace(IntakeJob* job);
    // The batch text: pid and orgid, then one {clientid, clientPid, name} per folder, names as
    // the platform takes them (RemoteName), percent-encoded; built as JSON values, so no name
    // can break the text.
    static std::string DirArrayToJsonArray(int64_t pid, int64_t orgId, const std::vector<PathEntry>& folders);
    void GetIdToFileS(std::vector<PathEntry>* files, const std::vector<SpaceEntry>& created);

    // The accepted extensions file (default: Ext.data beside the program).
    void SetExtFile(const std::string& path) { m_strExtFile = path; }
    // File indexes of the records the last call added, in order.
    const std::vector<std::string>& Added() const { return m_added; }
    // What the last call refused: path and cause (for the command line's report).
    const std::vector<std::pair<std::string, std::string>>& Refused() const { return m_refused; }
    // What the last drop's folder scan left out with a warning (a link back into the tree, a
    // folder or file reached a second time, a link to nothing): path and why. The user
    // interface is shown them too (IPipelineUi::DropSkipped).
    const std::vector<std::pair<std::string, std::string>>& Skipped() const { return m_skipped; }
    // A flag that, once set, ends a folder scan early (the command line's Ctrl-C); the drop is
    // then refused as a whole. Null: never.
    void SetCancelFlag(const std::atomic<bool>* cancel) { m_cancel = cancel; }
    // Why the last call added nothing at all ("" when it did not refuse everything).
    const std::string& Error() const { return m_strError; }
    // The failures of the additions since the last call, oldest first (a window shows them; the
    // command line reports every refusal from Refused()).
    std::vector<IntakeFailure> TakeFailures() { return std::exchange(m_failures, {}); }

private:
    // Reads Ext.data; false when the file cannot be opened (everything is accepted then).
    bool LoadExtensions(std::vector<std::string>* lines) const;
    // The common checks; false when the whole addition is refused.
    bool CheckOwnSpace(int64_t dirId);
    // The space check of Finish against the quota the job read.
    bool CheckSpace(const IntakeJob& job);
    void Reset();
    // Builds the records of the files that are not listed yet (the others are refused).
    std::vector<_sLCItemData> BuildRecords(const IntakeJob& job);
    // Filters a list of paths; keep[i] tells whether paths[i] stays.
    std::vector<bool> Filter(const std::vector<std::string>& paths, bool single);
    struct ScanState;
    // Describes the dropped paths; false when the scan was cancelled.
    bool DescribeDrop(const std::vector<std::string>& paths, int64_t dirId, int32_t level,
                      std::vector<PathEntry>* folders, std::vector<PathEntry>* files);
    // False when the scan was cancelled.
    bool ScanFolder(const PathEntry& folder, int depth, ScanState& state, std::vector<PathEntry>* folders,
                    std::vector<PathEntry>* files);
    bool Cancelled() const { return m_cancel && m_cancel->load(); }
    void Refuse(const std::string& path, const std::string& cause);

    CCoursePipeline& m_pipeline;
    const PipelineDeps& m_deps;
    std::string m_strExtFile;
    std::vector<std::string> m_added;
    // The job being finished in steps: its records, whether they are stored, how many are listed.
    std::vector<_sLCItemData> m_pending;
    bool m_pendingStored = false;
    size_t m_pendingListed = 0;
    size_t m_finishChunk = 2000;
    std::vector<std::pair<std::string, std::string>> m_refused;
    std::vector<std::pair<std::string, std::string>> m_skipped;
    std::string m_strError;
    std::vector<IntakeFailure> m_failures;
    const std::atomic<bool>* m_cancel = nullptr;
};

} // namespace vx
