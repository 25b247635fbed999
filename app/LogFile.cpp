#include "app/LogFile.h"

#include "platform/Paths.h"

#include <cstdarg>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace vx {

CLogFile* g_log = nullptr;
CLogFile* g_convertLog = nullptr;
CLogFile* g_transLog = nullptr;

namespace {

// Opens for appending with other writers shut out: an advisory exclusive lock stands in for
// denied write-sharing, so a second instance cannot write into the first one's logs.
FILE* OpenLocked(const std::string& path, bool truncate, int* fdOut)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : O_APPEND), 0644);
    if (fd < 0)
        return nullptr;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return nullptr;
    }
    FILE* f = fdopen(fd, truncate ? "w" : "a");
    if (!f) {
        close(fd);
        return nullptr;
    }
    *fdOut = fd;
    return f;
}

} // namespace

std::string CLogFile::BackupPath(const std::string& path)
{
    size_t slash = path.rfind('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string name = path.substr(nameStart);
    for (size_t p = name.find(".txt"); p != std::string::npos; p = name.find(".txt", p + 8))
        name.replace(p, 4, "_bak.txt");
    return path.substr(0, nameStart) + name;
}

bool CLogFile::Open(const std::string& path, const char* banner)
{
    if (m_file)
        return true;
    m_path = path;
    size_t slash = path.rfind('/');
    if (slash != std::string::npos)
        MakeDirs(path.substr(0, slash));
    m_file = OpenLocked(path, false, &m_fd);
    if (!m_file)
        return false;
    fseek(m_file, 0, SEEK_END);
    long size = ftell(m_file);
    if (size >= kRotateSize) {
        // Keep one previous generation; we hold the lock, so no other writer sees the swap.
        std::string bak = BackupPath(path);
        unlink(bak.c_str());
        CopyFileReplace(path, bak);
        fclose(m_file);
        m_file = OpenLocked(path, true, &m_fd);
        if (!m_file)
            return false;
    }
    if (banner)
        Write(banner);
    return true;
}

void CLogFile::Close()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_file) {
        fclose(m_file);
        m_file = nullptr;
        m_fd = -1;
    }
}

void CLogFile::Write(const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_file)
        return;
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    char stamp[20] = {0};
    if (strftime(stamp, sizeof(stamp), "%m/%d %X : ", &local) == 0)
        stamp[0] = '\0';
    fseek(m_file, 0, SEEK_END);
    fputs(stamp, m_file);
    fwrite(text.data(), 1, text.size(), m_file);
    fputc('\n', m_file);
    fflush(m_file);
}

void CLogFile::TryWrite(const char* text)
{
    if (!m_lock.try_lock())
        return;
    if (m_file) {
        fputs(text, m_file);
        fputc('\n', m_file);
        fflush(m_file);
    }
    m_lock.unlock();
}

void OpenLogs()
{
    struct Channel
    {
        CLogFile** ptr;
        const char* name;
        const char* banner;
    };
    static const Channel channels[] = {
        {&g_log, "log.txt", "----------------------log-----------------------------------"},
        {&g_convertLog, "convert.txt", "----------------------cvt-----------------------------------"},
        {&g_transLog, "transfile.txt", "----------------------trans-----------------------------------"},
    };
    std::string folder = GetDataFolder() + "Log/";
    for (const Channel& c : channels) {
        if (!*c.ptr)
            *c.ptr = new CLogFile();
        (*c.ptr)->Open(folder + c.name, c.banner);
    }
}

void CloseLogs()
{
    for (CLogFile** p : {&g_log, &g_convertLog, &g_transLog}) {
        delete *p;
        *p = nullptr;
    }
}

void Log(CLogFile* channel, const char* format, ...)
{
    if (!channel)
        return;
    va_list ap;
    va_start(ap, format);
    va_list copy;
    va_copy(copy, ap);
    char small[512];
    int n = vsnprintf(small, sizeof(small), format, ap);
    va_end(ap);
    if (n < 0) {
        va_end(copy);
        return;
    }
    if (static_cast<size_t>(n) < sizeof(small)) {
        va_end(copy);
        channel->Write(std::string(small, static_cast<size_t>(n)));
        return;
    }
    std::vector<char> big(static_cast<size_t>(n) + 1);
    vsnprintf(big.data(), big.size(), format, copy);
    va_end(copy);
    channel->Write(std::string(big.data(), static_cast<size_t>(n)));
}

void LogText(CLogFile* channel, const std::string& text)
{
    if (channel)
        channel->Write(text);
}

} // namespace vx
