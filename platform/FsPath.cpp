#include "platform/FsPath.h"

#include "platform/Utf8.h"

namespace vx {

std::filesystem::path FsPath(const std::string& utf8)
{
#ifdef _WIN32
    return std::filesystem::path(Utf8ToWide(utf8));
#else
    return std::filesystem::path(utf8);
#endif
}

std::string FsPathText(const std::filesystem::path& path)
{
#ifdef _WIN32
    return WideToUtf8(path.generic_wstring());
#else
    return path.string();
#endif
}

std::string PathFromUser(const std::string& text)
{
    std::string path = text;
#ifdef _WIN32
    for (char& c : path)
        if (c == '\\')
            c = '/';
#endif
    return path;
}

} // namespace vx
