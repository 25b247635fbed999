#include "common/TestUtil.h"

#include "platform/Crypto.h"
#include "platform/Env.h"
#include "platform/File.h"
#include "platform/FileOps.h"
#include "platform/FsPath.h"
#include "platform/Paths.h"
#include "platform/Process.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vx::test {

CTempDir::CTempDir()
{
    // A fresh name each time: a folder that is already there is never reused.
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
        uint8_t b[6];
        RandomBytes(b, sizeof(b));
        std::string name = "vxtest-";
        for (uint8_t c : b)
            name += "0123456789abcdef"[c >> 4], name += "0123456789abcdef"[c & 15];
        const std::string path = GetTempFolder() + name;
        if (!DirExists(path) && MakeDirs(path))
            m_path = path + "/";
    }
}

CTempDir::~CTempDir()
{
    if (!m_path.empty() && !getenv("VX_KEEP_TEST_FILES"))
        RemoveTree(m_path, nullptr); // best effort: a test folder left behind is harmless
}

CScopedDataDir::CScopedDataDir()
{
    m_hadOld = getenv("VEXORA_DATA_DIR") != nullptr;
    m_old = GetEnvVar("VEXORA_DATA_DIR");
    SetEnvVar("VEXORA_DATA_DIR", m_dir.Path());
}

CScopedDataDir::~CScopedDataDir()
{
    if (m_hadOld)
        SetEnvVar("VEXORA_DATA_DIR", m_old);
    else
        UnsetEnvVar("VEXORA_DATA_DIR");
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(FsPath(path), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out);
}

bool WriteSparseFile(const std::string& path, int64_t size, const std::string& tail)
{
    CFile f;
    if (!f.CreateFresh(path, false) || !f.Truncate(size))
        return false;
    const int64_t at = size - static_cast<int64_t>(tail.size());
    return tail.empty() || f.WriteAt(tail.data(), tail.size(), at);
}

bool MakeSymlink(const std::string& target, const std::string& path)
{
#ifdef _WIN32
    (void)target, (void)path;
    return false;
#else
    return symlink(target.c_str(), path.c_str()) == 0;
#endif
}

bool MakeFifo(const std::string& path)
{
#ifdef _WIN32
    (void)path;
    return false;
#else
    return mkfifo(path.c_str(), 0644) == 0;
#endif
}

std::string BinDir()
{
    std::string dir = GetEnvVar("VX_BIN_DIR");
    if (dir.empty())
        dir = VX_BIN_DIR;
    if (dir.back() != '/')
        dir += '/';
    return dir;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, int timeoutMs)
{
    RunResult r;
    std::string exe = program.find_first_of("/\\") == std::string::npos ? BinDir() + program : program;
    CProcess p;
    ProcessOptions opt;
    opt.captureStdout = true;
    opt.captureStderr = true;
    opt.inheritStdin = true;
    opt.env = env;
    std::string err;
    if (!p.Start(exe, args, opt, &err)) {
        r.err = err;
        return r;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            p.Terminate(0); // our own child only
            break;
        }
        p.WaitOutput(static_cast<int>(std::min<long long>(left.count(), 100)));
        if (outOpen)
            outOpen = p.ReadStdout(&r.out);
        if (errOpen)
            errOpen = p.ReadStderr(&r.err);
    }
    int code = -1;
    if (p.Wait(5000, &code) && code < 128)
        r.exitCode = code;
#ifdef _WIN32
    // Console programs write their lines with CR LF there; the tests compare lines.
    for (std::string* s : {&r.out, &r.err})
        for (size_t i = s->find("\r\n"); i != std::string::npos; i = s->find("\r\n", i))
            s->erase(i, 1);
#endif
    return r;
}

namespace {

std::map<std::string, const char*>& NotOnWindows()
{
    static std::map<std::string, const char*> cases;
    return cases;
}

} // namespace

bool ListNotOnWindows(const char* suite, const char* name, const char* why)
{
    NotOnWindows()[std::string(suite) + "." + name] = why;
    return true;
}

const char* ListedNotOnWindows()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!info)
        return nullptr;
    auto it = NotOnWindows().find(std::string(info->test_suite_name()) + "." + info->name());
    return it == NotOnWindows().end() ? nullptr : it->second;
}

} // namespace vx::test
