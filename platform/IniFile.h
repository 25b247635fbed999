#pragma once
// Private-profile INI access: section and key names compare without case, a missing key reads
// as the default, and a write changes only its own line (comments and order are kept).

#include <string>

namespace vx {

// Reads [section] key from the file; def when the file, the section or the key is missing.
// Surrounding blanks are trimmed, as are one pair of enclosing double quotes.
std::string IniRead(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& def = "");

// Like IniRead, but tells whether the key is there at all (an empty value counts as set).
bool IniLookup(const std::string& path, const std::string& section, const std::string& key,
               std::string* value);

// Writes [section] key=value, creating the section (and the file) when missing. The file is
// replaced atomically, so a crash never leaves it half written. False on any I/O error.
bool IniWrite(const std::string& path, const std::string& section, const std::string& key,
              const std::string& value);

} // namespace vx
