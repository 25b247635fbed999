#pragma once
// Starts the platform simulator (vexora-sim from the build's bin folder) for an integration
// test: its own state folder, free ports, a Config.ini pointing at them, and a clean stop.
//
//   vx::test::CSimProcess sim;
//   ASSERT_TRUE(sim.Start());                  // or Start({"--drop-after", "100000"})
//   std::string ini = sim.WriteConfig(dir.Path());
//   vx::CAppConfig cfg(ini);                   // points at sim.WebPort(), sim.FilePorts()[0] ...
//   ... log in as CSimProcess::DemoUser() / DemoPassword() ...

#include "common/TestUtil.h"

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vx {
class CProcess;
}

namespace vx::test {

class CSimProcess
{
public:
    CSimProcess();
    ~CSimProcess(); // stops the simulator it started
    CSimProcess(const CSimProcess&) = delete;
    CSimProcess& operator=(const CSimProcess&) = delete;

    // Starts vexora-sim on free ports (two file servers) with the state folder RootDir(), plus
    // extraArgs (later options win, so "--file-servers", "3" or "--md5-rule", "1" work). Waits
    // until it has printed its ports; false (with the log on stderr) when it did not start.
    bool Start(const std::vector<std::string>& extraArgs = {});
    // Stops (SIGTERM, then SIGKILL after 5 s; ended at once on Windows) the simulator this
    // object started.
    void Stop();
    // Stop and Start with the same state folder and arguments (new ports).
    bool Restart();
    bool IsRunning() const { return m_proc != nullptr; }

    int WebPort() const { return m_webPort; }
    std::vector<int> FilePorts() const { return m_filePorts; }
    int VersionPort() const { return m_versionPort; }
    std::string Host() const { return "127.0.0.1"; }
    std::string RootDir() const { return m_root; }
    // What the simulator logged so far (one line per request).
    std::string LogText() const;

    // Writes <folder>/Config.ini pointing login, web, file and version servers at this
    // simulator (the first file server is the default), with the digest rule it uses; returns
    // the file's path.
    std::string WriteConfig(const std::string& folder) const;

    // Flips a fault switch while running (names as the command-line switches without "--",
    // e.g. SetFault("drop-after", "5000"), SetFault("signed-out", "on")).
    bool SetFault(const std::string& name, const std::string& value);
    // Marks the current sessions of an account as signed in elsewhere.
    bool SignOutElsewhere(const std::string& user = DemoUser());

    // A plain GET on the web port; returns the body, *status the HTTP status (0 on failure).
    std::string HttpGet(const std::string& pathAndQuery, const std::string& cookie = "",
                        int* status = nullptr) const;

    static std::string DemoUser() { return "demo"; }
    static std::string DemoPassword() { return "demo123"; }
    static std::string DemoOrganisation() { return "Demo School"; }
    int Md5Rule() const { return m_md5Rule; }

private:
    CTempDir m_dir;
    std::string m_root;
    std::vector<std::string> m_args;
    std::unique_ptr<CProcess> m_proc;
    // Copies the simulator's output into sim.out and sim.log, so its pipes never fill up.
    std::thread m_drain;
    int m_webPort = 0;
    std::vector<int> m_filePorts;
    int m_versionPort = 0;
    int m_md5Rule = 4;
};

} // namespace vx::test
