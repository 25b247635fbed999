#include "app/LogFile.h"

#include "platform/LocalTime.h"
#include "platform/Paths.h"

#include <cstdarg>
#include <cstring>
#include <ctime>
#include <vector>

namespace vx {

CLogFile* g_log = nullptr;
CLogFile* g_convertLog = nullptr;
CLogFile* g_transLog = nullptr;

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
    if (m_file.IsOpen())
        return true;
    m_path = path;
    size_t slash = path.rfind('/');
    if (slash != std::string::npos)
        MakeDirs(path.substr(0, slash));
    // One previous generation is kept; when several processes open at once only one of them
    // sets the full file aside.
    if (!m_file.Open(path, kRotateSize, BackupPath(path)))
        return false;
    if (banner)
        Write(banner);
    return true;
}

void CLogFile::Close()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_file.Close();
}

void CLogFile::Write(const std::string& text)
{
    WriteLines({text});
}

void CLogFile::WriteLines(const std::vector<std::string>& texts)
{
    if (texts.empty())
        return;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_file.IsOpen())
        return;
    if (m_file.Replaced())
        m_file.Open(m_path, kRotateSize, BackupPath(m_path));
    time_t now = time(nullptr);
    struct tm local = LocalTimeOf(now);
    char stamp[20] = {0};
    // Numbers only: %X follows the locale ("6:19:57 PM" on Windows) and could overflow the stamp.
    if (strftime(stamp, sizeof(stamp), "%m/%d %H:%M:%S : ", &local) == 0)
        stamp[0] = '\0';
    // Every line in one append: other writers' lines land before or after them, never inside.
    const size_t stampLen = strlen(stamp);
    size_t total = 0;
    for (const std::string& t : texts)
        total += stampLen + t.size() + 1;
    std::string lines;
    lines.reserve(total);
    for (const std::string& t : texts) {
        lines += stamp;
        lines += t;
        lines += '\n';
    }
    m_file.Append(lines.data(), lines.size());
}

void CLogFile::TryWrite(const char* text)
{
    if (!m_lock.try_lock())
        return;
    // No allocation here: the crash may have happened inside the allocator.
    char line[1024];
    size_t n = 0;
    for (; text[n] && n < sizeof(line) - 1; ++n)
        line[n] = text[n];
    line[n++] = '\n';
    m_file.Append(line, n);
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
    // Without a data folder the channels exist but drop their lines: never a log in the
    // current folder.
    const std::string& data = GetDataFolder();
    for (const Channel& c : channels) {
        if (!*c.ptr)
            *c.ptr = new CLogFile();
        if (!data.empty())
            (*c.ptr)->Open(data + "Log/" + c.name, c.banner);
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

void LogLines(CLogFile* channel, const std::vector<std::string>& lines)
{
    if (channel)
        channel->WriteLines(lines);
}

} // namespace vx
