#pragma once
// The organisation's remote space: list, search, create (one or a batch), rename, move and
// delete folders, rename and move files, read the quota, and the two server lists on the web
// host. Every request carries the session cookie; every answer is a JSON object.

#include "app/AppConfig.h"
#include "net/HttpClient.h"
#include "store/SpaceRow.h"

#include <json/value.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vx {

// A remote folder or file as the answers describe it; the local cache stores the same record.
using SpaceEntry = SpaceRow;

struct FileServerAddress
{
    std::string strIp;
    int nPort = 0;
};

// One local folder of a batch creation: its client id, its parent's client id, its name.
struct BatchFolder
{
    std::string strClientId;
    std::string strClientPid;
    std::string strName;
};

struct SpaceQuota
{
    int64_t i64Total = 0; // whole gigabytes (units of 2^30 bytes)
    int64_t i64Left = 0;
    int64_t i64Used = 0;
};

class CSpaceApi
{
public:
    explicit CSpaceApi(CAppConfig& config);

    void SetTimeouts(const HttpTimeouts& t) { m_timeouts = t; }

    // Each returns false on failure and leaves its outputs unchanged, except *errorText which
    // gets the server's message (or the HTTP status text) when there is one.
    bool RequestForDirList(int64_t dirId, bool showFile, std::vector<SpaceEntry>* entries,
                           std::string* errorText);
    bool RequestForDirListAll(int64_t dirId, std::vector<SpaceEntry>* entries, std::string* errorText);
    bool RequestForSearchKey(int64_t dirId, const std::string& key, std::vector<SpaceEntry>* entries,
                             std::string* errorText);
    bool RequestForCreateDirectroy(int64_t parentId, const std::string& name, int64_t* newId,
                                   std::string* errorText);
    bool RequestForCreateDirectroyS(const std::string& batchJson, std::vector<SpaceEntry>* created,
                                    std::string* errorText);
    bool RequestForRenameDir(int64_t dirId, const std::string& newName, int64_t parentId,
                             std::string* errorText);
    bool RequestForRenameFile(int64_t fileId, const std::string& newName, const std::string& md5,
                              int64_t size, std::string* errorText);
    bool RequestForMoveDir(int64_t destId, const std::vector<int64_t>& dirIds, std::string* errorText);
    bool RequestForMoveFile(int64_t destId, const std::vector<int64_t>& fileIds, std::string* errorText);
    bool RequestForDeleteDir(const std::vector<int64_t>& dirIds, std::string* errorText);
    bool RequestSpaceInfo(SpaceQuota* quota, std::string* errorText);
    bool RequestFtpServer(std::vector<FileServerAddress>* servers, std::string* errorText);
    // 0 (host/port set when the answer had both; the configuration is updated when they differ),
    // -1 no exchange, -2 HTTP status, -3 empty body, -4 not an object.
    int RequestLiveServerIdc(std::string* host, int* port);

    // A readable cause of the last failure (server message, HTTP status, connection refused at
    // host:port, an answer without the expected members ...).
    const std::string& GetFailureCause() const { return m_strCause; }

    // Selection helpers: the ids of the folders (type 1) or of the files (every other type).
    static std::vector<int64_t> FolderIds(const std::vector<SpaceEntry>& selection);
    static std::vector<int64_t> FileIds(const std::vector<SpaceEntry>& selection);
    // "11,12,13"
    static std::string JoinIds(const std::vector<int64_t>& ids);
    // The one-line batch text: {"pid":"..","orgid":"..","list":[{"clientid":..,"clientPid":..,"name":..},..]}
    static std::string BuildBatchText(int64_t pid, int64_t orgId, const std::vector<BatchFolder>& folders);
    // Entry readers, public for the fuzz target and the tests.
    static SpaceEntry ReadFolderEntry(const Json::Value& v);
    static SpaceEntry ReadFileEntry(const Json::Value& v, int64_t defaultParent);

private:
    std::string BaseUrl() const;
    // DoHttpRequest with the session cookie; parses into *root. parseLine: the log line of the
    // operation when the answer is not an object. False on any failure (m_strCause set).
    bool Call(const std::string& url, bool isPost, const std::string& params, const char* parseLine,
              Json::Value* root, std::string* errorText, std::string* preparedBody = nullptr);
    // The success rule: a present "success" false copies "message" and fails; a missing one
    // counts as missingOk.
    bool CheckSuccess(const Json::Value& root, bool missingOk, std::string* errorText,
                      bool* missing = nullptr);
    // A GET through Call, then the success rule with a missing "success" counted as success.
    bool CallChecked(const std::string& url, const char* parseLine, Json::Value* root,
                     std::string* errorText);
    // The folders of root[key].list; false (logged for op, m_strCause set) when the answer lacks them.
    bool ReadFolderList(const Json::Value& root, const char* key, const char* op, const std::string& url,
                        std::vector<SpaceEntry>* out);
    bool ReadLists(const Json::Value& root, const char* op, const std::string& url, int64_t dirId,
                   bool showFile, std::vector<SpaceEntry>* entries);
    // A GET whose answer must say "success": true (missingLine, when given, logs an answer
    // without it); *answer, when given, gets the answer object.
    bool SimpleCall(const std::string& url, const char* parseLine, const char* missingLine,
                    std::string* errorText, Json::Value* answer = nullptr);

    CAppConfig& m_config;
    HttpTimeouts m_timeouts;
    std::string m_strCause;
};

} // namespace vx
