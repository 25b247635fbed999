#pragma once
// One flat record printed either as "key: value" lines or as a JSON object.

#include <string>
#include <utility>
#include <vector>

namespace vx::cli {

class CJsonOut
{
public:
    void Text(const std::string& key, const std::string& value);
    void Int(const std::string& key, long long value);
    void Bool(const std::string& key, bool value);
    std::string Plain() const;
    std::string Json() const;

    // A JSON string literal of s (UTF-8 kept, control characters escaped).
    static std::string Quote(const std::string& s);

private:
    struct Field
    {
        std::string key, plain, json;
    };
    std::vector<Field> m_fields;
};

} // namespace vx::cli
