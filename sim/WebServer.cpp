#include "sim/WebServer.h"

#include "platform/Paths.h"
#include "platform/Socket.h"
#include "sim/ConnTaskQueue.h"
#include "sim/SimLog.h"
#include "sim/SimText.h"

#include <chrono>
#include <fstream>
#include <functional>
#include <httplib.h>
#include <json/json.h>
#include <optional>
#include <sstream>

namespace vx::sim {

namespace {

const char* kJsonType = "application/json;charset=UTF-8";
const size_t kMaxBatchBytes = 4 * 1024 * 1024;
const int kMaxConnections = 256;

std::string ToJson(const Json::Value& v)
{
    Json::StreamWriterBuilder wb;
    wb["emitUTF8"] = true;
    wb["indentation"] = "";
    return Json::writeString(wb, v);
}

void SendJson(httplib::Response& res, const Json::Value& v)
{
    res.set_content(ToJson(v), kJsonType);
}

void SendFail(httplib::Response& res, const std::string& message)
{
    Json::Value v;
    v["success"] = false;
    v["message"] = message;
    SendJson(res, v);
}

// Cookie header "A=1;B=2;" or "A=1; B=2" -> value of name.
std::string CookieValue(const httplib::Request& req, const std::string& name)
{
    std::string header = req.get_header_value("Cookie");
    std::stringstream ss(header);
    std::string part;
    while (std::getline(ss, part, ';')) {
        size_t start = part.find_first_not_of(' ');
        if (start == std::string::npos)
            continue;
        part = part.substr(start);
        size_t eq = part.find('=');
        if (eq != std::string::npos && part.substr(0, eq) == name)
            return part.substr(eq + 1);
    }
    return "";
}

Json::Value FolderJson(const SimFolder& f, bool hasChildren)
{
    Json::Value v;
    v["id"] = Json::Int64(f.id);
    v["parentId"] = Json::Int64(f.parentId);
    v["ownId"] = Json::Int64(f.ownerId);
    v["level"] = f.level;
    v["hasChildrenDir"] = hasChildren;
    v["type"] = "dir";
    v["fileSize"] = "0";
    v["status"] = true;
    v["name"] = f.name;
    v["createTime"] = f.createTime;
    v["clientid"] = f.clientId;
    return v;
}

Json::Value FileJson(const SimFile& f, int level)
{
    Json::Value v;
    v["id"] = Json::Int64(f.id);
    v["parentId"] = Json::Int64(f.dirId);
    v["ownId"] = Json::Int64(f.ownerId);
    v["level"] = level;
    v["hasChildrenDir"] = false;
    v["type"] = f.type;
    v["fileSize"] = std::to_string(f.size);
    v["status"] = true;
    v["name"] = f.name;
    v["createTime"] = f.createTime;
    v["filePath"] = "/files/" + std::to_string(f.orgId) + "/" + std::to_string(f.id) + "." + f.type;
    v["md5"] = f.md5Hex;
    return v;
}

bool ParamInt64(const httplib::Request& req, const char* name, int64_t* out)
{
    return req.has_param(name) && ParseInt64(req.get_param_value(name), out);
}

bool ParseIdList(const std::string& text, std::vector<int64_t>* ids)
{
    std::stringstream ss(text);
    std::string part;
    while (std::getline(ss, part, ',')) {
        int64_t id = 0;
        if (!ParseInt64(part, &id) || id <= 0)
            return false;
        ids->push_back(id);
    }
    return !ids->empty();
}

} // namespace

CWebServer::CWebServer(const SimOptions& opts, SimFaults& faults, CSimStore& store)
    : m_opts(opts), m_faults(faults), m_store(store), m_server(std::make_unique<httplib::Server>())
{
}

CWebServer::~CWebServer()
{
    Stop();
}

void CWebServer::SetPorts(const std::vector<int>& filePorts, int versionPort)
{
    m_filePorts = filePorts;
    m_versionPort = versionPort;
}

std::string CWebServer::InstallerUrl() const
{
    std::string name = m_installer.substr(m_installer.find_last_of('/') + 1);
    return "http://" + m_opts.bindHost + ":" + std::to_string(m_port) + "/download/" + name;
}

int CWebServer::Start(int port)
{
    Routes();
    // A thread per connection: idle or half-sent connections never hold up a real request.
    m_server->new_task_queue = [] { return new CConnTaskQueue(kMaxConnections); };
    // The client announces keep-alive but never sends a second request on a connection; closing
    // after each answer, and giving a connection one second to start its request and two
    // seconds for each further piece of it, ends idle and stalled connections quickly.
    m_server->set_keep_alive_max_count(1);
    m_server->set_keep_alive_timeout(1);
    m_server->set_read_timeout(2, 0);
    m_server->set_payload_max_length(4 * 1024 * 1024);
    if (port == 0)
        port = m_server->bind_to_any_port(m_opts.bindHost);
    else if (!m_server->bind_to_port(m_opts.bindHost, port))
        port = -1;
    if (port <= 0)
        return -1;
    m_port = port;
    if (!WidenListenQueue(static_cast<uint16_t>(port), kMaxConnections))
        SimLog("[web] could not widen the listen queue of port %d; bursts of connections may wait", port);
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    return port;
}

void CWebServer::Stop()
{
    if (m_thread.joinable()) {
        m_server->stop();
        m_thread.join();
    }
}

Json::Value CWebServer::FolderList(const std::vector<SimFolder>& folders) const
{
    Json::Value list = Json::arrayValue;
    for (const auto& f : folders)
        list.append(FolderJson(f, m_store.HasChildFolders(f.id)));
    return list;
}

void CWebServer::Routes()
{
    httplib::Server& s = *m_server;

    s.set_logger([](const httplib::Request& req, const httplib::Response& res) {
        // The password hash works as the password: the log shows it masked, as the client does.
        SimLog("[web] %s %s -> %d", req.method.c_str(), MaskPassword(req.target).c_str(), res.status);
    });
    s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty())
            res.set_content("<html><body>" + std::to_string(res.status) + "</body></html>", "text/html");
    });
    s.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content("<html><body>500</body></html>", "text/html");
    });
    s.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        if (req.path.rfind("/sim/", 0) == 0)
            return httplib::Server::HandlerResponse::Unhandled;
        int delay = m_faults.delayMs;
        if (delay > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        if (m_faults.garbageWeb) {
            res.set_content("<html><body>Service Temporarily Unavailable</body></html>", "text/html");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    // The session behind the request's cookie, when it is still usable for the web API.
    auto session = [this](const httplib::Request& req, SimAccount* acc) {
        auto sess = m_store.FindSession(CookieValue(req, "JSESSIONID"));
        if (!sess || sess->signedOut)
            return false;
        auto a = m_store.AccountById(sess->userId);
        if (!a)
            return false;
        *acc = *a;
        return true;
    };
    // A usable session, or the answer that the login has lapsed.
    auto loginGuard = [session](const httplib::Request& req, httplib::Response& res, SimAccount* acc) {
        if (session(req, acc))
            return true;
        SendFail(res, "登录已失效，请重新登录");
        return false;
    };
    // Common guard of the /ajax/ftp requests: a session of the organisation that is asked for.
    auto orgGuard = [loginGuard](const httplib::Request& req, httplib::Response& res, SimAccount* acc) {
        if (!loginGuard(req, res, acc))
            return false;
        int64_t org = 0;
        if (!ParamInt64(req, "organizationId", &org) || org != acc->orgId || org <= 0) {
            SendFail(res, "没有访问该机构空间的权限");
            return false;
        }
        return true;
    };

    s.Get("/index.do", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<html><body>Vexora platform simulator</body></html>", "text/html");
    });

    s.Get("/login.do", [this](const httplib::Request& req, httplib::Response& res) {
        std::string name = req.get_param_value("j_username");
        std::string hash = ToLowerAscii(req.get_param_value("j_password"));
        auto acc = m_store.FindAccount(name);
        Json::Value v;
        if (!acc) {
            v["success"] = false;
            v["message"] = "用户名不存在";
        } else if (m_faults.refuseLogin || hash != acc->pwdHash) {
            v["success"] = false;
            v["message"] = "用户名或密码错误";
            v["tryTimesLeft"] = m_faults.refuseLogin ? acc->triesLeft : m_store.RecordFailedLogin(name);
        } else {
            m_store.RecordGoodLogin(name);
            std::string token = m_store.NewSession(acc->id);
            v["success"] = true;
            v["id"] = Json::Int64(acc->id);
            v["username"] = acc->name;
            v["screenName"] = acc->screenName;
            // The client collects a cookie only up to the next ';', so each carries an attribute.
            res.set_header("Set-Cookie", "JSESSIONID=" + token + "; Path=/");
            res.set_header("Set-Cookie", "SA=" + acc->name + "; Path=/");
        }
        SendJson(res, v);
    });

    s.Get("/getCurrentUser.do", [session, this](const httplib::Request& req, httplib::Response& res) {
        SimAccount acc;
        Json::Value v;
        v["success"] = true;
        if (!session(req, &acc)) {
            v["status"] = false;
            v["message"] = "未登录";
        } else {
            v["id"] = Json::Int64(acc.id);
            v["username"] = acc.name;
            auto org = m_store.OrgById(acc.orgId);
            v["status"] = org.has_value();
            if (org) {
                v["orgId"] = Json::Int64(org->id);
                v["orgName"] = org->name;
            }
        }
        SendJson(res, v);
    });

    s.Get("/check.do", [this](const httplib::Request& req, httplib::Response& res) {
        auto sess = m_store.FindSession(CookieValue(req, "JSESSIONID"));
        Json::Value v;
        v["success"] = true;
        bool out = m_faults.signedOut || (sess && sess->signedOut);
        // A session past the cookie time-to-live is gone from the store: overdue.
        bool overdue = !sess || m_faults.expireCookie;
        v["isOut"] = out;
        v["isOverdue"] = overdue;
        SendJson(res, v);
    });

    s.Get("/ajax/ftp/dir/show", [this, orgGuard](const httplib::Request& req, httplib::Response& res) {
        SimAccount acc;
        if (!orgGuard(req, res, &acc))
            return;
        int64_t parent = 0;
        if (!ParamInt64(req, "parentId", &parent)) {
            SendFail(res, "参数错误");
            return;
        }
        std::vector<SimFolder> dirs;
        std::vector<SimFile> files;
        bool withFiles = req.get_param_value("showfile") == "true";
        OpResult r = m_store.ListDir(acc.orgId, parent, withFiles, &dirs, &files);
        if (!r.ok) {
            SendFail(res, r.message);
            return;
        }
        int level = 1;
        if (auto f = m_store.FolderById(acc.orgId, parent))
            level = f->level + 1;
        Json::Value v;
        v["success"] = true;
        v["dirList"]["list"] = FolderList(dirs);
        v["fileList"]["list"] = Json::arrayValue;
        for (const auto& f : files)
            v["fileList"]["list"].append(FileJson(f, level));
        SendJson(res, v);
    });

    s.Get("/ajax/ftp/dir/search", [this, orgGuard](const httplib::Request& req, httplib::Response& res) {
        SimAccount acc;
        if (!orgGuard(req, res, &acc))
            return;
        int64_t dir = 0;
        std::string key = req.get_param_value("name");
        if (!ParamInt64(req, "dirId", &dir) || dir <= 0 || key.empty() || !IsValidUtf8(key)) {
            SendFail(res, "参数错误");
            return;
        }
        std::vector<SimFolder> dirs;
        std::vector<SimFile> files;
        OpResult r = m_store.Search(acc.orgId, dir, key, &dirs, &files);
        if (!r.ok) {
            SendFail(res, r.message);
            return;
        }
        Json::Value v;
        v["success"] = true;
        v["dirList"]["list"] = FolderList(dirs);
        v["fileList"]["list"] = Json::arrayValue;
        for (const auto& f : files) {
            auto parent = m_store.FolderById(acc.orgId, f.dirId);
            v["fileList"]["list"].append(FileJson(f, parent ? parent->level + 1 : 1));
        }
        SendJson(res, v);
    });

    s.Get("/ajax/ftp/dir/create", [this, orgGuard](const httplib::Request& req, httplib::Response& res) {
        SimAccount acc;
        if (!orgGuard(req, res, &acc))
            return;
        int64_t parent = 0;
        if (!ParamInt64(req, "parentId", &parent) || parent < 0) {
            SendFail(res, "参数错误");
            return;
        }
        SimFolder f;
        OpResult r = m_store.CreateFolder(acc.orgId, acc.id, parent, req.get_param_value("name"), &f);
        if (!r.ok) {
            SendFail(res, r.message);
            return;
        }
        Json::Value v;
        v["success"] = true;
        v["id"] = Json::Int64(f.id);
        v["level"] = f.level;
        SendJson(res, v);
    });

    // Read through a content reader: the library caps form bodies read for a plain handler at
    // 8 KiB, and the batch for a large local folder tree is longer than that.
    s.Post("/ajax/ftp/dir/upload", [this, loginGuard](const httplib::Request& req, httplib::Response& res,
                                                      const httplib::ContentReader& reader) {
        std::string raw;
        bool fits = reader([&raw](const char* data, size_t len) {
            raw.append(data, len);
            return raw.size() <= kMaxBatchBytes;
        });
        if (!fits) {
            SendFail(res, "请求过大");
            return;
        }
        SimAccount acc;
        if (!loginGuard(req, res, &acc))
            return;
        // The batch arrives as "paramJson=" + JSON text with only the names percent-encoded, so
        // the raw body is read here rather than the form decoder's output.
        std::string body = raw;
        const std::string prefix = "paramJson=";
        if (body.rfind(prefix, 0) != 0) {
            SendFail(res, "缺少参数paramJson");
            return;
        }
        body = body.substr(prefix.size());
        Json::Value batch;
        Json::CharReaderBuilder rb;
        std::string errs;
        std::istringstream in(body);
        if (!Json::parseFromStream(rb, in, &batch, &errs) || !batch.isObject() || !batch["list"].isArray()) {
            SendFail(res, "paramJson格式错误");
            return;
        }
        int64_t pid = 0, org = 0;
        if (!batch["pid"].isString() || !ParseInt64(batch["pid"].asString(), &pid) || pid < 0 ||
            !batch["orgid"].isString() || !ParseInt64(batch["orgid"].asString(), &org)) {
            SendFail(res, "paramJson格式错误");
            return;
        }
        if (org != acc.orgId || org <= 0) {
            SendFail(res, "没有访问该机构空间的权限");
            return;
        }
        std::vector<CSimStore::BatchItem> items;
        for (const auto& e : batch["list"]) {
            if (!e.isObject() || !e["clientid"].isString() || !e["clientPid"].isString() ||
                !e["name"].isString()) {
                SendFail(res, "paramJson格式错误");
                return;
            }
            items.push_back(
                {e["clientid"].asString(), e["clientPid"].asString(), UrlDecode(e["name"].asString())});
        }
        std::vector<SimFolder> made;
        OpResult r = m_store.CreateFolders(acc.orgId, acc.id, pid, items, &made);
        if (!r.ok) {
            SendFail(res, r.message);
            return;
        }
        Json::Value v;
        v["success"] = true;
        v["result"]["list"] = FolderList(made);
        SendJson(res, v);
    });

    // The edit, move and delete requests: guarded, then their parameters read by action (no
    // result when they do not read well), answered with success or the store's message.
    using Answer = std::optional<OpResult>;
    using Action = std::function<Answer(const httplib::Request&, const SimAccount&)>;
    auto simpleRoute = [&s, orgGuard](const char* path, Action action) {
        s.Get(path, [orgGuard, action](const httplib::Request& req, httplib::Response& res) {
            SimAccount acc;
            if (!orgGuard(req, res, &acc))
                return;
            Answer r = action(req, acc);
            if (!r) {
                SendFail(res, "参数错误");
            } else if (!r->ok) {
                SendFail(res, r->message);
            } else {
                Json::Value v;
                v["success"] = true;
                SendJson(res, v);
            }
        });
    };

    simpleRoute("/ajax/ftp/dir/edit", [this](const httplib::Request& req, const SimAccount& acc) -> Answer {
        int64_t id = 0;
        if (!ParamInt64(req, "id", &id))
            return std::nullopt;
        return m_store.RenameFolder(acc.orgId, id, req.get_param_value("name"));
    });

    simpleRoute("/ajax/ftp/file/edit", [this](const httplib::Request& req, const SimAccount& acc) -> Answer {
        int64_t id = 0;
        if (!ParamInt64(req, "id", &id))
            return std::nullopt;
        return m_store.RenameFile(acc.orgId, id, req.get_param_value("name"));
    });

    simpleRoute("/ajax/ftp/dir/move", [this](const httplib::Request& req, const SimAccount& acc) -> Answer {
        int64_t dest = 0;
        std::vector<int64_t> ids;
        if (!ParamInt64(req, "parentId", &dest) || dest < 0 || !ParseIdList(req.get_param_value("ids"), &ids))
            return std::nullopt;
        return m_store.MoveFolders(acc.orgId, dest, ids);
    });

    simpleRoute("/ajax/ftp/file/move", [this](const httplib::Request& req, const SimAccount& acc) -> Answer {
        int64_t dest = 0;
        std::vector<int64_t> ids;
        if (!ParamInt64(req, "dirId", &dest) || !ParseIdList(req.get_param_value("ids"), &ids))
            return std::nullopt;
        return m_store.MoveFiles(acc.orgId, dest, ids);
    });

    simpleRoute("/ajax/ftp/dir/delete", [this](const httplib::Request& req, const SimAccount& acc) -> Answer {
        std::vector<int64_t> ids;
        if (!ParseIdList(req.get_param_value("ids"), &ids))
            return std::nullopt;
        return m_store.DeleteFolders(acc.orgId, ids);
    });

    s.Get("/ajax/ftp/getFtpSpaceData", [this, orgGuard](const httplib::Request& req, httplib::Response& res) {
        SimAccount acc;
        if (!orgGuard(req, res, &acc))
            return;
        int64_t total = 0, used = 0;
        m_store.Space(acc.orgId, &total, &used);
        const int64_t gib = int64_t(1) << 30;
        // Whole gigabytes: used rounds up (a started gigabyte is in use), left rounds down.
        Json::Value v;
        v["success"] = true;
        v["totalSize"] = Json::Int64(total / gib);
        v["usedSize"] = Json::Int64((used + gib - 1) / gib);
        v["leftSize"] = Json::Int64(total > used ? (total - used) / gib : 0);
        SendJson(res, v);
    });

    s.Get("/ajax/getVexoraServerIpList",
          [this, loginGuard](const httplib::Request& req, httplib::Response& res) {
              SimAccount acc;
              if (!loginGuard(req, res, &acc))
                  return;
              Json::Value v;
              v["success"] = true;
              v["result"]["list"] = Json::arrayValue;
              for (int p : m_filePorts) {
                  Json::Value e;
                  e["ip"] = m_opts.bindHost;
                  e["port"] = std::to_string(p);
                  v["result"]["list"].append(e);
              }
              SendJson(res, v);
          });

    s.Get("/liveCourse.do", [this](const httplib::Request& req, httplib::Response& res) {
        if (req.get_param_value("action") != "getLiveServerIdc") {
            SendFail(res, "unknown action");
            return;
        }
        Json::Value v;
        v["success"] = true;
        v["idcList"] = m_opts.bindHost;
        v["port"] = std::to_string(m_versionPort);
        SendJson(res, v);
    });

    s.Get(R"(/download/([^/]+))", [this](const httplib::Request& req, httplib::Response& res) {
        std::string name = m_installer.substr(m_installer.find_last_of('/') + 1);
        int64_t total = FileSize(m_installer);
        if (req.matches[1] != name || total < 0) {
            res.status = 404;
            return;
        }
        // The library answers a Range request itself (206 with Content-Range and the slice's
        // Content-Length, 416 for a start beyond the end); the provider serves the whole file.
        int64_t start = 0, end = total - 1;
        if (req.has_header("Range")) {
            // The library would answer a start at or past the end with an empty 206.
            std::string range = req.get_header_value("Range");
            int64_t first = 0;
            size_t dash = range.find('-');
            if (range.rfind("bytes=", 0) == 0 && dash != std::string::npos &&
                ParseInt64(range.substr(6, dash - 6), &first) && first >= total) {
                // The request object belongs to the server; dropping its parsed range keeps
                // the library from slicing this error page as if it were the file.
                const_cast<httplib::Request&>(req).ranges.clear();
                res.status = 416;
                res.set_header("Content-Range", "bytes */" + std::to_string(total));
                res.set_content("<html><body>416</body></html>", "text/html");
                return;
            }
        }
        std::string path = m_installer;
        auto length = static_cast<size_t>(end - start + 1);
        res.set_content_provider(length, "application/octet-stream",
                                 [path, start](size_t offset, size_t len, httplib::DataSink& sink) {
                                     std::ifstream in(path, std::ios::binary);
                                     in.seekg(
                                         static_cast<std::streamoff>(start + static_cast<int64_t>(offset)));
                                     std::vector<char> buf(std::min<size_t>(len, 64 * 1024));
                                     in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
                                     std::streamsize got = in.gcount();
                                     if (got <= 0)
                                         return false;
                                     return sink.write(buf.data(), static_cast<size_t>(got));
                                 });
    });

    // Control requests for tests and for people trying the client's failure handling.
    s.Get("/sim/fault", [this](const httplib::Request& req, httplib::Response& res) {
        std::string err;
        if (req.has_param("name") &&
            !m_faults.Set(req.get_param_value("name"), req.get_param_value("value"), &err)) {
            res.status = 400;
            res.set_content(err + "\n", "text/plain");
            return;
        }
        res.set_content(m_faults.Describe() + "\n", "text/plain");
    });
    s.Get("/sim/signout", [this](const httplib::Request& req, httplib::Response& res) {
        m_store.SignOutUser(req.get_param_value("user"));
        res.set_content("ok\n", "text/plain");
    });
    s.Get("/sim/state", [this](const httplib::Request&, httplib::Response& res) {
        auto c = m_store.GetCounts();
        Json::Value v;
        v["accounts"] = Json::UInt64(c.accounts);
        v["folders"] = Json::UInt64(c.folders);
        v["files"] = Json::UInt64(c.files);
        v["partials"] = Json::UInt64(c.partials);
        SendJson(res, v);
    });
}

} // namespace vx::sim
