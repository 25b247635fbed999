#pragma once
// The one settings object: server endpoints and tuning values from Config.ini, the session
// values of the logged-in user, the user's options and the language table.

#include "app/LanguageTable.h"
#include "app/UserOptions.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vx {

// Endpoint text -> host and port: an optional "name=" prefix and an optional scheme prefix
// ("http://", "https://") are skipped, then the last colon splits host and port. Without a
// colon the host is empty and *port is left as it was.
void ParseEndpoint(const std::string& text, std::string* host, int* port);

class CAppConfig
{
public:
    // One named file that is both read and written (--config, $VEXORA_CONFIG, tests). Writes
    // never create it.
    explicit CAppConfig(const std::string& configPath);
    // The user's own copy over the shipped defaults: a key set in userPath wins (even when
    // empty), any other key comes from defaultsPath, which is never written. Writes go to
    // userPath, which is created with its folders on the first write.
    CAppConfig(const std::string& userPath, const std::string& defaultsPath);

    // The process's object, reading the files on first call: the path given to SetConfigPath,
    // else $VEXORA_CONFIG, else the user's copy (UserConfigPath) over the shipped defaults
    // (ShippedConfigPath). Call first on the main thread.
    static CAppConfig& Instance();
    static void SetConfigPath(const std::string& path);
    static void DestroyInstance();
    // Config.ini in the user's configuration folder; empty when no home folder is known.
    static std::string UserConfigPath();
    // The Config.ini that comes with the program (share/vexora/ or beside the program).
    static std::string ShippedConfigPath();

    // The file every write goes to.
    const std::string& ConfigPath() const { return m_strConfigPath; }
    // The read-only defaults under ConfigPath(); empty when one named file is used.
    const std::string& DefaultsPath() const { return m_strDefaultsPath; }
    // Why the last Save... call failed (file and cause), for the user to see.
    const std::string& LastSaveError() const { return m_strLastSaveError; }

    std::string GetLoginHost() const { return m_strLoginHost; }
    std::string GetVerHost() const { return m_strVerHost; }
    std::string GetFileSvrHost() const { return m_strFileSvrHost; }
    std::string GetPreFileSvrHost() const { return m_strPreFileSvrHost; }
    std::string GetWebHost() const { return m_strWebHost; }

    // Write the version (file) server endpoint into section [server] of ConfigPath() and, on
    // success, into memory. False, with the cause logged and kept in LastSaveError(), when the
    // file cannot be written (or, for one named file, does not exist); memory is then unchanged.
    bool SaveLivesrvIpPort(int port, const std::string& host);
    bool SaveFileServerIpPort(int port, const std::string& host);

    // Session values (written by the login code).
    void SetSession(int64_t userId, const std::string& loginName, const std::string& accountName,
                    const std::string& pwdHash, const std::string& screenName);
    void SetOrganisation(int64_t orgId, const std::string& orgName);
    void SetCookie(const std::string& cookie) { m_strCookie = cookie; }
    void SetUserOptions(const _sSetData& options) { m_setData = options; }
    // Gives a worker thread's own copy the servers and the session of this one (the worker
    // never reads an object the owner's thread changes).
    void CopySessionTo(CAppConfig& worker) const;

    CLanguageTable& Language() { return *m_pLangTable; }
    const CLanguageTable& Language() const { return *m_pLangTable; }
    std::string GetText(int number) const { return m_pLangTable->GetText(number); }

    // Endpoints
    std::string m_strLoginHost;
    uint16_t m_usLoginPort = 0;
    std::string m_strVerHost;
    int m_nVerPort = 0;
    std::string m_strFileSvrHost;
    uint16_t m_usFileSvrPort = 0;
    std::string m_strPreFileSvrHost;
    uint16_t m_usPreFileSvrPort = 8900;
    std::string m_strWebHost;
    int m_nWebPort = 0;

    // Session
    int64_t m_i64UserId = -1;
    int64_t m_i64OrgId = 0;
    std::string m_strLoginName;
    std::string m_strAccountName;
    std::string m_strPwdHash;
    std::string m_strScreenName;
    std::string m_strOrgName;
    std::string m_strCookie;
    _sSetData m_setData;

    // Tuning
    int m_nCheckDurTime = 600000; // ms without encoder output before a conversion is given up
    bool m_bNeedCheck = true;
    int m_nCpuCount = 1;
    int m_nMd5Rule = 4;
    int m_nRecvNum = 101;
    int m_nCodecOption = 1;
    int m_nMaskOfBindCPU = 0;
    // [power] ShutdownCommand: the command line of the automatic shut-down.
    std::string m_strShutdownCommand = "systemctl poweroff";

    static constexpr const char* kDefaultWebHost = "127.0.0.1";

private:
    void Load();
    std::string Read(const char* section, const char* key) const;
    bool PrepareUserCopy();
    bool SaveEndpoint(const char* key, int port, const std::string& host, const char* missingText,
                      const char* failedFormat);

    std::string m_strConfigPath;
    std::string m_strDefaultsPath;
    std::string m_strLastSaveError;
    std::unique_ptr<CLanguageTable> m_pLangTable;
};

} // namespace vx
