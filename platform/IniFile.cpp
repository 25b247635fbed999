#include "platform/IniFile.h"

#include "platform/FileOps.h"
#include "platform/FsPath.h"
#include "platform/Utf8.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace vx {

namespace {

bool SameName(const std::string& a, const std::string& b)
{
    return EqualsNoCase(a, b);
}

// "[name]" -> name; empty optional when the line is no section header.
bool SectionName(const std::string& line, std::string* name)
{
    std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[')
        return false;
    size_t close = t.find(']');
    if (close == std::string::npos)
        return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

// "key = value" -> key and value; false for comments and lines without '='.
bool KeyValue(const std::string& line, std::string* key, std::string* value)
{
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#')
        return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos)
        return false;
    *key = Trim(t.substr(0, eq));
    *value = Trim(t.substr(eq + 1));
    return true;
}

std::vector<std::string> ReadLines(const std::string& path, bool* exists)
{
    std::vector<std::string> lines;
    std::ifstream in(FsPath(path), std::ios::binary);
    *exists = static_cast<bool>(in);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    // A UTF-8 byte-order mark would otherwise glue itself to the first section name.
    if (!lines.empty() && lines[0].compare(0, 3, "\xEF\xBB\xBF") == 0)
        lines[0].erase(0, 3);
    return lines;
}

} // namespace

bool IniLookup(const std::string& path, const std::string& section, const std::string& key,
               std::string* value)
{
    bool exists = false;
    std::vector<std::string> lines = ReadLines(path, &exists);
    bool inSection = false;
    for (const std::string& line : lines) {
        std::string name, k, v;
        if (SectionName(line, &name)) {
            inSection = SameName(name, section);
            continue;
        }
        if (inSection && KeyValue(line, &k, &v) && SameName(k, key)) {
            if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
                v = v.substr(1, v.size() - 2);
            *value = v;
            return true;
        }
    }
    return false;
}

std::string IniRead(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& def)
{
    std::string value;
    return IniLookup(path, section, key, &value) ? value : def;
}

bool IniWrite(const std::string& path, const std::string& section, const std::string& key,
              const std::string& value)
{
    bool exists = false;
    std::vector<std::string> lines = ReadLines(path, &exists);
    const std::string newLine = key + "=" + value;
    bool inSection = false, done = false;
    size_t sectionEnd = std::string::npos; // index after the last non-blank line of the section
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        std::string name, k, v;
        if (SectionName(lines[i], &name)) {
            if (inSection)
                break;
            inSection = SameName(name, section);
            if (inSection)
                sectionEnd = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        if (KeyValue(lines[i], &k, &v) && SameName(k, key)) {
            lines[i] = newLine;
            done = true;
        } else if (!Trim(lines[i]).empty()) {
            sectionEnd = i + 1;
        }
    }
    if (!done) {
        if (sectionEnd == std::string::npos) {
            if (!lines.empty() && !Trim(lines.back()).empty())
                lines.push_back("");
            lines.push_back("[" + section + "]");
            lines.push_back(newLine);
        } else {
            lines.insert(lines.begin() + static_cast<long>(sectionEnd), newLine);
        }
    }
    std::ostringstream out;
    for (const std::string& l : lines)
        out << l << "\n";
    std::string tmp = path + ".tmp";
    {
        std::ofstream f(FsPath(tmp), std::ios::binary | std::ios::trunc);
        if (!f)
            return false;
        f << out.str();
        f.flush();
        if (!f)
            return false;
    }
    if (!RenameReplace(tmp, path)) {
        RemoveFileIfAny(tmp);
        return false;
    }
    return true;
}

} // namespace vx
