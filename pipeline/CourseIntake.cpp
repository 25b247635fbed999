#include "pipeline/CourseIntake.h"

#include "app/LogFile.h"
#include "app/Utils.h"
#include "net/HttpClient.h"
#include "pipeline/ConvertSettings.h"
#include "platform/FileCheck.h"
#include "platform/FsPath.h"
#include "platform/Paths.h"
#include "platform/Utf8.h"
#include "upload/TransProtocol.h"

#include <json/json.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace vx {
namespace {

constexpr double kGB = 1024.0 * 1024.0 * 1024.0;

std::string NameOf(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

// The extension after the last dot of the name, with its dot; "" when the name has none.
std::string LastExt(const std::string& path)
{
    const std::string name = NameOf(path);
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
}

} // namespace

CCourseIntake::CCourseIntake(CCoursePipeline& pipeline)
    : m_pipeline(pipeline), m_deps(pipeline.Deps()),
      m_strExtFile(JoinPath(ProgramLayout(pipeline.ProgramFolder()).resourceFolder, "Ext.data"))
{
}

void CCourseIntake::Refuse(const std::string& path, const std::string& cause)
{
    m_refused.emplace_back(path, cause);
}

bool CCourseIntake::LoadExtensions(std::vector<std::string>* lines) const
{
    std::ifstream in(FsPath(m_strExtFile));
    if (!in) {
        Log(g_log, "Error : open file failed :%s,code:%d", m_strExtFile.c_str(), errno);
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() > 256)
            line.resize(256);
        line = Trim(line);
        if (!line.empty())
            lines->push_back(ToLower(line));
    }
    return true;
}

bool CCourseIntake::CheckExtName(const std::string& path) const
{
    std::vector<std::string> lines;
    if (!LoadExtensions(&lines) || lines.empty())
        return true;
    const std::string ext = ToLower(LastExt(path));
    return !ext.empty() && std::find(lines.begin(), lines.end(), ext) != lines.end();
}

std::vector<bool> CCourseIntake::Filter(const std::vector<std::string>& paths, bool single)
{
    std::vector<bool> keep(paths.size(), true);
    std::vector<std::string> lines;
    if (!LoadExtensions(&lines))
        return keep; // without the list every extension and every length is accepted
    const _sSetData& o = m_pipeline.Options();
    const long limit = (o.nUinfo & kOptTimeStamp) ? 106 : 118 - static_cast<long>(o.strTimeStamp.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string name = NameOf(paths[i]);
        if (static_cast<long>(Utf8Length(name)) > limit) {
            Log(g_log, "Info : %s：\n    %s\n%s", m_pipeline.Text(2055).c_str(), name.c_str(),
                m_pipeline.Text(2056).c_str());
            Refuse(paths[i], m_pipeline.Text(2055) + " (" + std::to_string(Utf8Length(name)) + " > " +
                                 std::to_string(limit) + ")");
            if (single) {
                m_deps.ui.MessageBox(m_pipeline.Text(2055) + "：\n    " + name + "\n" + m_pipeline.Text(2056),
                                     MB_INFO);
                m_deps.ui.RevealFile(paths[i]);
            }
            keep[i] = false;
            continue;
        }
        const std::string ext = ToLower(LastExt(paths[i]));
        if (!lines.empty() && (ext.empty() || std::find(lines.begin(), lines.end(), ext) == lines.end())) {
            Log(g_log, "Info : CheckExtName: 文件：%s  not  pass over !", paths[i].c_str());
            Refuse(paths[i], m_pipeline.Text(2084));
            if (single)
                m_deps.ui.MessageBox(name + "，" + m_pipeline.Text(2084), MB_INFO);
            keep[i] = false;
        }
    }
    return keep;
}

void CCourseIntake::FilterCourseFiles(std::vector<std::string>* paths, bool single)
{
    std::vector<bool> keep = Filter(*paths, single);
    std::vector<std::string> out;
    for (size_t i = 0; i < paths->size(); ++i)
        if (keep[i])
            out.push_back((*paths)[i]);
    *paths = std::move(out);
}

void CCourseIntake::FilterCourseFiles(std::vector<PathEntry>* files, bool single)
{
    std::vector<std::string> paths;
    for (const PathEntry& e : *files)
        paths.push_back(e.strPath);
    std::vector<bool> keep = Filter(paths, single);
    std::vector<PathEntry> out;
    for (size_t i = 0; i < files->size(); ++i)
        if (keep[i])
            out.push_back((*files)[i]);
    *files = std::move(out);
}

