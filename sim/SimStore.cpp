#include "sim/SimStore.h"

#include "platform/Crypto.h"
#include "platform/FileOps.h"
#include "platform/Paths.h"
#include "sim/SimText.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <json/json.h>
#include <set>
#include <sstream>
#include <type_traits>
#include <variant>

namespace vx::sim {

namespace {

// Ids start far above 2^32 so that a client keeping them in 32 bits shows the fault at once.
const std::map<std::string, int64_t> kFirstIds = {
    {"user", 5000000001LL}, {"org", 7000000001LL}, {"folder", 9000000000001LL}, {"file", 12000000000001LL}};

const char* kDemoOrg = "Demo School";

std::string PasswordHash(const std::string& password)
{
    Md5Digest d{};
    Md5Bytes(password.data(), password.size(), &d);
    return DigestHex(d, false);
}

// The members of each record as the state file names them; loading and saving share the list.
template <typename T> struct Member
{
    const char* key;
    std::variant<int64_t T::*, int T::*, bool T::*, std::string T::*> field;
};

const std::vector<Member<SimOrg>> kOrgMembers = {{"id", &SimOrg::id}, {"name", &SimOrg::name}};
const std::vector<Member<SimAccount>> kAccountMembers = {
    {"id", &SimAccount::id},           {"name", &SimAccount::name},
    {"pwdHash", &SimAccount::pwdHash}, {"screenName", &SimAccount::screenName},
    {"orgId", &SimAccount::orgId},     {"triesLeft", &SimAccount::triesLeft}};
const std::vector<Member<SimFolder>> kFolderMembers = {{"id", &SimFolder::id},
                                                       {"parentId", &SimFolder::parentId},
                                                       {"orgId", &SimFolder::orgId},
                                                       {"ownerId", &SimFolder::ownerId},
                                                       {"level", &SimFolder::level},
                                                       {"name", &SimFolder::name},
                                                       {"createTime", &SimFolder::createTime},
                                                       {"clientId", &SimFolder::clientId}};
const std::vector<Member<SimFile>> kFileMembers = {
    {"id", &SimFile::id},           {"dirId", &SimFile::dirId}, {"orgId", &SimFile::orgId},
    {"ownerId", &SimFile::ownerId}, {"name", &SimFile::name},   {"type", &SimFile::type},
    {"size", &SimFile::size},       {"md5", &SimFile::md5Hex},  {"createTime", &SimFile::createTime},
    {"blob", &SimFile::blob}};

// Every record of list into *into, keyed by its key member. A list of another shape throws
// Json::LogicError like a member of the wrong type does.
template <typename K, typename T>
void LoadAll(const Json::Value& list, const std::vector<Member<T>>& members, K T::*key, std::map<K, T>* into)
{
    if (!list.isNull() && !list.isArray())
        throw Json::LogicError("a list of records is expected");
    for (const auto& v : list) {
        if (!v.isObject())
            throw Json::LogicError("a record is not an object");
        T r;
        for (const auto& m : members)
            std::visit(
                [&](auto field) { r.*field = v[m.key].template as<std::decay_t<decltype(r.*field)>>(); },
                m.field);
        (*into)[r.*key] = r;
    }
}

template <typename K, typename T>
Json::Value SaveAll(const std::map<K, T>& records, const std::vector<Member<T>>& members)
{
    Json::Value list = Json::arrayValue;
    for (const auto& [k, r] : records) {
        Json::Value v;
        for (const auto& m : members)
            std::visit([&](auto field) { v[m.key] = r.*field; }, m.field);
        list.append(v);
    }
    return list;
}

// The record id of organisation org, or nullptr.
template <typename T> T* FindInOrg(std::map<int64_t, T>& items, int64_t org, int64_t id)
{
    auto it = items.find(id);
    return it == items.end() || it->second.orgId != org ? nullptr : &it->second;
}

} // namespace

bool CSimStore::Open(const std::string& root, int64_t quotaBytes, std::string* err, int64_t sessionLifetimeMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_root = root;
    if (m_root.empty() || m_root.back() != '/')
        m_root += '/';
    m_quotaBytes = quotaBytes;
    if (!MakeDirs(m_root) || !MakeDirs(FilesDir()) || !MakeDirs(PartialDir())) {
        *err = "cannot create the state folder " + m_root;
        return false;
    }
    ClearLocked();
    const std::string state = m_root + "state.json";
    std::string why;
    if (FileExists(state) && !LoadLocked(&why)) {
        ClearLocked();
        // Keep every broken file: an earlier one is not overwritten.
        std::string aside = state + ".bad";
        for (int i = 1; FileExists(aside); ++i)
            aside = state + ".bad." + std::to_string(i);
        RenameReplace(state, aside);
        // Said even with --quiet: whoever runs the simulator must learn that the state was reset.
        fprintf(stderr,
                "vexora-sim: state file %s is damaged (%s); kept as %s, starting with a clean state\n",
                state.c_str(), why.c_str(), aside.c_str());
    }
    m_sessions.Open(m_root + "sessions.json", sessionLifetimeMs);
    return true;
}

void CSimStore::ClearLocked()
{
    m_nextIds = kFirstIds;
    m_accounts.clear();
    m_orgs.clear();
    m_folders.clear();
    m_files.clear();
    m_partials.clear();
}

bool CSimStore::LoadLocked(std::string* why)
{
    std::ifstream in(m_root + "state.json", std::ios::binary);
    Json::Value root;
    Json::CharReaderBuilder rb;
    std::string errs;
    if (!Json::parseFromStream(rb, in, &root, &errs)) {
        *why = errs;
        return false;
    }
    if (!root.isObject()) {
        *why = "not a JSON object";
        return false;
    }
    // Valid JSON of another shape (a string where a list belongs, a text where a number
    // belongs) makes JsonCpp throw: such a file is as unusable as a broken one.
    try {
        for (const char* map : {"nextIds", "partials"})
            if (!root[map].isNull() && !root[map].isObject())
                throw Json::LogicError(std::string(map) + " is not an object");
        for (const auto& name : root["nextIds"].getMemberNames())
            m_nextIds[name] = root["nextIds"][name].asInt64();
        LoadAll(root["orgs"], kOrgMembers, &SimOrg::id, &m_orgs);
        LoadAll(root["accounts"], kAccountMembers, &SimAccount::id, &m_accounts);
        LoadAll(root["folders"], kFolderMembers, &SimFolder::id, &m_folders);
        LoadAll(root["files"], kFileMembers, &SimFile::id, &m_files);
        for (const auto& name : root["partials"].getMemberNames())
            m_partials[name] = root["partials"][name].asInt64();
    } catch (const Json::Exception& e) {
        *why = e.what();
        return false;
    }
    return true;
}

bool CSimStore::SaveLocked()
{
    Json::Value root(Json::objectValue);
    for (const auto& [k, v] : m_nextIds)
        root["nextIds"][k] = Json::Int64(v);
    root["orgs"] = SaveAll(m_orgs, kOrgMembers);
    root["accounts"] = SaveAll(m_accounts, kAccountMembers);
    root["folders"] = SaveAll(m_folders, kFolderMembers);
    root["files"] = SaveAll(m_files, kFileMembers);
    root["partials"] = Json::objectValue;
    for (const auto& [k, id] : m_partials)
        root["partials"][k] = Json::Int64(id);

    Json::StreamWriterBuilder wb;
    wb["emitUTF8"] = true;
    wb["indentation"] = " ";
    std::string tmp = m_root + "state.json.tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << Json::writeString(wb, root);
        out.flush();
        if (!out)
            return false;
    }
    return RenameReplace(tmp, m_root + "state.json");
}

