// libFuzzer target: preparing and reading a platform answer (PrepareJsonText, ParseJsonObject,
// the typed getters and the space entry readers).

#include "net/JsonHelpers.h"
#include "net/SpaceApi.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string body(reinterpret_cast<const char*>(data), size);
    std::string text = vx::PrepareJsonText(body);
    if (!text.empty() && (text.front() != '{' || text.back() != '}'))
        __builtin_trap();
    Json::Value root;
    if (!vx::ParseJsonObject(text, &root))
        return 0;
    bool b = false;
    int i = 0;
    int64_t n = 0;
    std::string s;
    Json::Value v;
    for (const char* name : {"success", "message", "id", "tryTimesLeft", "orgId", "status", "totalSize"}) {
        vx::GetJsonBool(root, name, &b);
        vx::GetJsonInt(root, name, &i);
        vx::GetJsonInt64(root, name, &n);
        vx::GetJsonString(root, name, &s);
        vx::GetJsonArray(root, name, &v);
        vx::GetJsonValue(root, name, &v);
    }
    for (const char* listName : {"dirList", "fileList", "result"}) {
        Json::Value obj, list;
        if (!vx::GetJsonValue(root, listName, &obj) || !vx::GetJsonArray(obj, "list", &list))
            continue;
        for (Json::ArrayIndex k = 0; k < list.size() && k < 64; ++k) {
            vx::SpaceEntry folder = vx::CSpaceApi::ReadFolderEntry(list[k]);
            vx::SpaceEntry file = vx::CSpaceApi::ReadFileEntry(list[k], 1);
            if (folder.nType != vx::SPACE_FOLDER || file.nType < vx::SPACE_FOLDER ||
                file.nType > vx::SPACE_SWF)
                __builtin_trap();
        }
    }
    return 0;
}
