#include "common/SimHarness.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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
    std::vector<std::string> args = {exe,   "--root",         m_root, "--web-port", "0", "--file-ports",
                                     "0,0", "--version-port", "0"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());

    // Output goes to files, never to a pipe that nobody drains once the ports are read.
    int outFd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int logFd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (outFd < 0 || logFd < 0)
        return false;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(outFd, 1);
        dup2(logFd, 2);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    close(outFd);
    close(logFd);
    if (pid < 0)
        return false;
    m_pid = pid;

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
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
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM); // our own child only
    int status = 0;
    for (int i = 0; i < 250; ++i) {
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(m_pid, SIGKILL);
    waitpid(m_pid, &status, 0);
    m_pid = -1;
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
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return "";
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(m_webPort));
    inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    timeval tv{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
        close(fd);
        return "";
    }
    std::string req = "GET " + pathAndQuery + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(m_webPort) +
                      "\r\nConnection: close\r\n";
    if (!cookie.empty())
        req += "Cookie: " + cookie + "\r\n";
    req += "\r\n";
    send(fd, req.data(), req.size(), MSG_NOSIGNAL);
    std::string resp;
    char buf[8192];
    ssize_t n;
    while ((n = recv(fd, buf, sizeof(buf), 0)) > 0)
        resp.append(buf, static_cast<size_t>(n));
    close(fd);
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
