#include "net/SpaceApi.h"

#include "app/LogFile.h"
#include "app/Utils.h"
#include "net/HttpRequest.h"
#include "net/JsonHelpers.h"

#include <cerrno>
#include <cstdlib>

namespace vx {

namespace {

std::string Num(int64_t v)
{
    return std::to_string(v);
}

// A decimal text as 64-bit; anything else reads as 0.
int64_t ParseDecimal(const std::string& text)
{
    if (text.empty())
        return 0;
    errno = 0;
    char* end = nullptr;
    long long v = strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str())
        return 0;
    return v;
}

std::string JsonEscape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (static_cast<unsigned char>(c) >= 0x20)
            out += c;
    }
    return out;
}

// The members folders and files share; each one missing leaves its field as it was.
void ReadCommonMembers(const Json::Value& v, SpaceEntry* e)
{
    GetJsonInt64(v, "id", &e->i64Id);
    GetJsonInt64(v, "parentId", &e->i64ParentId);
    GetJsonInt64(v, "ownId", &e->i64OwnId);
    int level = e->nLevel;
    if (GetJsonInt(v, "level", &level))
        e->nLevel = level;
    GetJsonBool(v, "hasChildrenDir", &e->bHasChildren);
    std::string size;
    if (GetJsonString(v, "fileSize", &size))
        e->i64Size = ParseDecimal(size);
    GetJsonBool(v, "status", &e->bStatus);
    GetJsonString(v, "name", &e->strName);
    GetJsonString(v, "createTime", &e->strCreateTime);
}

// Every object of list read by read; anything else is logged and passed over.
template <typename Read> void AppendEntries(const Json::Value& list, Read read, std::vector<SpaceEntry>* out)
{
    for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
        if (!list[i].isObject()) {
            Log(g_log, "Error : AnalysisDirList failed! at %d", static_cast<int>(i));
            continue;
        }
        out->push_back(read(list[i]));
    }
}

} // namespace

CSpaceApi::CSpaceApi(CAppConfig& config) : m_config(config) {}

std::string CSpaceApi::BaseUrl() const
{
    return "http://" + m_config.m_strWebHost + ":" + std::to_string(m_config.m_nWebPort);
}

std::vector<int64_t> CSpaceApi::FolderIds(const std::vector<SpaceEntry>& selection)
{
    std::vector<int64_t> ids;
    for (const SpaceEntry& e : selection)
        if (e.nType == SPACE_FOLDER)
            ids.push_back(e.i64Id);
    return ids;
}

std::vector<int64_t> CSpaceApi::FileIds(const std::vector<SpaceEntry>& selection)
{
    std::vector<int64_t> ids;
    for (const SpaceEntry& e : selection)
        if (e.nType != SPACE_FOLDER)
            ids.push_back(e.i64Id);
    return ids;
}

std::string CSpaceApi::JoinIds(const std::vector<int64_t>& ids)
{
    std::string out;
    for (size_t i = 0; i < ids.size(); ++i) {
        if (i > 0)
            out += ',';
        out += Num(ids[i]);
    }
    return out;
}

std::string CSpaceApi::BuildBatchText(int64_t pid, int64_t orgId, const std::vector<BatchFolder>& folders)
{
    std::string s = "{\"pid\":\"" + Num(pid) + "\",\"orgid\":\"" + Num(orgId) + "\",\"list\":[";
    for (size_t i = 0; i < folders.size(); ++i) {
        if (i > 0)
            s += ',';
        s += "{\"clientid\":\"" + JsonEscape(folders[i].strClientId) + "\",\"clientPid\":\"" +
             JsonEscape(folders[i].strClientPid) + "\",\"name\":\"" + UrlEncode(folders[i].strName) + "\"}";
    }
    return s + "]}";
}

SpaceEntry CSpaceApi::ReadFolderEntry(const Json::Value& v)
{
    SpaceEntry e;
    ReadCommonMembers(v, &e);
    GetJsonString(v, "clientid", &e.strClientId);
    e.nType = SPACE_FOLDER; // a folder list holds folders, whatever "type" says
    return e;
}

