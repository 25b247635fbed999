#include "common/SimHarness.h"

#include "platform/FileOps.h"
#include "platform/Process.h"
#include "platform/Socket.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

namespace vx::test {

CSimProcess::CSimProcess() : m_root(m_dir.Path() + "root/") {}

CSimProcess::~CSimProcess()
{
    Stop();
}

bool CSimProcess::Start(const std::vector<std::string>& extraArgs)
{
    Stop();
    m_args = extraArgs;
    m_md5Rule = 4;
    for (size_t i = 0; i + 1 < extraArgs.size(); ++i)
        if (extraArgs[i] == "--md5-rule")
            m_md5Rule = atoi(extraArgs[i + 1].c_str());

    std::string exe = BinDir() + "vexora-sim";
    std::string outPath = m_dir.Path() + "sim.out";
    std::string logPath = m_dir.Path() + "sim.log";
    std::vector<std::string> args = {"--root",       m_root, "--web-port",     "0",
                                     "--file-ports", "0,0",  "--version-port", "0"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());

    auto proc = std::make_unique<CProcess>();
    ProcessOptions opt;
    opt.captureStdout = true;
    opt.captureStderr = true;
    std::string err;
    if (!WriteFile(outPath, "") || !proc->Start(exe, args, opt, &err)) {
        fprintf(stderr, "vexora-sim did not start: %s\n", err.c_str());
        return false;
    }
    m_proc = std::move(proc);
    // Output goes to files as it comes, never left in a pipe that nobody drains.
    CProcess* p = m_proc.get();
    m_drain = std::thread([p, outPath, logPath] {
        FILE* out = OpenFile(outPath, "ab");
        FILE* log = OpenFile(logPath, "ab");
        bool outOpen = true, errOpen = true;
        while (outOpen || errOpen) {
            p->WaitOutput(50);
            std::string o, e;
            if (outOpen)
                outOpen = p->ReadStdout(&o);
            if (errOpen)
                errOpen = p->ReadStderr(&e);
            if (out && !o.empty())
                fwrite(o.data(), 1, o.size(), out), fflush(out);
            if (log && !e.empty())
                fwrite(e.data(), 1, e.size(), log), fflush(log);
        }
        if (out)
            fclose(out);
        if (log)
            fclose(log);
    });

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        if (m_proc->TryWait(nullptr)) {
            Stop();
            fprintf(stderr, "vexora-sim ended at start:\n%s\n", LogText().c_str());
            return false;
        }
        std::string out = ReadFile(outPath);
        if (out.find("\nversion ") != std::string::npos && out.back() == '\n') {
            m_filePorts.clear();
            std::istringstream in(out);
            std::string word;
            int port = 0;
            while (in >> word >> port) {
                if (word == "web")
                    m_webPort = port;
                else if (word == "file")
                    m_filePorts.push_back(port);
                else if (word == "version")
                    m_versionPort = port;
            }
            return m_webPort > 0 && !m_filePorts.empty() && m_versionPort > 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    fprintf(stderr, "vexora-sim printed no ports in time:\n%s\n", LogText().c_str());
    Stop();
    return false;
}

void CSimProcess::Stop()
{
    if (m_proc)
        m_proc->Terminate(5000); // our own child only
    if (m_drain.joinable())
        m_drain.join();
    m_proc.reset();
}

bool CSimProcess::Restart()
{
    std::vector<std::string> args = m_args;
    Stop();
    return Start(args);
}

std::string CSimProcess::LogText() const
{
    return ReadFile(m_dir.Path() + "sim.log");
}

std::string CSimProcess::WriteConfig(const std::string& folder) const
{
    std::string path = folder;
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += "Config.ini";
    std::string host = Host();
    std::ostringstream os;
    os << "; Written by the test harness: points at a vexora-sim started for this test.\n"
       << "[server]\n"
       << "LoginServerIP=" << host << ":" << m_webPort << "\n"
       << "HostIP=" << host << ":" << m_webPort << "\n"
       << "FileServerIP=" << host << ":" << (m_filePorts.empty() ? 0 : m_filePorts[0]) << "\n"
       << "VerSvrIP=" << host << ":" << m_versionPort << "\n\n"
       << "[convert]\nneedcheck=true\ncheckdurtime=600000\nCodecOption=1\nMaskOfBindCPU=0\n\n"
       << "[md5]\nrule=" << m_md5Rule << "\n\n"
       << "[trans]\nrecvnum=101\n";
    return WriteFile(path, os.str()) ? path : "";
}

std::string CSimProcess::HttpGet(const std::string& pathAndQuery, const std::string& cookie,
                                 int* status) const
{
    if (status)
        *status = 0;
    CSocket sock;
    if (!sock.Connect("127.0.0.1", static_cast<uint16_t>(m_webPort), 10000))
        return "";
    std::string req = "GET " + pathAndQuery + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(m_webPort) +
                      "\r\nConnection: close\r\n";
    if (!cookie.empty())
        req += "Cookie: " + cookie + "\r\n";
    req += "\r\n";
    sock.SendAll(req.data(), req.size(), 10000);
    std::string resp;
    char buf[8192];
    size_t n = 0;
    while (sock.RecvSome(buf, sizeof(buf), 10000, &n) == SockResult::Ok)
        resp.append(buf, n);
    sock.Close();
    size_t headEnd = resp.find("\r\n\r\n");
    if (headEnd == std::string::npos)
        return "";
    if (status) {
        size_t sp = resp.find(' ');
        *status = sp == std::string::npos ? 0 : atoi(resp.c_str() + sp + 1);
    }
    return resp.substr(headEnd + 4);
}

bool CSimProcess::SetFault(const std::string& name, const std::string& value)
{
    int status = 0;
    HttpGet("/sim/fault?name=" + name + "&value=" + value, "", &status);
    return status == 200;
}

bool CSimProcess::SignOutElsewhere(const std::string& user)
{
    int status = 0;
    HttpGet("/sim/signout?user=" + user, "", &status);
    return status == 200;
}

} // namespace vx::test
