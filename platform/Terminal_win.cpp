#include "platform/Terminal.h"

#include "platform/Win32Text.h"

#include <io.h>

namespace vx {

namespace {

HANDLE HandleOf(StdStream s)
{
    return GetStdHandle(s == StdStream::In    ? STD_INPUT_HANDLE
                        : s == StdStream::Out ? STD_OUTPUT_HANDLE
                                              : STD_ERROR_HANDLE);
}

// Echo back on however the read ends.
class CEchoOff
{
public:
    explicit CEchoOff(HANDLE in) : m_in(in)
    {
        if (GetConsoleMode(in, &m_saved))
            m_active = SetConsoleMode(in, (m_saved | ENABLE_LINE_INPUT) & ~ENABLE_ECHO_INPUT) != 0;
    }
    ~CEchoOff()
    {
        if (m_active)
            SetConsoleMode(m_in, m_saved);
    }
    CEchoOff(const CEchoOff&) = delete;
    CEchoOff& operator=(const CEchoOff&) = delete;

private:
    HANDLE m_in;
    DWORD m_saved = 0;
    bool m_active = false;
};

void WriteConsoleText(HANDLE h, const std::string& text)
{
    std::wstring w = win::Wide(text);
    DWORD written = 0;
    if (!WriteConsoleW(h, w.data(), static_cast<DWORD>(w.size()), &written, nullptr))
        WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

} // namespace

bool IsTerminal(StdStream stream)
{
    DWORD mode = 0;
    return GetConsoleMode(HandleOf(stream), &mode) != 0;
}

bool ReadHiddenLine(const std::string& prompt, std::string* line)
{
    line->clear();
    HANDLE in = HandleOf(StdStream::In);
    if (!IsTerminal(StdStream::In))
        return false;
    // Echo goes off before the prompt shows, so nothing typed in answer to it is ever shown.
    CEchoOff quiet(in);
    if (!prompt.empty())
        WriteConsoleText(HandleOf(StdStream::Err), prompt);
    std::wstring text;
    bool any = false;
    for (;;) {
        wchar_t c = 0;
        DWORD n = 0;
        if (!ReadConsoleW(in, &c, 1, &n, nullptr) || n == 0)
            break;
        any = true;
        if (c == L'\r')
            continue;
        if (c == L'\n') {
            WriteConsoleText(HandleOf(StdStream::Err), "\n");
            *line = win::Utf8(text);
            return true;
        }
        text.push_back(c);
    }
    *line = win::Utf8(text);
    return any;
}

void PrepareConsole()
{
    // Our texts are UTF-8: the console shows them as such, and typed text arrives as such.
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
}

} // namespace vx