SpaceEntry CSpaceApi::ReadFileEntry(const Json::Value& v, int64_t defaultParent)
{
    SpaceEntry e;
    e.i64ParentId = defaultParent;
    ReadCommonMembers(v, &e);
    std::string type;
    if (GetJsonString(v, "type", &type))
        e.nType = type == "pdf" ? SPACE_PDF : type == "swf" ? SPACE_SWF : SPACE_VIDEO;
    GetJsonString(v, "filePath", &e.strFilePath);
    return e;
}

bool CSpaceApi::Call(const std::string& url, bool isPost, const std::string& params, const char* parseLine,
                     Json::Value* root, std::string* errorText, std::string* preparedBody)
{
    m_strCause.clear();
    std::string body;
    HttpRequestResult result;
    if (!DoHttpRequest(errorText, url, &body, isPost, params, m_config.m_strCookie, &result, m_timeouts)) {
        m_strCause = result.cause;
        return false;
    }
    std::string text = PrepareJsonText(body);
    if (preparedBody)
        *preparedBody = text;
    if (!ParseJsonObject(text, root)) {
        if (parseLine)
            Log(g_log, "%s%s", parseLine, url.c_str());
        m_strCause = "the answer of " + url + " is not a JSON object";
        return false;
    }
    return true;
}

bool CSpaceApi::CallChecked(const std::string& url, const char* parseLine, Json::Value* root,
                            std::string* errorText)
{
    return Call(url, false, std::string(), parseLine, root, errorText) &&
           CheckSuccess(*root, true, errorText);
}

bool CSpaceApi::CheckSuccess(const Json::Value& root, bool missingOk, std::string* errorText, bool* missing)
{
    bool success = true;
    if (!GetJsonBool(root, "success", &success)) {
        if (missing)
            *missing = true;
        if (!missingOk)
            m_strCause = "the answer has no \"success\"";
        return missingOk;
    }
    if (!success) {
        std::string message;
        if (GetJsonString(root, "message", &message) && errorText)
            *errorText = message;
        m_strCause = message.empty() ? "the server refused the request" : message;
    }
    return success;
}

bool CSpaceApi::ReadFolderList(const Json::Value& root, const char* key, const char* op,
                               const std::string& url, std::vector<SpaceEntry>* out)
{
    Json::Value holder, list;
    if (!GetJsonValue(root, key, &holder) || !holder.isObject()) {
        Log(g_log, "Error : %s, Get Json \"dirList\" Failed.\n Url = %s", op, url.c_str());
        m_strCause = std::string("the answer has no \"") + key + "\"";
        return false;
    }
    if (!GetJsonArray(holder, "list", &list)) {
        Log(g_log, "Error : %s, Get Json \"dir-list\" Failed.\n Url = %s", op, url.c_str());
        m_strCause = std::string("the answer has no \"") + key + "\".\"list\"";
        return false;
    }
    AppendEntries(list, ReadFolderEntry, out);
    return true;
}

bool CSpaceApi::ReadLists(const Json::Value& root, const char* op, const std::string& url, int64_t dirId,
                          bool showFile, std::vector<SpaceEntry>* entries)
{
    std::vector<SpaceEntry> out;
    if (!ReadFolderList(root, "dirList", op, url, &out))
        return false;
    Json::Value fileList;
    if (!GetJsonValue(root, "fileList", &fileList) || !fileList.isObject()) {
        Log(g_log, "Error : %s, Get Json \"fileList\" Failed.\n Url = %s", op, url.c_str());
        m_strCause = "the answer has no \"fileList\"";
        return false;
    }
    Json::Value files;
    if (GetJsonArray(fileList, "list", &files)) {
        if (files.empty()) {
            if (std::string(op) == "RequestForSearchKey")
                Log(g_log, "Info : filelist  is empty parentId=%lld&organizationId=%lld, _name:%d ",
                    static_cast<long long>(dirId), static_cast<long long>(m_config.m_i64OrgId), 1);
            else
                Log(g_log, "Info : filelist  is empty parentId=%lld&organizationId=%lld, ShowFile:%d ",
                    static_cast<long long>(dirId), static_cast<long long>(m_config.m_i64OrgId),
                    showFile ? 1 : 0);
        }
        AppendEntries(
            files, [dirId](const Json::Value& v) { return ReadFileEntry(v, dirId); }, &out);
    }
    *entries = std::move(out);
    return true;
}

