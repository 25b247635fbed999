#include "net/JsonHelpers.h"

#include <json/reader.h>

#include <cmath>
#include <exception>
#include <memory>

namespace vx {

namespace {

const Json::Value* Member(const Json::Value& obj, const std::string& name)
{
    if (name.empty() || !obj.isObject())
        return nullptr;
    return obj.find(name.data(), name.data() + name.size());
}

} // namespace

std::string PrepareJsonText(const std::string& body)
{
    size_t first = body.find('{');
    if (first == std::string::npos)
        return std::string();
    size_t last = body.rfind('}');
    if (last == std::string::npos || last < first)
        return std::string();
    return body.substr(first, last - first + 1);
}

bool ParseJsonObject(const std::string& text, Json::Value* object)
{
    if (text.size() < 2 || text.front() != '{' || text.back() != '}')
        return false;
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["failIfExtra"] = true;
    builder["stackLimit"] = 200; // answers are shallow; deep nesting is garbage, not data
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value value;
    std::string errors;
    try {
        // The reader throws when the nesting exceeds the stack limit.
        if (!reader->parse(text.data(), text.data() + text.size(), &value, &errors) || !value.isObject())
            return false;
    } catch (const std::exception&) {
        return false;
    }
    *object = std::move(value);
    return true;
}

bool GetJsonString(const Json::Value& obj, const std::string& name, std::string* out)
{
    return GetJsonNarrowString(obj, name, out);
}

bool GetJsonNarrowString(const Json::Value& obj, const std::string& name, std::string* out)
{
    const Json::Value* v = Member(obj, name);
    if (!v || !v->isString())
        return false;
    *out = v->asString();
    return true;
}

bool GetJsonInt64(const Json::Value& obj, const std::string& name, int64_t* out)
{
    const Json::Value* v = Member(obj, name);
    if (!v)
        return false;
    if (v->type() == Json::intValue) {
        *out = v->asInt64();
        return true;
    }
    if (v->type() == Json::realValue) {
        double d = std::trunc(v->asDouble());
        // Out-of-range doubles cannot be converted: refuse them rather than invent a value.
        if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0))
            return false;
        *out = static_cast<int64_t>(d);
        return true;
    }
    return false;
}

bool GetJsonInt(const Json::Value& obj, const std::string& name, int* out)
{
    const Json::Value* v = Member(obj, name);
    if (!v || v->type() != Json::intValue || !v->isInt())
        return false;
    *out = v->asInt();
    return true;
}

bool GetJsonBool(const Json::Value& obj, const std::string& name, bool* out)
{
    const Json::Value* v = Member(obj, name);
    if (!v || !v->isBool())
        return false;
    *out = v->asBool();
    return true;
}

bool GetJsonArray(const Json::Value& obj, const std::string& name, Json::Value* out)
{
    const Json::Value* v = Member(obj, name);
    if (!v)
        return false;
    if (v->isNull()) {
        *out = Json::Value(Json::arrayValue);
        return true;
    }
    if (!v->isArray())
        return false;
    *out = *v;
    return true;
}

bool GetJsonValue(const Json::Value& obj, const std::string& name, Json::Value* out)
{
    const Json::Value* v = Member(obj, name);
    if (!v || v->isNull())
        return false;
    *out = *v;
    return true;
}

} // namespace vx
