#include "platform/Env.h"

#include "platform/Win32Text.h"

namespace vx {

std::string GetEnvVar(const std::string& name)
{
    const std::wstring wname = win::Wide(name);
    DWORD n = GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
    if (n == 0)
        return std::string();
    std::wstring value(n, L'\0');
    n = GetEnvironmentVariableW(wname.c_str(), value.data(), n);
    value.resize(n);
    return win::Utf8(value);
}

bool SetEnvVar(const std::string& name, const std::string& value)
{
    // Both blocks: the system's (children, our own reads) and the C run-time's (getenv).
    const std::wstring w = win::Wide(name), v = win::Wide(value);
    _wputenv_s(w.c_str(), v.c_str());
    return SetEnvironmentVariableW(w.c_str(), v.c_str()) != 0;
}

void UnsetEnvVar(const std::string& name)
{
    const std::wstring w = win::Wide(name);
    _wputenv_s(w.c_str(), L"");
    SetEnvironmentVariableW(w.c_str(), nullptr);
}

} // namespace vx