bool CSpaceApi::RequestForDirList(int64_t dirId, bool showFile, std::vector<SpaceEntry>* entries,
                                  std::string* errorText)
{
    const std::string url = BaseUrl() + "/ajax/ftp/dir/show?parentId=" + Num(dirId) +
                            "&organizationId=" + Num(m_config.m_i64OrgId) +
                            "&showfile=" + (showFile ? "true" : "false") + "&sort=&type=&uploadStatus=true";
    Json::Value root;
    if (!CallChecked(url, "Error : RequestForDirList, Parse Json Failed.\n Url = ", &root, errorText))
        return false;
    return ReadLists(root, "RequestForDirList", url, dirId, showFile, entries);
}

bool CSpaceApi::RequestForDirListAll(int64_t dirId, std::vector<SpaceEntry>* entries, std::string* errorText)
{
    return RequestForDirList(dirId, true, entries, errorText);
}

bool CSpaceApi::RequestForSearchKey(int64_t dirId, const std::string& key, std::vector<SpaceEntry>* entries,
                                    std::string* errorText)
{
    if (dirId <= 0 || key.empty()) {
        Log(g_log, "Waring :RequestForSearchKey  check failed,  _nParentId:%lld or search key is empty ",
            static_cast<long long>(dirId));
        m_strCause = dirId <= 0 ? "a search needs a folder id greater than 0" : "the search text is empty";
        return false;
    }
    const std::string url = BaseUrl() + "/ajax/ftp/dir/search?organizationId=" + Num(m_config.m_i64OrgId) +
                            "&dirId=" + Num(dirId) + "&name=" + UrlEncode(key);
    Json::Value root;
    if (!CallChecked(url, "Error : RequestForSearchKey, Parse Json Failed.\n Url = ", &root, errorText))
        return false;
    return ReadLists(root, "RequestForSearchKey", url, dirId, true, entries);
}

bool CSpaceApi::RequestForCreateDirectroy(int64_t parentId, const std::string& name, int64_t* newId,
                                          std::string* errorText)
{
    if (name.empty()) {
        Log(g_log, "RequestForCreateDirectroy--  _strName  is  empty \n");
        m_strCause = "the folder name is empty";
        return false;
    }
    const std::string url = BaseUrl() + "/ajax/ftp/dir/create?organizationId=" + Num(m_config.m_i64OrgId) +
                            "&parentId=" + Num(parentId) + "&name=" + UrlEncode(name);
    Json::Value root;
    if (!SimpleCall(url, "Error : RequestTreeDir, Parse Json Failed.\n Url = ",
                    "Error : CreateDirectroy! Json error!  \n", errorText, &root))
        return false;
    int64_t id = 0;
    if (!GetJsonInt64(root, "id", &id)) {
        m_strCause = "the answer has no \"id\"";
        return false;
    }
    *newId = id;
    return true;
}

bool CSpaceApi::RequestForCreateDirectroyS(const std::string& batchJson, std::vector<SpaceEntry>* created,
                                           std::string* errorText)
{
    if (batchJson.empty()) {
        Log(g_log, "Error : RequestForCreateDirectroyS--  _strJsonMsg  is  empty \n");
        m_strCause = "nothing to create";
        return false;
    }
    const std::string url = BaseUrl() + "/ajax/ftp/dir/upload";
    Json::Value root;
    std::string prepared;
    if (!Call(url, true, "paramJson=" + batchJson,
              "Error : RequestForCreateDirectroyS, Parse Json Failed.\n Url = ", &root, errorText, &prepared))
        return false;
    LogText(g_log, "Info : CreateDirectroyS body(" + prepared + ")");
    if (!CheckSuccess(root, true, errorText))
        return false;
    std::vector<SpaceEntry> out;
    if (!ReadFolderList(root, "result", "RequestForCreateDirectroyS", url, &out))
        return false;
    *created = std::move(out);
    return true;
}

