// vexora-sim: the local stand-in for the Vexora platform's servers (see --help).

#include "platform/CommandLine.h"
#include "platform/FileOps.h"
#include "platform/Paths.h"
#include "platform/Socket.h"
#include "platform/StopSignal.h"
#include "sim/FileServer.h"
#include "sim/SimLog.h"
#include "sim/SimOptions.h"
#include "sim/SimStore.h"
#include "sim/VersionServer.h"
#include "sim/WebServer.h"

#include <cstdio>
#include <fstream>
#include <memory>

using namespace vx;
using namespace vx::sim;

namespace {

// A stand-in installer: a shell script that ends at once (it accepts " /verysilent" and
// ignores it), padded so a download shows some progress.
bool WriteDemoInstaller(const std::string& path)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "#!/bin/sh\n# Vexora demo installer (local simulator)\nexit 0\n";
    std::string pad(1023, '#');
    for (int i = 0; i < 512; ++i)
        out << pad << '\n';
    out.close();
    bool ok = static_cast<bool>(out);
    MakeExecutable(path);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    UseUtf8Arguments(&argc, &argv);
    IgnoreSigpipe();
    SimOptions opts;
    SimFaults faults;
    std::string err;
    if (!ParseSimArgs(argc, argv, &opts, &faults, &err)) {
        fprintf(stderr, "vexora-sim: %s\n", err.c_str());
        return 2;
    }
    if (opts.showHelp) {
        fputs(SimUsage().c_str(), stdout);
        return 0;
    }
    SetLogQuiet(opts.quiet);

    // Ctrl-C and termination requests are taken by the wait below; every server thread
    // inherits that.
    HoldStopRequests();

    CSimStore store;
    if (!store.Open(opts.root, opts.quotaGb << 30, &err, int64_t(opts.cookieTtlSec) * 1000)) {
        fprintf(stderr, "vexora-sim: %s\n", err.c_str());
        return 1;
    }
    store.EnsureAccount("demo", "demo123", "Demo School");
    for (const auto& a : opts.accounts)
        store.EnsureAccount(a.name, a.password, a.organisation);

    std::string installer = opts.installerPath;
    if (installer.empty()) {
        MakeDirs(store.Root() + "installer/");
        installer = store.Root() + "installer/VexoraSetup.exe";
        if (!FileExists(installer) && !WriteDemoInstaller(installer)) {
            fprintf(stderr, "vexora-sim: cannot write the demo installer %s\n", installer.c_str());
            return 1;
        }
    } else if (FileSize(installer) < 0) {
        fprintf(stderr, "vexora-sim: installer file %s cannot be read\n", installer.c_str());
        return 1;
    }

    CWebServer web(opts, faults, store);
    web.SetInstaller(installer);
    std::vector<std::unique_ptr<CFileServer>> fileServers;
    std::vector<int> filePorts;
    for (int p : opts.filePorts) {
        auto fs = std::make_unique<CFileServer>(opts, faults, store);
        int bound = fs->Start(p);
        if (bound < 0) {
            fprintf(stderr, "vexora-sim: cannot listen on %s:%d for a file server (port in use?)\n",
                    opts.bindHost.c_str(), p);
            return 1;
        }
        filePorts.push_back(bound);
        fileServers.push_back(std::move(fs));
    }
    CVersionServer version(opts, faults, [&web] { return web.InstallerUrl(); });
    int versionPort = version.Start(opts.versionPort);
    if (versionPort < 0) {
        fprintf(stderr, "vexora-sim: cannot bind %s:%d (UDP and TCP) for the version server (port in use?)\n",
                opts.bindHost.c_str(), opts.versionPort);
        return 1;
    }
    web.SetPorts(filePorts, versionPort);
    int webPort = web.Start(opts.webPort);
    if (webPort < 0) {
        fprintf(stderr, "vexora-sim: cannot listen on %s:%d for the web server (port in use?)\n",
                opts.bindHost.c_str(), opts.webPort);
        return 1;
    }

    printf("web %d\n", webPort);
    for (int p : filePorts)
        printf("file %d\n", p);
    printf("version %d\n", versionPort);
    fflush(stdout);
    SimLog("vexora-sim ready, state in %s (demo account: demo / demo123)", store.Root().c_str());

    int sig = WaitForStopRequest();
    SimLog("stopping on signal %d", sig);
    web.Stop();
    for (auto& fs : fileServers)
        fs->Stop();
    version.Stop();
    return 0;
}
