#pragma once
// The file servers the platform offers after login: the address list the main window keeps (so
// an upload can check that its remembered server is still offered) and the start of the speed
// test over them. The main window's WM_FILESERVER_LIST handler is OnFileServerList plus the
// window's own steps (bring it to the front, show the error text, post WM_USER_INFO).

#include "upload/TestNetWorkThread.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vx {

class CAppConfig;
class CSpaceApi;
struct FileServerAddress;

class CFileServerList
{
public:
    // Host name -> its IPv4 addresses as dotted texts.
    using Resolver = std::function<std::vector<std::string>(const std::string& host)>;

    // resolver: the system's (ResolveHostAll) unless given (tests name hosts that resolve to
    // several addresses, which the machine's own resolver may not offer).
    explicit CFileServerList(Resolver resolver = nullptr);

    // Adds every IPv4 address the host resolves to (a dotted text directly), as dotted texts.
    void ParseAddress(const std::string& host);
    // True when the dotted text is one of the addresses found.
    bool Contains(const std::string& dotted) const;
    const std::vector<std::string>& Addresses() const { return m_vAddress; }
    size_t Count() const { return m_vAddress.size(); }

private:
    Resolver m_resolver;
    std::vector<std::string> m_vAddress;
};

// The list of the platform (when no preset file server is configured) and the speed test:
//  - *requestFailed / *errorText: the list request failed (the error text to show);
//  - a test thread is created and started only when *thread is null; its entries are the
//    resolved hosts of the list (unresolvable ones skipped); every host also goes into `list`.
// An empty or missing list still starts a thread, which reports "no server" at once.
// timeBudgetMs: the measuring time (the product's is 10 s).
void OnFileServerList(CAppConfig& config, CSpaceApi& api, CFileServerList& list, MsgTarget wnd,
                      std::unique_ptr<CTestNetWorkThread>* thread, bool* requestFailed,
                      std::string* errorText, int timeBudgetMs = 10000);

// The same steps on a list already at hand (no request): adds the servers to a new thread.
std::unique_ptr<CTestNetWorkThread> MakeSpeedTest(const std::vector<FileServerAddress>& servers,
                                                  CFileServerList& list, MsgTarget wnd);

} // namespace vx
