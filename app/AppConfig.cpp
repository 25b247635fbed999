#include "app/AppConfig.h"

#include "app/LogFile.h"
#include "platform/FsPath.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/Socket.h"
#include "platform/Utf8.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

namespace vx {

namespace {

std::unique_ptr<CAppConfig> g_instance;
std::string g_configPath;

// _wtoi: leading blanks, optional sign, digits; anything else stops; nothing numeric gives 0.
int ToInt(const std::string& s)
{
    return atoi(s.c_str());
}

void RemoveAll(std::string* s, const std::string& what)
{
    for (size_t p = s->find(what); p != std::string::npos; p = s->find(what, p))
        s->erase(p, what.size());
}

} // namespace

void ParseEndpoint(const std::string& text, std::string* host, int* port)
{
    size_t eq = text.find('=');
    std::string rest = eq == std::string::npos ? text : text.substr(eq + 1);
    for (const std::string scheme : {"http://", "https://"}) {
        if (StartsWithNoCase(rest, scheme)) {
            rest.erase(0, scheme.size());
            break;
        }
    }
    size_t colon = rest.rfind(':');
    if (colon == std::string::npos) {
        host->clear();
        return;
    }
    *host = rest.substr(0, colon);
    *port = ToInt(rest.substr(colon + 1));
}

CAppConfig::CAppConfig(const std::string& configPath)
    : m_strConfigPath(configPath), m_pLangTable(std::make_unique<CLanguageTable>())
{
    Load();
}

CAppConfig::CAppConfig(const std::string& userPath, const std::string& defaultsPath)
    : m_strConfigPath(userPath), m_strDefaultsPath(defaultsPath),
      m_pLangTable(std::make_unique<CLanguageTable>())
{
    Load();
}

std::string CAppConfig::Read(const char* section, const char* key) const
{
    std::string value;
    if (!m_strConfigPath.empty() && IniLookup(m_strConfigPath, section, key, &value))
        return value;
    if (!m_strDefaultsPath.empty())
        return IniRead(m_strDefaultsPath, section, key);
    return value;
}

void CAppConfig::Load()
{
    auto read = [&](const char* section, const char* key) { return Read(section, key); };

    std::string fileHost, loginHost, verHost, webHost;
    int filePort = 0, loginPort = 0, verPort = 0, webPort = 0;

    ParseEndpoint(read("server", "FileServerIP"), &fileHost, &filePort);
    if (!fileHost.empty() && !(fileHost[0] >= '0' && fileHost[0] <= '9')) {
        RemoveAll(&fileHost, "http://");
        std::string dotted;
        if (ResolveHost(fileHost, &dotted))
            fileHost = dotted;
    }
    ParseEndpoint(read("server", "LoginServerIP"), &loginHost, &loginPort);
    ParseEndpoint(read("server", "VerSvrIP"), &verHost, &verPort);
    std::string webText = read("server", "HostIP");
    if (webText.empty()) {
        webHost = kDefaultWebHost;
        webPort = 80;
    } else {
        ParseEndpoint(webText, &webHost, &webPort);
    }

    m_strFileSvrHost = fileHost;
    m_usFileSvrPort = static_cast<uint16_t>(filePort);
    m_strLoginHost = loginHost;
    m_usLoginPort = static_cast<uint16_t>(loginPort);
    m_strVerHost = verHost;
    m_nVerPort = verPort;
    m_strWebHost = webHost;
    m_nWebPort = webPort;

    m_bNeedCheck = !EqualsNoCase(read("convert", "needcheck"), "false");
    struct Tuning
    {
        const char* section;
        const char* key;
        int* field;
    };
    for (const Tuning& t : {Tuning{"convert", "checkdurtime", &m_nCheckDurTime},
                            Tuning{"convert", "CodecOption", &m_nCodecOption},
                            Tuning{"convert", "MaskOfBindCPU", &m_nMaskOfBindCPU},
                            Tuning{"md5", "rule", &m_nMd5Rule}, Tuning{"trans", "recvnum", &m_nRecvNum}}) {
        std::string v = read(t.section, t.key);
        if (!v.empty())
            *t.field = ToInt(v);
    }

    // What the automatic shut-down finally runs; split into words, never given to a shell.
    std::string shutdown = read("power", "ShutdownCommand");
    if (!shutdown.empty())
        m_strShutdownCommand = shutdown;

    std::string pre = read("pre", "FileServerIP");
    if (!pre.empty()) {
        int prePort = m_usPreFileSvrPort;
        ParseEndpoint(pre, &m_strPreFileSvrHost, &prePort);
        m_usPreFileSvrPort = static_cast<uint16_t>(prePort);
        if (!m_strPreFileSvrHost.empty()) {
            m_strFileSvrHost = m_strPreFileSvrHost;
            m_usFileSvrPort = m_usPreFileSvrPort;
        }
    }

    long cpus = static_cast<long>(std::thread::hardware_concurrency());
    if (cpus > 0)
        m_nCpuCount = static_cast<int>(cpus);

    // The language file comes with the program; a named config elsewhere (tests, --config)
    // may carry its own Language/ beside it, else the program's texts are used.
    const std::string& base = m_strDefaultsPath.empty() ? m_strConfigPath : m_strDefaultsPath;
    size_t slash = base.rfind('/');
    std::string lang = slash == std::string::npos ? std::string() : base.substr(0, slash + 1);
    lang += "Language/SimpleChinese";
    if (slash == std::string::npos || !FileExists(lang))
        lang = GetResourceFolder() + "Language/SimpleChinese";
    m_pLangTable->Load(lang);
}

std::string CAppConfig::UserConfigPath()
{
    std::string folder = GetUserConfigFolder();
    return folder.empty() ? folder : folder + "Config.ini";
}

std::string CAppConfig::ShippedConfigPath()
{
    return GetResourceFolder() + "Config.ini";
}

CAppConfig& CAppConfig::Instance()
{
    if (!g_instance) {
        std::string path = g_configPath;
        if (path.empty()) {
            const char* env = getenv("VEXORA_CONFIG");
            if (env && *env)
                path = env;
        }
        if (path.empty())
            g_instance = std::make_unique<CAppConfig>(UserConfigPath(), ShippedConfigPath());
        else
            g_instance = std::make_unique<CAppConfig>(path);
    }
    return *g_instance;
}

void CAppConfig::SetConfigPath(const std::string& path)
{
    g_configPath = path;
}

void CAppConfig::DestroyInstance()
{
    g_instance.reset();
}

// The user's copy starts as a short note: only the keys written later override the defaults,
// so changes to the shipped file still reach every key the user never set.
bool CAppConfig::PrepareUserCopy()
{
    if (m_strConfigPath.empty()) {
        m_strLastSaveError = "no folder for the user's settings (neither XDG_CONFIG_HOME nor HOME is set)";
        return false;
    }
    if (FileExists(m_strConfigPath))
        return true;
    const std::string folder = m_strConfigPath.substr(0, m_strConfigPath.rfind('/') + 1);
    if (!MakeDirs(folder)) {
        m_strLastSaveError = "cannot create folder " + folder + ": " + strerror(errno);
        return false;
    }
    std::ofstream out(FsPath(m_strConfigPath), std::ios::binary | std::ios::app);
    out << "; Your own Vexora settings. Keys set here override " << m_strDefaultsPath << ".\n";
    out.flush();
    if (!out) {
        m_strLastSaveError = "cannot create " + m_strConfigPath + ": " + strerror(errno);
        return false;
    }
    return true;
}

bool CAppConfig::SaveEndpoint(const char* key, int port, const std::string& host, const char* missingText,
                              const char* failedFormat)
{
    m_strLastSaveError.clear();
    std::string value = host + ":" + std::to_string(port);
    if (m_strDefaultsPath.empty()) {
        // One named file: it is the user's choice of file, so it is never created behind them.
        if (!FileExists(m_strConfigPath)) {
            LogText(g_log, missingText);
            m_strLastSaveError = m_strConfigPath + ": no such file";
            return false;
        }
    } else if (!PrepareUserCopy()) {
        Log(g_log, failedFormat, value.c_str());
        Log(g_log, "Error : %s", m_strLastSaveError.c_str());
        return false;
    }
    errno = 0;
    if (!IniWrite(m_strConfigPath, "server", key, value)) {
        const int code = errno;
        m_strLastSaveError =
            "cannot write " + m_strConfigPath + ": " + (code ? strerror(code) : "write failed");
        Log(g_log, failedFormat, value.c_str());
        Log(g_log, "Error : %s", m_strLastSaveError.c_str());
        return false;
    }
    return true;
}

bool CAppConfig::SaveLivesrvIpPort(int port, const std::string& host)
{
    // "host:0" or ":9000" in the file would switch the version check off for good.
    if (host.empty() || port < 1 || port > 65535) {
        Log(g_log, "Error :SaveLivesrvIpPort: refused to save an unusable address (%s:%d).", host.c_str(),
            port);
        return false;
    }
    if (!SaveEndpoint("VerSvrIP", port, host,
                      "Error :SaveLivesrvIpPort: Load INI file failed. the file did not existed.",
                      "Error :SaveLivesrvIpPort: Writer INI file failed. string:%s."))
        return false;
    m_strVerHost = host;
    m_nVerPort = port;
    return true;
}

bool CAppConfig::SaveFileServerIpPort(int port, const std::string& host)
{
    if (!SaveEndpoint("FileServerIP", port, host,
                      "Error : SaveFileServerIpPort:Load INI file failed. the file did not existed.",
                      "Error :SaveFileServerIpPort: Writer INI file failed. string:%s."))
        return false;
    m_strFileSvrHost = host;
    m_usFileSvrPort = static_cast<uint16_t>(port);
    return true;
}

void CAppConfig::SetSession(int64_t userId, const std::string& loginName, const std::string& accountName,
                            const std::string& pwdHash, const std::string& screenName)
{
    m_i64UserId = userId;
    m_strLoginName = loginName;
    m_strAccountName = accountName;
    m_strPwdHash = pwdHash;
    m_strScreenName = screenName;
}

void CAppConfig::CopySessionTo(CAppConfig& w) const
{
    w.m_strWebHost = m_strWebHost;
    w.m_nWebPort = m_nWebPort;
    w.m_strLoginHost = m_strLoginHost;
    w.m_usLoginPort = m_usLoginPort;
    w.m_i64UserId = m_i64UserId;
    w.m_i64OrgId = m_i64OrgId;
    w.m_strLoginName = m_strLoginName;
    w.m_strAccountName = m_strAccountName;
    w.m_strCookie = m_strCookie;
}

void CAppConfig::SetOrganisation(int64_t orgId, const std::string& orgName)
{
    m_i64OrgId = orgId;
    m_strOrgName = orgName;
}

} // namespace vx