int64_t CSimStore::NextId(const char* kind)
{
    return m_nextIds[kind]++;
}

void CSimStore::EnsureAccount(const std::string& name, const std::string& password, const std::string& org)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int64_t orgId = 0;
    std::string orgName = org.empty() ? kDemoOrg : org;
    if (orgName != "-") {
        for (const auto& [id, o] : m_orgs)
            if (o.name == orgName)
                orgId = id;
        if (orgId == 0) {
            SimOrg o;
            o.id = NextId("org");
            o.name = orgName;
            m_orgs[o.id] = o;
            orgId = o.id;
        }
    }
    SimAccount* acc = nullptr;
    for (auto& [id, a] : m_accounts)
        if (a.name == name)
            acc = &a;
    bool created = acc == nullptr;
    if (created) {
        SimAccount a;
        a.id = NextId("user");
        a.name = name;
        a.screenName = name == "demo" ? "Demo Teacher" : name;
        acc = &m_accounts.emplace(a.id, a).first->second;
    }
    acc->pwdHash = PasswordHash(password);
    acc->orgId = orgId;
    acc->triesLeft = 5;
    // The demo account starts with something to look at: its root folder and one subfolder.
    if (created && name == "demo" && orgId > 0) {
        SimFolder r;
        r.id = NextId("folder");
        r.orgId = orgId;
        r.ownerId = acc->id;
        r.level = 1;
        r.name = name;
        r.createTime = NowText();
        m_folders[r.id] = r;
        SimFolder l = r;
        l.id = NextId("folder");
        l.parentId = r.id;
        l.level = 2;
        l.name = "Lessons";
        m_folders[l.id] = l;
    }
    SaveLocked();
}