bool CCourseIntake::CheckOwnSpace(int64_t dirId)
{
    const SpaceRow* folder = m_deps.tree.Find(dirId);
    if (!folder || folder->i64OwnId == m_pipeline.UserId())
        return true;
    Log(g_log, "dirID :%lld,userid-- %lld,owerid -%lld,", static_cast<long long>(dirId),
        static_cast<long long>(m_pipeline.UserId()), static_cast<long long>(folder->i64OwnId));
    const SpaceRow* root = m_deps.tree.Find(m_pipeline.RootFolder());
    m_strError = m_pipeline.Text(2085) + (root ? root->strName : std::string());
    m_deps.ui.MessageBox(m_strError, MB_WARNING);
    return false;
}

bool CCourseIntake::SpaceFits(const SpaceQuota& q, double inProcessGb, double addGb)
{
    return static_cast<double>(q.i64Left) >= inProcessGb + addGb;
}

bool CCourseIntake::CheckSpace(const IntakeJob& job)
{
    const SpaceQuota& q = job.quota;
    const SpaceQuota& old = m_pipeline.Quota();
    if (q.i64Left != old.i64Left || q.i64Used != old.i64Used || q.i64Total != old.i64Total)
        m_pipeline.SetQuota(q);
    // The figure the folder batch was sent on: checked on another, a drop could be refused after
    // its folders were made.
    const double inProcess = job.dInProcessGb;
    if (SpaceFits(q, inProcess, job.dAddGb))
        return true;
    m_deps.ui.SpaceWarning(q.i64Left, job.strTitle);
    Log(g_log, "Warning : AddFileToProcess,files size = %lf, using size = %lf， but space left size = %lldG",
        job.dAddGb, inProcess, static_cast<long long>(q.i64Left));
    char buf[160];
    snprintf(buf, sizeof buf, "not enough space: %.2f GB to add, %.2f GB in process, %lld GB left",
             job.dAddGb, inProcess, static_cast<long long>(q.i64Left));
    m_strError = buf;
    return false;
}

std::vector<_sLCItemData> CCourseIntake::BuildRecords(const IntakeJob& job)
{
    const std::vector<PathEntry>& files = job.files;
    const bool single = job.bSingle;
    const bool haveIndexes = job.fileIndexes.size() == files.size();
    const bool haveSizes = job.fileSizes.size() == files.size();
    std::unordered_set<std::string> listed;
    for (const std::string& idx : m_deps.courseList.Indexes())
        if (const _sLCItemData* r = m_deps.courseList.Find(idx))
            listed.insert(r->strFilePath);
    std::vector<_sLCItemData> batch;
    batch.reserve(files.size());
    // A line per record, written in one append: ten thousand separate writes would hold the
    // window for a noticeable time.
    std::vector<std::string> lines;
    lines.reserve(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string& path = files[i].strPath;
        if (!listed.insert(path).second) {
            Refuse(path, m_pipeline.Text(2072) + " " + m_pipeline.Text(2073));
            if (single) {
                LogLines(g_log, lines);
                lines.clear();
                std::string text = m_pipeline.Text(2072) + path + "，" + m_pipeline.Text(2073);
                Log(g_log, "Info : %s", text.c_str());
                m_deps.ui.MessageBox(text, MB_INFO);
                m_deps.ui.RevealFile(path);
            }
            continue;
        }
        lines.push_back("Info : AddFileToProcess-------new _sLCItemData-----" + std::to_string(batch.size()));
        _sLCItemData r;
        r.strFileName = NameOf(path);
        r.strFilePath = path;
        const std::string ext = ToLower(LastExt(path));
        r.nFileType = ext == ".pdf" || ext == ".swf" ? 1 : 0;
        r.nStatus = CS_WAIT_MEDIAINFO;
        r.strFileIndex = haveIndexes ? job.fileIndexes[i] : NewFileIndex();
        r.i64DirId = files[i].i64DirId;
        r.i64FileSize = haveSizes ? job.fileSizes[i] : std::max<int64_t>(0, FileSize(path));
        batch.push_back(std::move(r));
    }
    LogLines(g_log, lines);
    return batch;
}

