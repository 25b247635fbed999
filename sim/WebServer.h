#pragma once
// The simulator's HTTP side on one port: login, permission and sign-out check, the space
// directory API, the file-server list, the version-server address, the installer download
// with byte ranges, and the /sim/ control requests for tests.

#include "sim/SimOptions.h"
#include "sim/SimStore.h"

#include <json/value.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace vx::sim {

class CWebServer
{
public:
    CWebServer(const SimOptions& opts, SimFaults& faults, CSimStore& store);
    ~CWebServer();
    CWebServer(const CWebServer&) = delete;
    CWebServer& operator=(const CWebServer&) = delete;

    // Tells the server what it hands out in the server lists and the version check.
    void SetPorts(const std::vector<int>& filePorts, int versionPort);
    void SetInstaller(const std::string& path) { m_installer = path; }
    // Binds (port 0 = any free port) and serves on a thread; returns the port or -1.
    int Start(int port);
    void Stop();
    // The address of the installer as the version server announces it.
    std::string InstallerUrl() const;

private:
    void Routes();
    // Folders as the answers list them, each telling whether it has subfolders.
    Json::Value FolderList(const std::vector<SimFolder>& folders) const;

    const SimOptions& m_opts;
    SimFaults& m_faults;
    CSimStore& m_store;
    std::vector<int> m_filePorts;
    int m_versionPort = 0;
    int m_port = 0;
    std::string m_installer;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
};

} // namespace vx::sim