std::optional<SimAccount> CSimStore::FindAccount(const std::string& name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& [id, a] : m_accounts)
        if (a.name == name)
            return a;
    return std::nullopt;
}

std::optional<SimAccount> CSimStore::AccountById(int64_t id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_accounts.find(id);
    if (it == m_accounts.end())
        return std::nullopt;
    return it->second;
}

int CSimStore::RecordFailedLogin(const std::string& name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& [id, a] : m_accounts)
        if (a.name == name) {
            if (a.triesLeft > 0)
                --a.triesLeft;
            SaveLocked();
            return a.triesLeft;
        }
    return 0;
}

void CSimStore::RecordGoodLogin(const std::string& name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& [id, a] : m_accounts)
        if (a.name == name && a.triesLeft != 5) {
            a.triesLeft = 5;
            SaveLocked();
        }
}

std::string CSimStore::NewSession(int64_t userId)
{
    return m_sessions.New(userId);
}

std::optional<SimSession> CSimStore::FindSession(const std::string& token)
{
    return m_sessions.Find(token);
}

void CSimStore::SignOutUser(const std::string& name)
{
    int64_t userId = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& [id, a] : m_accounts)
            if (a.name == name)
                userId = id;
    }
    if (userId > 0)
        m_sessions.SignOutUser(userId);
}

std::optional<SimOrg> CSimStore::OrgById(int64_t id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_orgs.find(id);
    if (it == m_orgs.end())
        return std::nullopt;
    return it->second;
}

bool CSimStore::HasChildFolders(int64_t folderId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& [id, f] : m_folders)
        if (f.parentId == folderId)
            return true;
    return false;
}

OpResult CSimStore::ListDir(int64_t org, int64_t parent, bool withFiles, std::vector<SimFolder>* dirs,
                            std::vector<SimFile>* files)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (parent != 0) {
        if (!FindInOrg(m_folders, org, parent))
            return OpResult::Fail("文件夹不存在");
    }
    for (const auto& [id, f] : m_folders)
        if (f.orgId == org && f.parentId == parent)
            dirs->push_back(f);
    if (withFiles)
        for (const auto& [id, f] : m_files)
            if (f.orgId == org && f.dirId == parent)
                files->push_back(f);
    return {};
}

bool CSimStore::IsInside(int64_t folder, int64_t ancestor)
{
    // Walks up from folder; bounded by the folder count so a damaged tree cannot loop forever.
    for (size_t guard = 0; folder != 0 && guard <= m_folders.size(); ++guard) {
        if (folder == ancestor)
            return true;
        auto it = m_folders.find(folder);
        if (it == m_folders.end())
            return false;
        folder = it->second.parentId;
    }
    return false;
}

OpResult CSimStore::Search(int64_t org, int64_t dirId, const std::string& key, std::vector<SimFolder>* dirs,
                           std::vector<SimFile>* files)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!FindInOrg(m_folders, org, dirId))
        return OpResult::Fail("文件夹不存在");
    std::string k = ToLowerAscii(key);
    for (const auto& [id, f] : m_folders)
        if (f.orgId == org && id != dirId && IsInside(f.parentId, dirId) &&
            ToLowerAscii(f.name).find(k) != std::string::npos)
            dirs->push_back(f);
    for (const auto& [id, f] : m_files)
        if (f.orgId == org && IsInside(f.dirId, dirId) && ToLowerAscii(f.name).find(k) != std::string::npos)
            files->push_back(f);
    return {};
}