bool CCourseIntake::StartFinish(IntakeJob job)
{
    CompleteFinish();
    if (!CheckSpace(job))
        return false;
    Log(g_log, "Info : AddFileToProcess-------FilterCourseFiles-----%zu", job.files.size());
    if (job.files.empty() && job.bSingle)
        return false;
    if (!job.folders.empty() && !AutoAddSpace(&job)) {
        Log(g_log, "Error : AutoAddSpace:Create dir  failed ");
        return false;
    }
    m_pending = BuildRecords(job);
    m_pendingStored = false;
    m_pendingListed = 0;
    return IsFinishing();
}

bool CCourseIntake::FinishStep()
{
    if (m_pending.empty())
        return false;
    if (!m_pendingStored) {
        // Stored first, all in one transaction: a record the database does not hold would be
        // lost at the next start, and a failure leaves none of them behind. Another program
        // working the queue finds them noted for it.
        if (!m_deps.db.InsertNewCourseFiles(m_pending, m_pipeline.UserId(), !m_pipeline.WorksQueue())) {
            m_strError =
                "the course files could not be stored in " + m_deps.db.Path() + ": " + m_deps.db.LastError();
            Log(g_log, "Error : AddFileToProcess: %s", m_strError.c_str());
            for (const _sLCItemData& r : m_pending)
                Refuse(r.strFilePath, m_strError);
            m_failures.push_back({true, m_deps.db.Path(), m_deps.db.LastError(), m_pending.size()});
            DropFinish();
            return false;
        }
        m_pendingStored = true;
        return true;
    }
    const size_t end = std::min(m_pending.size(), m_pendingListed + m_finishChunk);
    std::vector<_sLCItemData> chunk(std::make_move_iterator(m_pending.begin() + m_pendingListed),
                                    std::make_move_iterator(m_pending.begin() + end));
    // Read for every chunk: the user may start or end a search between two of them.
    m_deps.courseList.AddRecords(chunk, !m_deps.courseList.IsSearching());
    for (const _sLCItemData& r : chunk)
        m_added.push_back(r.strFileIndex);
    m_pendingListed = end;
    if (end < m_pending.size())
        return true;
    Log(g_log, "Info : AddFileToProcess-------m_pCourseProcessList->AddListItem-----%zu", m_pending.size());
    DropFinish();
    m_pipeline.OnFilesAdded();
    return false;
}

int CCourseIntake::CompleteFinish()
{
    const size_t before = m_added.size();
    while (FinishStep()) {
    }
    return static_cast<int>(m_added.size() - before);
}

void CCourseIntake::DropFinish()
{
    m_pending.clear();
    m_pending.shrink_to_fit();
    m_pendingStored = false;
    m_pendingListed = 0;
}

void CCourseIntake::Reset()
{
    CompleteFinish();
    m_added.clear();
    m_refused.clear();
    m_skipped.clear();
    m_strError.clear();
}

bool CCourseIntake::BeginFiles(const std::vector<std::string>& pathsIn, IntakeJob* job)
{
    Reset();
    *job = IntakeJob();
    Log(g_log, "Info : AddFileToProcess------------start ~~%zu", pathsIn.size());
    const int64_t dirId = m_deps.spaceList.ShownFolder();
    if (!CheckOwnSpace(m_deps.tree.Selected() > 0 ? m_deps.tree.Selected() : dirId))
        return false;
    job->bSingle = pathsIn.size() == 1;
    job->strTitle = "SpaceInsufWnd";
    std::vector<std::string> paths;
    for (const std::string& p : pathsIn) {
        // Only regular files: a named pipe or a device would hold the probe for ever.
        const EntryInfo info = LookAtEntry(p);
        if (info.kind == EntryKind::File)
            paths.push_back(p);
        else
            Refuse(p, DescribeFileProblem(ProblemOf(info), info.sysError, p));
    }
    FilterCourseFiles(&paths, job->bSingle);
    for (const std::string& p : paths) {
        PathEntry e;
        e.strPath = p;
        e.i64DirId = dirId;
        job->files.push_back(std::move(e));
    }
    job->dInProcessGb = m_pipeline.InProcessSize();
    return true;
}

bool CCourseIntake::BeginEntries(std::vector<PathEntry> folders, std::vector<PathEntry> files, IntakeJob* job)
{
    Reset();
    *job = IntakeJob();
    Log(g_log, "Info : AddFileToProcess------------start ~~%zu", folders.size() + files.size());
    if (!CheckOwnSpace(m_deps.tree.Selected() > 0 ? m_deps.tree.Selected() : m_deps.spaceList.ShownFolder()))
        return false;
    job->bSingle = files.size() == 1 && folders.empty();
    job->strTitle = "SpaceMsgWnd";
    FilterCourseFiles(&files, job->bSingle);
    job->dInProcessGb = m_pipeline.InProcessSize();
    // The batch goes out only with files to put in its folders.
    if (!folders.empty() && !files.empty())
        job->strBatch = DirArrayToJsonArray(folders.front().i64DirId, m_deps.config.m_i64OrgId, folders);
    job->folders = std::move(folders);
    job->files = std::move(files);
    return true;
}

