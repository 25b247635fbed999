#pragma once
// The process environment in UTF-8 (the wide-character block on Windows, where the narrow
// one is in the ANSI code page).

#include <string>

namespace vx {

// The value of name; empty when it is unset or empty.
std::string GetEnvVar(const std::string& name);
bool SetEnvVar(const std::string& name, const std::string& value);
void UnsetEnvVar(const std::string& name);

} // namespace vx
