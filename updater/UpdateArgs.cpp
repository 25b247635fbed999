#include "updater/UpdateArgs.h"

#include "platform/Utf8.h"

namespace vx {

namespace {

std::vector<std::string> SplitBlanks(const std::string& s)
{
    std::vector<std::string> words;
    size_t pos = 0;
    while ((pos = s.find_first_not_of(" \t", pos)) != std::string::npos) {
        size_t end = s.find_first_of(" \t", pos);
        words.push_back(s.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        pos = end;
    }
    return words;
}

} // namespace

UpdateArgs SplitUpdateText(const std::string& text)
{
    UpdateArgs a;
    if (text.empty())
        return a;
    if (text.find(';') == std::string::npos) {
        a.url = text;
        return a;
    }
    std::string fields[4];
    size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        size_t sep = i < 3 ? text.find(';', pos) : std::string::npos;
        fields[i] = Trim(text.substr(pos, sep == std::string::npos ? std::string::npos : sep - pos));
        if (sep == std::string::npos)
            break;
        pos = sep + 1;
    }
    a.url = fields[0];
    a.productName = fields[1];
    a.mainProgramPath = fields[2];
    a.mainProgramArgs = SplitBlanks(fields[3]);
    return a;
}

UpdateArgs SplitUpdateArgs(const std::vector<std::string>& args)
{
    if (args.size() <= 1)
        return SplitUpdateText(args.empty() ? std::string() : args[0]);
    UpdateArgs a;
    a.url = args[0];
    a.productName = args[1];
    if (args.size() > 2)
        a.mainProgramPath = args[2];
    if (args.size() > 3)
        a.mainProgramArgs.assign(args.begin() + 3, args.end());
    return a;
}

bool IsWebAddress(const std::string& url)
{
    size_t hostStart;
    if (url.size() > 7 && StartsWithNoCase(url, "http://"))
        hostStart = 7;
    else if (url.size() > 8 && StartsWithNoCase(url, "https://"))
        hostStart = 8;
    else
        return false;
    if (url[hostStart] == '/' || url[hostStart] == ':')
        return false;
    for (unsigned char c : url)
        if (c <= 0x20 || c == 0x7F)
            return false;
    return true;
}

} // namespace vx