bool CCourseIntake::BeginDrop(const std::vector<std::string>& paths, int64_t dirId, int32_t level,
                              IntakeJob* job)
{
    CompleteFinish();
    std::vector<PathEntry> folders, files;
    m_refused.clear();
    m_skipped.clear();
    const bool whole = DescribeDrop(paths, dirId, level, &folders, &files);
    Log(g_log, "Info : AddFileToProcess-----OnDropFiles--before----Dir-%zu,file-%zu ", folders.size(),
        files.size());
    if (!m_skipped.empty())
        m_deps.ui.DropSkipped(m_skipped);
    if (!whole) {
        Log(g_log, "Info : AddFileToProcess: the drop was cancelled during the folder scan");
        m_strError = "interrupted while the dropped folders were scanned; nothing was added";
        return false;
    }
    auto refusedScan = m_refused;
    auto skipped = m_skipped;
    const bool go = BeginEntries(std::move(folders), std::move(files), job);
    m_refused.insert(m_refused.begin(), refusedScan.begin(), refusedScan.end());
    m_skipped = std::move(skipped);
    return go;
}

void CCourseIntake::RunRequests(CSpaceApi& api, IntakeJob* job)
{
    // A size per file: ten thousand look-ups are better made here than on the owner's thread.
    job->dAddGb = 0;
    job->fileSizes.clear();
    job->fileSizes.reserve(job->files.size());
    job->fileIndexes.clear();
    job->fileIndexes.reserve(job->files.size());
    for (const PathEntry& e : job->files) {
        job->fileSizes.push_back(std::max<int64_t>(0, FileSize(e.strPath)));
        job->dAddGb += static_cast<double>(job->fileSizes.back()) / kGB;
        job->fileIndexes.push_back(NewFileIndex());
    }
    std::string error;
    job->quota = SpaceQuota();
    api.RequestSpaceInfo(&job->quota, &error); // a failure leaves zeros: nothing fits then
    if (job->strBatch.empty() || !SpaceFits(job->quota, job->dInProcessGb, job->dAddGb))
        return;
    job->bBatchSent = true;
    job->bBatchOk = api.RequestForCreateDirectroyS(job->strBatch, &job->created, &job->strBatchError);
    if (!job->bBatchOk && job->strBatchError.empty())
        job->strBatchError = api.GetFailureCause();
}

int CCourseIntake::Finish(IntakeJob job)
{
    StartFinish(std::move(job));
    return CompleteFinish();
}

int CCourseIntake::AddFileToProcess(const std::vector<std::string>& paths)
{
    IntakeJob job;
    if (!BeginFiles(paths, &job))
        return 0;
    RunRequests(m_deps.api, &job);
    return Finish(std::move(job));
}

int CCourseIntake::AddFileToProcess(std::vector<PathEntry> folders, std::vector<PathEntry> files)
{
    IntakeJob job;
    if (!BeginEntries(std::move(folders), std::move(files), &job))
        return 0;
    RunRequests(m_deps.api, &job);
    return Finish(std::move(job));
}

// What a drop's scan remembers: every real folder and file it has taken (by identity, with the
// path it was first reached by), the folders from the top of the scan down to the one being
// read, and how many folder lines it has logged.
struct CCourseIntake::ScanState
{
    using Key = std::pair<uint64_t, uint64_t>;
    std::map<Key, std::string> folders;
    std::map<Key, std::string> files;
    std::vector<std::pair<Key, std::string>> onPath;
    size_t loggedFolders = 0;
    size_t unloggedFolders = 0;

    static Key KeyOf(const EntryInfo& e) { return {e.device, e.inode}; }
};

namespace {

// Folder lines of one drop's scan in the log; a tree larger than this is summed up in one line.
constexpr size_t kScanLogLines = 1000;

} // namespace