OpResult CSimStore::CreateFolder(int64_t org, int64_t owner, int64_t parent, const std::string& name,
                                 SimFolder* out)
{
    std::string why;
    if (!IsAcceptableName(name, &why))
        return OpResult::Fail(why);
    std::lock_guard<std::mutex> lock(m_mutex);
    int level = 1;
    if (parent != 0) {
        const SimFolder* p = FindInOrg(m_folders, org, parent);
        if (!p)
            return OpResult::Fail("上级文件夹不存在");
        level = p->level + 1;
    }
    for (const auto& [id, f] : m_folders)
        if (f.orgId == org && f.parentId == parent && f.name == name)
            return OpResult::Fail("同名文件夹已存在");
    SimFolder f;
    f.id = NextId("folder");
    f.parentId = parent;
    f.orgId = org;
    f.ownerId = owner;
    f.level = level;
    f.name = name;
    f.createTime = NowText();
    m_folders[f.id] = f;
    SaveLocked();
    *out = f;
    return {};
}

OpResult CSimStore::CreateFolders(int64_t org, int64_t owner, int64_t parent,
                                  const std::vector<BatchItem>& items, std::vector<SimFolder>* out)
{
    std::string why;
    for (const auto& item : items)
        if (!IsAcceptableName(item.name, &why))
            return OpResult::Fail(why + ": " + item.name);
    std::lock_guard<std::mutex> lock(m_mutex);
    int parentLevel = 0;
    if (parent != 0) {
        const SimFolder* p = FindInOrg(m_folders, org, parent);
        if (!p)
            return OpResult::Fail("上级文件夹不存在");
        parentLevel = p->level;
    }
    // Items name their parent by client id; an unknown client parent means the remote parent.
    // The list is applied in order, parents before children, as the client builds it; a folder
    // that already exists under the same parent with the same name is reused, so mirroring the
    // same local tree twice does not double it.
    std::map<std::string, std::pair<int64_t, int>> byClient; // client id -> remote id, level
    for (const auto& item : items) {
        int64_t pid = parent;
        int plevel = parentLevel;
        auto pit = byClient.find(item.clientPid);
        if (pit != byClient.end()) {
            pid = pit->second.first;
            plevel = pit->second.second;
        }
        SimFolder* existing = nullptr;
        for (auto& [id, f] : m_folders)
            if (f.orgId == org && f.parentId == pid && f.name == item.name)
                existing = &f;
        SimFolder f;
        if (existing) {
            existing->clientId = item.clientId;
            f = *existing;
        } else {
            f.id = NextId("folder");
            f.parentId = pid;
            f.orgId = org;
            f.ownerId = owner;
            f.level = plevel + 1;
            f.name = item.name;
            f.createTime = NowText();
            f.clientId = item.clientId;
            m_folders[f.id] = f;
        }
        byClient[item.clientId] = {f.id, f.level};
        out->push_back(f);
    }
    SaveLocked();
    return {};
}

template <typename T>
OpResult CSimStore::RenameIn(std::map<int64_t, T>& items, int64_t T::*parent, int64_t org, int64_t id,
                             const std::string& name, const char* missing, const char* taken)
{
    std::string why;
    if (!IsAcceptableName(name, &why))
        return OpResult::Fail(why);
    std::lock_guard<std::mutex> lock(m_mutex);
    T* item = FindInOrg(items, org, id);
    if (!item)
        return OpResult::Fail(missing);
    for (const auto& [other, t] : items)
        if (other != id && t.orgId == org && t.*parent == item->*parent && t.name == name)
            return OpResult::Fail(taken);
    item->name = name;
    SaveLocked();
    return {};
}

OpResult CSimStore::RenameFolder(int64_t org, int64_t id, const std::string& name)
{
    return RenameIn(m_folders, &SimFolder::parentId, org, id, name, "文件夹不存在", "同名文件夹已存在");
}

OpResult CSimStore::RenameFile(int64_t org, int64_t id, const std::string& name)
{
    return RenameIn(m_files, &SimFile::dirId, org, id, name, "文件不存在", "同名文件已存在");
}

