#pragma once
// Shared test helpers: a private temporary folder per test and a way to run our programs.

#include <cstdint>
#include <string>
#include <vector>

namespace vx::test {

// A fresh folder under $TMPDIR, removed with everything in it when the object goes away.
class CTempDir
{
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;
    const std::string& Path() const { return m_path; } // ends in '/'
    std::string File(const std::string& name) const { return m_path + name; }

private:
    std::string m_path;
};

// Sets VEXORA_DATA_DIR to a temporary folder for the life of the object.
class CScopedDataDir
{
public:
    CScopedDataDir();
    ~CScopedDataDir();
    const std::string& Path() const { return m_dir.Path(); }

private:
    CTempDir m_dir;
    std::string m_old;
    bool m_hadOld;
};

std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& content);
// Creates path afresh, size bytes long, ending in tail; what comes before the tail is a hole
// where the file system keeps them, so multi-gigabyte files cost nothing.
bool WriteSparseFile(const std::string& path, int64_t size, const std::string& tail = "");

// A symbolic link / a named pipe at path, for the cases about them (POSIX only: false on
// Windows, where such cases skip).
bool MakeSymlink(const std::string& target, const std::string& path);
bool MakeFifo(const std::string& path);

struct RunResult
{
    int exitCode = -1;
    std::string out;
    std::string err;
};
// Runs a program from the build's bin folder (or an absolute path) with arguments and extra
// environment ("NAME=value"), capturing both outputs; gives up after timeoutMs.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env = {}, int timeoutMs = 60000);

// The build's bin folder, ending in '/'.
std::string BinDir();

// Why a case does not run on the Windows leg (printed by VX_SKIP_ON_WINDOWS).
inline constexpr const char* kNoEncoders =
    "needs ffmpeg/mencoder and MediaInfo, which are not built for Windows (Debian ships no Windows encoders)";
inline constexpr const char* kNoSymlinks =
    "makes symbolic links, which Windows grants only to administrators or in developer mode";
inline constexpr const char* kNoWindowProgram = "needs VexoraV2, which comes with Qt for Windows";

// Skips the case on Windows with the reason printed; nothing elsewhere. Only in a test body.
#ifdef _WIN32
#define VX_SKIP_ON_WINDOWS(why) GTEST_SKIP() << "not on Windows yet: " << (why)
#else
#define VX_SKIP_ON_WINDOWS(why) static_cast<void>(why)
#endif

// A case whose fixture starts a simulator or signs in, named beside its TEST_F: the fixture's
// SetUp begins with VX_SKIP_LISTED_ON_WINDOWS(), so on Windows the case skips (with the reason
// printed) before any of that is paid for.
bool ListNotOnWindows(const char* suite, const char* name, const char* why);
#define VX_NOT_ON_WINDOWS(suite, name, why)                                                                  \
    [[maybe_unused]] static const bool vxNotOnWindows_##suite##_##name =                                     \
        ::vx::test::ListNotOnWindows(#suite, #name, (why))
// The reason the running case was listed for, or null.
const char* ListedNotOnWindows();
#ifdef _WIN32
#define VX_SKIP_LISTED_ON_WINDOWS()                                                                          \
    do {                                                                                                     \
        if (const char* vxWhy = ::vx::test::ListedNotOnWindows())                                            \
            GTEST_SKIP() << "not on Windows yet: " << vxWhy;                                                 \
    } while (0)
#else
#define VX_SKIP_LISTED_ON_WINDOWS() static_cast<void>(0)
#endif

} // namespace vx::test