bool CCourseIntake::DescribeDrop(const std::vector<std::string>& paths, int64_t dirId, int32_t level,
                                 std::vector<PathEntry>* folders, std::vector<PathEntry>* files)
{
    ScanState state;
    bool whole = true;
    for (std::string p : paths) {
        if (Cancelled()) {
            whole = false;
            break;
        }
        while (p.size() > 1 && p.back() == '/')
            p.pop_back();
        PathEntry e;
        e.i64DirId = dirId;
        e.nLevel = level;
        e.strPath = p;
        const EntryInfo info = LookAtEntry(p);
        const ScanState::Key key = ScanState::KeyOf(info);
        if (info.kind == EntryKind::Folder) {
            if (auto seen = state.folders.find(key); seen != state.folders.end()) {
                m_skipped.emplace_back(p, "the same folder as " + seen->second + ", which is already added");
                continue;
            }
            state.folders.emplace(key, p);
            e.bFolder = true;
            e.strClientId = NewFileIndex();
            e.strClientPid = "0";
            folders->push_back(e);
            state.onPath = {{key, p}};
            if (!ScanFolder(e, 1, state, folders, files)) {
                whole = false;
                break;
            }
        } else if (info.kind == EntryKind::File) {
            if (auto seen = state.files.find(key); seen != state.files.end()) {
                m_skipped.emplace_back(p, "the same file as " + seen->second + ", which is already added");
                continue;
            }
            state.files.emplace(key, p);
            files->push_back(e);
        } else {
            // Named: only a folder or a regular file can be added (a named pipe would be read
            // without end).
            Refuse(p, DescribeFileProblem(ProblemOf(info), info.sysError, p));
        }
    }
    if (state.unloggedFolders > 0)
        Log(g_log, "Info : AddFileToProcess: and %zu more folders", state.unloggedFolders);
    for (const auto& [path, why] : m_skipped)
        Log(g_log, "Warning : AddFileToProcess: %s skipped: %s", path.c_str(), why.c_str());
    return whole;
}

bool CCourseIntake::ScanFolder(const PathEntry& folder, int depth, ScanState& state,
                               std::vector<PathEntry>* folders, std::vector<PathEntry>* files)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(FsPath(folder.strPath), ec), end;
    if (ec) {
        Log(g_log, "Error : the folder %s cannot be read: %s", folder.strPath.c_str(), ec.message().c_str());
        Refuse(folder.strPath, "the folder cannot be read: " + ec.message());
        m_failures.push_back({false, folder.strPath, ec.message(), 0});
        return true;
    }
    for (; it != end; it.increment(ec)) {
        if (ec)
            break;
        if (Cancelled())
            return false;
        PathEntry e;
        e.strPath = FsPathText(it->path());
        e.strClientPid = folder.strClientId;
        const EntryInfo info = LookAtEntry(e.strPath);
        const ScanState::Key key = ScanState::KeyOf(info);
        switch (info.kind) {
        case EntryKind::Folder: {
            // Each real folder once: a link back up the tree would make the scan endless, and a
            // second way into a folder would upload its files twice.
            auto up = std::find_if(state.onPath.begin(), state.onPath.end(),
                                   [&key](const auto& f) { return f.first == key; });
            if (up != state.onPath.end()) {
                m_skipped.emplace_back(e.strPath,
                                       "a link to the folder " + up->second + " that holds it (a loop)");
                break;
            }
            if (auto seen = state.folders.find(key); seen != state.folders.end()) {
                m_skipped.emplace_back(e.strPath,
                                       "the same folder as " + seen->second + ", which is already added");
                break;
            }
            state.folders.emplace(key, e.strPath);
            e.bFolder = true;
            e.strClientId = NewFileIndex();
            if (state.loggedFolders < kScanLogLines) {
                ++state.loggedFolders;
                Log(g_log, "%s--->%s %s,index:%s", std::string(static_cast<size_t>(depth) * 4, ' ').c_str(),
                    "", e.strPath.c_str(), e.strClientId.c_str());
            } else {
                ++state.unloggedFolders;
            }
            folders->push_back(e);
            state.onPath.emplace_back(key, e.strPath);
            const bool whole = ScanFolder(e, depth + 1, state, folders, files);
            state.onPath.pop_back();
            if (!whole)
                return false;
            break;
        }
        case EntryKind::File:
            if (auto seen = state.files.find(key); seen != state.files.end()) {
                m_skipped.emplace_back(e.strPath,
                                       "the same file as " + seen->second + ", which is already added");
                break;
            }
            state.files.emplace(key, e.strPath);
            files->push_back(e);
            break;
        case EntryKind::Special:
            // Named pipes, devices and sockets are no course material: left out without a word.
            break;
        case EntryKind::Missing:
            if (info.bLink)
                m_skipped.emplace_back(e.strPath, "a link to nothing");
            break;
        case EntryKind::Error:
            m_skipped.emplace_back(e.strPath, DescribeFileProblem(ProblemOf(info), info.sysError, e.strPath));
            break;
        }
    }
    return true;
}