bool CSpaceApi::SimpleCall(const std::string& url, const char* parseLine, const char* missingLine,
                           std::string* errorText, Json::Value* answer)
{
    Json::Value root;
    std::string prepared;
    if (!Call(url, false, std::string(), parseLine, &root, errorText, &prepared))
        return false;
    bool missing = false;
    if (!CheckSuccess(root, false, errorText, &missing)) {
        if (missing && missingLine)
            Log(g_log, "%s%s", missingLine, prepared.c_str());
        return false;
    }
    if (answer)
        *answer = root;
    return true;
}

bool CSpaceApi::RequestForRenameDir(int64_t dirId, const std::string& newName, int64_t parentId,
                                    std::string* errorText)
{
    if (newName.empty()) {
        Log(g_log, "RequestForRenameDir--  _strNewName  is  empty \n");
        m_strCause = "the new name is empty";
        return false;
    }
    const std::string url = BaseUrl() + "/ajax/ftp/dir/edit?id=" + Num(dirId) +
                            "&name=" + UrlEncode(newName) + "&parentId=" + Num(parentId) +
                            "&organizationId=" + Num(m_config.m_i64OrgId);
    std::string message;
    bool ok = SimpleCall(url, "Error : RequestTreeDir, Parse Json Failed.\n Url = ",
                         "Error : DeleteDirectory! Json error!  \n", &message);
    if (!ok && errorText)
        *errorText = message.empty() ? "重命名失败!" : message;
    return ok;
}

bool CSpaceApi::RequestForRenameFile(int64_t fileId, const std::string& newName, const std::string& md5,
                                     int64_t size, std::string* errorText)
{
    if (newName.empty()) {
        Log(g_log, "RequestForRenameDir--  _strNewName  is  empty \n");
        m_strCause = "the new name is empty";
        return false;
    }
    // The size is written in 64 bits: files of 2 GiB and more must not wrap negative.
    const std::string url = BaseUrl() + "/ajax/ftp/file/edit?organizationId=" + Num(m_config.m_i64OrgId) +
                            "&id=" + Num(fileId) + "&name=" + UrlEncode(newName) + "&md5=" + UrlEncode(md5) +
                            "&size=" + Num(size);
    return SimpleCall(url, "Error : RequestForRenameFile, Parse Json Failed.\n Url = ", nullptr, errorText);
}

bool CSpaceApi::RequestForMoveDir(int64_t destId, const std::vector<int64_t>& dirIds, std::string* errorText)
{
    if (dirIds.empty())
        return true;
    const std::string url = BaseUrl() + "/ajax/ftp/dir/move?organizationId=" + Num(m_config.m_i64OrgId) +
                            "&parentId=" + Num(destId) + "&ids=" + JoinIds(dirIds);
    return SimpleCall(url, "Error : RequestForMoveDir, Parse Json Failed.\n Url = ",
                      "Error : RequestForMoveDir! Json error!  \n", errorText);
}

bool CSpaceApi::RequestForMoveFile(int64_t destId, const std::vector<int64_t>& fileIds,
                                   std::string* errorText)
{
    if (fileIds.empty())
        return true;
    const std::string url = BaseUrl() + "/ajax/ftp/file/move?organizationId=" + Num(m_config.m_i64OrgId) +
                            "&dirId=" + Num(destId) + "&ids=" + JoinIds(fileIds);
    return SimpleCall(url, "Error : RequestForMoveFile, Parse Json Failed.\n Url = ", nullptr, errorText);
}

bool CSpaceApi::RequestForDeleteDir(const std::vector<int64_t>& dirIds, std::string* errorText)
{
    if (dirIds.empty()) {
        m_strCause = "no folder to delete";
        return false;
    }
    const std::string url = BaseUrl() + "/ajax/ftp/dir/delete?organizationId=" + Num(m_config.m_i64OrgId) +
                            "&ids=" + JoinIds(dirIds);
    return SimpleCall(url, "Error : RequestForDeleteDir, Parse Json Failed.\n Url = ",
                      "Error : RequestForDeleteDir! Json error!  \n", errorText);
}

