#include "app/LanguageTable.h"

#include "platform/FileOps.h"
#include "platform/Utf8.h"
#include <cstdio>
#include <cstdlib>

namespace vx {

namespace {

void HandleLine(std::string line, std::map<int, std::string>* texts)
{
    size_t eq = line.find('=');
    if (eq == std::string::npos)
        return;
    // atoi reads leading digits, so a non-numeric key lands on 0 like the original reader.
    int number = atoi(Trim(line.substr(0, eq)).c_str());
    (*texts)[number] = Trim(line.substr(eq + 1));
}

} // namespace

void CLanguageTable::Load(const std::string& path)
{
    m_texts.clear();
    FILE* f = OpenFile(path, "rb");
    if (!f)
        return;
    std::string content;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
        content.append(buf, n);
    fclose(f);
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0)
        content.erase(0, 3);
    size_t pos = 0;
    while (pos < content.size()) {
        size_t nl = content.find('\n', pos);
        if (nl == std::string::npos)
            nl = content.size();
        HandleLine(content.substr(pos, nl - pos), &m_texts);
        pos = nl + 1;
    }
}

std::string CLanguageTable::GetRawText(int number) const
{
    auto it = m_texts.find(number);
    return it == m_texts.end() ? std::string() : it->second;
}

std::string CLanguageTable::GetText(int number) const
{
    std::string t = GetRawText(number);
    for (size_t p = t.find("@n"); p != std::string::npos; p = t.find("@n", p + 1))
        t.replace(p, 2, "\n");
    return t;
}

} // namespace vx