int CCourseIntake::OnDropFiles(const std::vector<std::string>& paths, int64_t dirId, int32_t level)
{
    IntakeJob job;
    if (!BeginDrop(paths, dirId, level, &job))
        return 0;
    RunRequests(m_deps.api, &job);
    return Finish(std::move(job));
}

std::string CCourseIntake::DirArrayToJsonArray(int64_t pid, int64_t orgId,
                                               const std::vector<PathEntry>& folders)
{
    if (folders.empty())
        return std::string();
    Json::Value root(Json::objectValue);
    root["pid"] = std::to_string(pid);
    root["orgid"] = std::to_string(orgId);
    Json::Value& list = root["list"] = Json::Value(Json::arrayValue);
    for (const PathEntry& f : folders) {
        Json::Value item(Json::objectValue);
        item["clientid"] = f.strClientId;
        item["clientPid"] = f.strClientPid;
        item["name"] = UrlEncode(RemoteName(NameOf(f.strPath)));
        list.append(item);
    }
    Json::StreamWriterBuilder wb;
    wb["indentation"] = "";
    wb["emitUTF8"] = true;
    return Json::writeString(wb, root);
}

bool CCourseIntake::AutoAddSpace(IntakeJob* job)
{
    if (job->files.empty()) {
        Log(g_log, "Error: _vPathFile is empty ~");
        m_strError = m_pipeline.Text(2086);
        m_pipeline.ShowMessageAsync(m_strError);
        return false;
    }
    if (job->strBatch.empty() || !job->bBatchSent) {
        Log(g_log, "Error: DirArrayToJsonArray is empty ~");
        m_strError = "the folder batch was not sent";
        return false;
    }
    if (!job->bBatchOk) {
        m_strError = job->strBatchError;
        m_pipeline.ShowMessageAsync(m_strError);
        Log(g_log, "Error: RequestForCreateDirectroyS is failed ~");
        return false;
    }
    if (job->created.empty()) {
        Log(g_log, "Error:\tRequestForCreateDirectroyS request sucess ,but  l_vRevDirArray is empty ");
        m_strError = "the server created no folder";
        return false;
    }
    GetIdToFileS(&job->files, job->created);
    job->folders.clear();
    return true;
}

void CCourseIntake::GetIdToFileS(std::vector<PathEntry>* files, const std::vector<SpaceEntry>& created)
{
    const int64_t shown = m_deps.spaceList.ShownFolder();
    // The files of each folder, found once: ten thousand files in two hundred folders must not
    // cost two million comparisons.
    std::unordered_map<std::string, std::vector<size_t>> byParent;
    for (size_t i = 0; i < files->size(); ++i)
        byParent[(*files)[i].strClientPid].push_back(i);
    std::vector<std::string> lines;
    for (const SpaceEntry& d : created) {
        if (d.i64Id <= 0) {
            Log(g_log, "Error : exception GetIdToFileS, _vDirArray dirid=%lld, level:%d ,md5(%s), dir(%s)",
                static_cast<long long>(d.i64Id), d.nLevel, d.strClientId.c_str(), d.strName.c_str());
            continue;
        }
        SpaceEntry folder = d;
        if (folder.i64OwnId <= 0)
            folder.i64OwnId = m_pipeline.UserId();
        m_deps.tree.AddFolder(folder);
        if (folder.i64ParentId == shown && !m_deps.spaceList.IsSearching())
            m_deps.spaceList.AddEntry(folder);
        auto mine = byParent.find(d.strClientId);
        if (mine == byParent.end())
            continue;
        for (size_t i : mine->second) {
            PathEntry& f = (*files)[i];
            f.i64DirId = d.i64Id;
            lines.push_back(
                FormatText("Info : GetIdToFileS _vPathFile count:%zu,index: %zu,Sdir:%lld, level:%d , "
                           "Dir:%s,filepath:%s",
                           files->size(), i, static_cast<long long>(d.i64Id), d.nLevel, d.strName.c_str(),
                           f.strPath.c_str()));
        }
    }
    LogLines(g_log, lines);
}

} // namespace vx
