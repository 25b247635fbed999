#pragma once
// The simulator's state: accounts, organisations, the remote folder tree and the uploaded files
// of every organisation. Kept in memory behind one lock and written to <root>/state.json after
// every change (write to a temporary file, then rename), so a restart keeps everything. Login
// sessions live beside it in <root>/sessions.json (CSimSessions), uploaded bytes in
// <root>/files and <root>/partial.

#include "sim/SimSessions.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vx::sim {

struct SimAccount
{
    int64_t id = 0;
    std::string name;
    std::string pwdHash; // lower-case hexadecimal MD5 of the password
    std::string screenName;
    int64_t orgId = 0; // 0: no client permission
    int triesLeft = 5;
};

struct SimOrg
{
    int64_t id = 0;
    std::string name;
};

struct SimFolder
{
    int64_t id = 0;
    int64_t parentId = 0; // 0: a root folder
    int64_t orgId = 0;
    int64_t ownerId = 0;
    int level = 1;
    std::string name;
    std::string createTime;
    std::string clientId;
};

struct SimFile
{
    int64_t id = 0;
    int64_t dirId = 0;
    int64_t orgId = 0;
    int64_t ownerId = 0;
    std::string name; // as the user named it, extension included
    std::string type; // "flv", "pdf", "swf"
    int64_t size = 0;
    std::string md5Hex;
    std::string createTime;
    std::string blob; // file name under <root>/files/
};

// Result of an operation that may fail with a user-facing message.
struct OpResult
{
    bool ok = true;
    std::string message;
    static OpResult Fail(const std::string& m) { return {false, m}; }
};

class CSimStore
{
public:
    // Loads <root>/state.json when present; creates the folders. False only when the root cannot
    // be used. A state file that cannot be read as the state (broken JSON, or JSON of another
    // shape) is kept aside as state.json.bad, said on the log, and the simulator starts clean.
    // Sessions expire sessionLifetimeMs after their login (0: a week).
    bool Open(const std::string& root, int64_t quotaBytes, std::string* err, int64_t sessionLifetimeMs = 0);
    const std::string& Root() const { return m_root; }
    std::string FilesDir() const { return m_root + "files/"; }
    std::string PartialDir() const { return m_root + "partial/"; }

    // Adds the account or updates its password and organisation. Organisation "" joins the demo
    // organisation, "-" leaves the account without permission.
    void EnsureAccount(const std::string& name, const std::string& password, const std::string& org);

    // Accounts and sessions.
    std::optional<SimAccount> FindAccount(const std::string& name);
    std::optional<SimAccount> AccountById(int64_t id);
    // Counts a wrong password down; returns the tries left (not below 0).
    int RecordFailedLogin(const std::string& name);
    void RecordGoodLogin(const std::string& name);
    std::string NewSession(int64_t userId);
    std::optional<SimSession> FindSession(const std::string& token);
    void SignOutUser(const std::string& name);
    std::optional<SimOrg> OrgById(int64_t id);

    // Space directory.
    OpResult ListDir(int64_t org, int64_t parent, bool withFiles, std::vector<SimFolder>* dirs,
                     std::vector<SimFile>* files);
    OpResult Search(int64_t org, int64_t dirId, const std::string& key, std::vector<SimFolder>* dirs,
                    std::vector<SimFile>* files);
    OpResult CreateFolder(int64_t org, int64_t owner, int64_t parent, const std::string& name,
                          SimFolder* out);
    struct BatchItem
    {
        std::string clientId, clientPid, name;
    };
    OpResult CreateFolders(int64_t org, int64_t owner, int64_t parent, const std::vector<BatchItem>& items,
                           std::vector<SimFolder>* out);
    OpResult RenameFolder(int64_t org, int64_t id, const std::string& name);
    OpResult RenameFile(int64_t org, int64_t id, const std::string& name);
    OpResult MoveFolders(int64_t org, int64_t dest, const std::vector<int64_t>& ids);
    OpResult MoveFiles(int64_t org, int64_t dest, const std::vector<int64_t>& ids);
    OpResult DeleteFolders(int64_t org, const std::vector<int64_t>& ids);
    bool HasChildFolders(int64_t folderId);
    // Bytes used by the organisation's files and its quota.
    void Space(int64_t org, int64_t* total, int64_t* used);

    // Uploads.
    std::optional<SimFolder> FolderById(int64_t org, int64_t id);
    std::optional<SimFile> FileInFolderByName(int64_t org, int64_t dirId, const std::string& name);
    // A stored file of the organisation with this content, if any (its blob can be shared).
    std::optional<SimFile> FileByContent(int64_t org, const std::string& md5Hex, int64_t size);
    // The file id promised to a partial upload (stable across reconnects).
    int64_t PartialFileId(const std::string& key);
    void ForgetPartial(const std::string& key);
    // Records a finished upload; the id is kept from the partial when there was one.
    SimFile AddFile(SimFile file);

    struct Counts
    {
        size_t accounts = 0, folders = 0, files = 0, partials = 0;
    };
    Counts GetCounts();

private:
    int64_t NextId(const char* kind);
    bool SaveLocked();
    // False (with the reason) when the file is no state of ours; nothing is then loaded.
    bool LoadLocked(std::string* why);
    void ClearLocked();
    bool IsInside(int64_t folder, int64_t ancestor);
    void RelevelLocked(int64_t folderId, int level);
    // Renames record id of org in items unless another record under the same parent (the parent
    // member) already has the name; missing and taken are the refusals.
    template <typename T>
    OpResult RenameIn(std::map<int64_t, T>& items, int64_t T::*parent, int64_t org, int64_t id,
                      const std::string& name, const char* missing, const char* taken);

    std::mutex m_mutex;
    std::string m_root;
    int64_t m_quotaBytes = 0;
    std::map<std::string, int64_t> m_nextIds;
    std::map<int64_t, SimAccount> m_accounts;
    std::map<int64_t, SimOrg> m_orgs;
    CSimSessions m_sessions;
    std::map<int64_t, SimFolder> m_folders;
    std::map<int64_t, SimFile> m_files;
    std::map<std::string, int64_t> m_partials; // partial key -> promised file id
};

} // namespace vx::sim
