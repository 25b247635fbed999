#include "platform/Env.h"

#include <cstdlib>

namespace vx {

std::string GetEnvVar(const std::string& name)
{
    const char* v = getenv(name.c_str());
    return v ? std::string(v) : std::string();
}

bool SetEnvVar(const std::string& name, const std::string& value)
{
    return setenv(name.c_str(), value.c_str(), 1) == 0;
}

void UnsetEnvVar(const std::string& name)
{
    unsetenv(name.c_str());
}

} // namespace vx
