#pragma once
// The intake of the pipeline: turns local files that the user picks, or drops (files and whole
// folder trees), into course records of status 2, after checking that each may be added: the
// extension (Ext.data beside the program), the length of the name, duplicates, the owner of the
// target folder and the free space (against what the pipeline already holds). A dropped folder
// tree is first created remotely with one batch request, so every file lands in the folder that
// mirrors its local one. The records are stored in one transaction and the pipeline is told.

#include "net/SpaceApi.h"
#include "pipeline/CoursePipeline.h"

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

    // Removes, in place, what may not be added. single: exactly one item was given (the user
    // is then told why).
    void FilterCourseFiles(std::vector<std::string>* paths, bool single);
    void FilterCourseFiles(std::vector<PathEntry>* files, bool single);
    // The extension (with its dot) equals one of the accepted lines, compared without case; with
    // no lines everything passes.
    bool CheckExtName(const std::string& path) const;

    bool AutoAddSpace(std::vector<PathEntry>* folders, std::vector<PathEntry>* files);
    // The batch text: pid and orgid, then one {clientid, clientPid, name} per folder, names
    // percent-encoded; built as JSON values, so no name can break the text.
    static std::string DirArrayToJsonArray(int64_t pid, int64_t orgId, const std::vector<PathEntry>& folders);
    void GetIdToFileS(std::vector<PathEntry>* files, const std::vector<SpaceEntry>& created);

    // The accepted extensions file (default: Ext.data beside the program).
    void SetExtFile(const std::string& path) { m_strExtFile = path; }
    // File indexes of the records the last call added, in order.
    const std::vector<std::string>& Added() const { return m_added; }
    // What the last call refused: path and cause (for the command line's report).
    const std::vector<std::pair<std::string, std::string>>& Refused() const { return m_refused; }
    // Why the last call added nothing at all ("" when it did not refuse everything).
    const std::string& Error() const { return m_strError; }

private:
    // Reads Ext.data; false when the file cannot be opened (everything is accepted then).
    bool LoadExtensions(std::vector<std::string>* lines) const;
    // The common checks; false when the whole addition is refused.
    bool CheckOwnSpace(int64_t dirId);
    bool CheckSpace(const std::vector<std::string>& paths, const std::string& title);
    // Builds, lists and stores the records; returns how many were added.
    int AddRecords(const std::vector<std::pair<std::string, int64_t>>& files, bool single);
    // Filters a list of paths; keep[i] tells whether paths[i] stays.
    std::vector<bool> Filter(const std::vector<std::string>& paths, bool single);
    void ScanFolder(const PathEntry& folder, int depth, std::vector<PathEntry>* folders,
                    std::vector<PathEntry>* files);
    void Refuse(const std::string& path, const std::string& cause);

    CCoursePipeline& m_pipeline;
    const PipelineDeps& m_deps;
    std::string m_strExtFile;
    std::vector<std::string> m_added;
    std::vector<std::pair<std::string, std::string>> m_refused;
    std::string m_strError;
};

} // namespace vx