bool CSpaceApi::RequestSpaceInfo(SpaceQuota* quota, std::string* errorText)
{
    const std::string url =
        BaseUrl() + "/ajax/ftp/getFtpSpaceData?organizationId=" + Num(m_config.m_i64OrgId);
    Json::Value root;
    if (!CallChecked(url, "Error : RequestSpaceInfo, Parse Json Failed.\n Url = ", &root, errorText))
        return false;
    SpaceQuota q;
    if (!GetJsonInt64(root, "totalSize", &q.i64Total) || !GetJsonInt64(root, "leftSize", &q.i64Left) ||
        !GetJsonInt64(root, "usedSize", &q.i64Used)) {
        m_strCause = "the quota answer lacks totalSize, leftSize or usedSize";
        return false;
    }
    *quota = q;
    return true;
}

bool CSpaceApi::RequestFtpServer(std::vector<FileServerAddress>* servers, std::string* errorText)
{
    const std::string url = BaseUrl() + "/ajax/getVexoraServerIpList";
    Json::Value root;
    std::string prepared;
    if (!Call(url, false, std::string(), "Error : RequestFtpServer, Parse Json Failed.\n Url = ", &root,
              errorText, &prepared))
        return false;
    LogText(g_log, "Info : body:" + prepared);
    std::vector<FileServerAddress> out;
    Json::Value result, list;
    if (GetJsonValue(root, "result", &result) && result.isObject() && GetJsonArray(result, "list", &list)) {
        for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
            if (!list[i].isObject()) {
                Log(g_log, "Error : AnalysisFileserverInfo failed! at %d", static_cast<int>(i));
                continue;
            }
            FileServerAddress a;
            std::string port;
            GetJsonString(list[i], "ip", &a.strIp);
            if (GetJsonString(list[i], "port", &port))
                a.nPort = atoi(port.c_str());
            out.push_back(a);
        }
    }
    *servers = std::move(out);
    return true;
}

int CSpaceApi::RequestLiveServerIdc(std::string* host, int* port)
{
    const std::string url = BaseUrl() + "/liveCourse.do?action=getLiveServerIdc";
    CHttpClient client;
    client.SetTimeouts(m_timeouts);
    bool ok = false;
    for (int i = 0; i < 3 && !ok; ++i)
        ok = client.Get(url, std::string());
    if (!ok) {
        Log(g_log, "Error : Request for version server ip Failed. Error = %d, url = %s",
            client.GetErrorCode(), url.c_str());
        m_strCause = client.GetFailureCause();
        return -1;
    }
    if (client.GetStatusCode() != 200) {
        Log(g_log, "Error : Request for version server ip, but the http status = %d, url = %s",
            client.GetStatusCode(), url.c_str());
        m_strCause = "HTTP status " + std::to_string(client.GetStatusCode()) + " for " + url;
        return -2;
    }
    if (client.GetBody().empty()) {
        Log(g_log, "Error : Request for version server ip, but the http body is empty. url = %s",
            url.c_str());
        m_strCause = "empty answer for " + url;
        return -3;
    }
    Json::Value root;
    if (!ParseJsonObject(PrepareJsonText(client.GetBody()), &root)) {
        m_strCause = "the answer of " + url + " is not a JSON object";
        return -4;
    }
    std::string portText, idc;
    if (GetJsonNarrowString(root, "port", &portText) && GetJsonNarrowString(root, "idcList", &idc)) {
        // An empty host or a port outside 1-65535 is no address: written to Config.ini it would
        // disable the check on every later start, so it counts as missing.
        int p = 0;
        bool digits = !portText.empty() && portText.size() <= 5 &&
                      portText.find_first_not_of("0123456789") == std::string::npos;
        if (digits)
            p = atoi(portText.c_str());
        if (idc.empty() || idc.find_first_of(" \t\r\n:") != std::string::npos || p < 1 || p > 65535) {
            Log(g_log,
                "Warning : Request for version server ip, but the answer has no usable address (%s:%s)",
                idc.c_str(), portText.c_str());
            return 0;
        }
        *host = idc;
        *port = p;
        if (idc != m_config.m_strVerHost || p != m_config.m_nVerPort)
            m_config.SaveLivesrvIpPort(p, idc);
    }
    return 0;
}

} // namespace vx