void CSimStore::RelevelLocked(int64_t folderId, int level)
{
    std::vector<std::pair<int64_t, int>> todo{{folderId, level}};
    while (!todo.empty()) {
        auto [id, lv] = todo.back();
        todo.pop_back();
        m_folders[id].level = lv;
        for (const auto& [cid, c] : m_folders)
            if (c.parentId == id)
                todo.push_back({cid, lv + 1});
    }
}

OpResult CSimStore::MoveFolders(int64_t org, int64_t dest, const std::vector<int64_t>& ids)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int destLevel = 0;
    if (dest != 0) {
        const SimFolder* d = FindInOrg(m_folders, org, dest);
        if (!d)
            return OpResult::Fail("目标文件夹不存在");
        destLevel = d->level;
    }
    for (int64_t id : ids) {
        if (!FindInOrg(m_folders, org, id))
            return OpResult::Fail("文件夹不存在");
        if (IsInside(dest, id))
            return OpResult::Fail("不能将文件夹移动到它自己或它的子文件夹中");
    }
    for (int64_t id : ids) {
        m_folders[id].parentId = dest;
        RelevelLocked(id, destLevel + 1);
    }
    SaveLocked();
    return {};
}

OpResult CSimStore::MoveFiles(int64_t org, int64_t dest, const std::vector<int64_t>& ids)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!FindInOrg(m_folders, org, dest))
        return OpResult::Fail("目标文件夹不存在");
    for (int64_t id : ids) {
        if (!FindInOrg(m_files, org, id))
            return OpResult::Fail("文件不存在");
    }
    for (int64_t id : ids)
        m_files[id].dirId = dest;
    SaveLocked();
    return {};
}

OpResult CSimStore::DeleteFolders(int64_t org, const std::vector<int64_t>& ids)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::set<int64_t> doomed;
    for (int64_t id : ids) {
        if (!FindInOrg(m_folders, org, id))
            return OpResult::Fail("文件夹不存在");
        for (const auto& [fid, f] : m_folders)
            if (IsInside(fid, id))
                doomed.insert(fid);
    }
    // Files are never deleted through a folder: a folder tree that holds any is refused whole.
    for (const auto& [id, f] : m_files)
        if (doomed.count(f.dirId))
            return OpResult::Fail("文件夹中有文件，不能删除");
    for (int64_t id : doomed)
        m_folders.erase(id);
    SaveLocked();
    return {};
}

void CSimStore::Space(int64_t org, int64_t* total, int64_t* used)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    *total = m_quotaBytes;
    *used = 0;
    for (const auto& [id, f] : m_files)
        if (f.orgId == org)
            *used += f.size;
}

std::optional<SimFolder> CSimStore::FolderById(int64_t org, int64_t id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const SimFolder* f = FindInOrg(m_folders, org, id);
    if (!f)
        return std::nullopt;
    return *f;
}

std::optional<SimFile> CSimStore::FileInFolderByName(int64_t org, int64_t dirId, const std::string& name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& [id, f] : m_files)
        if (f.orgId == org && f.dirId == dirId && f.name == name)
            return f;
    return std::nullopt;
}

std::optional<SimFile> CSimStore::FileByContent(int64_t org, const std::string& md5Hex, int64_t size)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& [id, f] : m_files)
        if (f.orgId == org && f.md5Hex == md5Hex && f.size == size)
            return f;
    return std::nullopt;
}

int64_t CSimStore::PartialFileId(const std::string& key)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_partials.find(key);
    if (it != m_partials.end())
        return it->second;
    int64_t id = NextId("file");
    m_partials[key] = id;
    SaveLocked();
    return id;
}

void CSimStore::ForgetPartial(const std::string& key)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_partials.erase(key))
        SaveLocked();
}

SimFile CSimStore::AddFile(SimFile file)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (file.id <= 0 || m_files.count(file.id))
        file.id = NextId("file");
    if (file.createTime.empty())
        file.createTime = NowText();
    m_files[file.id] = file;
    SaveLocked();
    return file;
}

CSimStore::Counts CSimStore::GetCounts()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Counts c;
    c.accounts = m_accounts.size();
    c.folders = m_folders.size();
    c.files = m_files.size();
    c.partials = m_partials.size();
    return c;
}

} // namespace vx::sim
