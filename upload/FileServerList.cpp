#include "upload/FileServerList.h"

#include "app/AppConfig.h"
#include "app/LogFile.h"
#include "net/SpaceApi.h"
#include "platform/Resolver.h"
#include "platform/Socket.h"

namespace vx {

CFileServerList::CFileServerList(Resolver resolver)
    : m_resolver(resolver ? std::move(resolver) : Resolver(ResolveHostAll))
{
}

void CFileServerList::ParseAddress(const std::string& host)
{
    // Every address of the name: an upload remembers the address it used, which may be any of
    // them. The resolver answers IPv4 only, so no IPv6 address can reach the list.
    for (const std::string& dotted : m_resolver(host)) {
        m_vAddress.push_back(dotted);
        Log(g_log, "Info : parse address:%s, count=%d, .IP(%s)", host.c_str(),
            static_cast<int>(m_vAddress.size()), dotted.c_str());
    }
}

bool CFileServerList::Contains(const std::string& dotted) const
{
    Log(g_log, "Info : $$$$$$ fileserver count: %d ", static_cast<int>(m_vAddress.size()));
    for (const std::string& a : m_vAddress)
        if (!a.empty() && a == dotted)
            return true;
    return false;
}

std::unique_ptr<CTestNetWorkThread> MakeSpeedTest(const std::vector<FileServerAddress>& servers,
                                                  CFileServerList& list, MsgTarget wnd)
{
    auto thread = std::make_unique<CTestNetWorkThread>(wnd);
    Log(g_log, "Info : $$$$$$ fileserver count: %d ", static_cast<int>(servers.size()));
    for (const FileServerAddress& s : servers) {
        list.ParseAddress(s.strIp);
        std::string dotted;
        if (s.nPort <= 0 || s.nPort > 65535 || !ResolveHost(s.strIp, &dotted))
            continue;
        thread->AddServer(dotted, static_cast<uint16_t>(s.nPort));
    }
    return thread;
}

void OnFileServerList(CAppConfig& config, CSpaceApi& api, CFileServerList& list, MsgTarget wnd,
                      std::unique_ptr<CTestNetWorkThread>* thread, bool* requestFailed,
                      std::string* errorText, int timeBudgetMs)
{
    *requestFailed = false;
    std::vector<FileServerAddress> servers;
    if (config.m_strPreFileSvrHost.empty()) {
        std::string err;
        if (!api.RequestFtpServer(&servers, &err)) {
            *requestFailed = true;
            *errorText = err.empty() ? api.GetFailureCause() : err;
            LogText(g_log, "Error : " + *errorText);
            Log(g_log, "Error : get  fileserver  ip and port is  failed ");
        }
    }
    if (*thread)
        return;
    *thread = MakeSpeedTest(servers, list, wnd);
    (*thread)->SetTimeBudget(timeBudgetMs);
    (*thread)->Start();
}

} // namespace vx
