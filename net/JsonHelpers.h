#pragma once
// Reading the platform's JSON answers: cut the object out of the body, parse it, and read
// members with type checks. A getter that fails leaves its output untouched.

#include <json/value.h>

#include <cstdint>
#include <string>

namespace vx {

// The part of body from the first "{" to the last "}", or "" when there is none. Escapes are
// left to the parser, so "\u0022" and raw UTF-8 read the same.
std::string PrepareJsonText(const std::string& body);
// True when text is "{...}" and parses as an object.
bool ParseJsonObject(const std::string& text, Json::Value* object);

// Each getter: false (output untouched) when name is empty, obj is not an object, the member is
// missing or has another JSON type.
bool GetJsonString(const Json::Value& obj, const std::string& name, std::string* out);
bool GetJsonNarrowString(const Json::Value& obj, const std::string& name, std::string* out);
// Integer or floating number, truncated; numbers beyond the signed 64-bit range are refused.
bool GetJsonInt64(const Json::Value& obj, const std::string& name, int64_t* out);
// Signed integer that fits 32 bits.
bool GetJsonInt(const Json::Value& obj, const std::string& name, int* out);
bool GetJsonBool(const Json::Value& obj, const std::string& name, bool* out);
// Array; null reads as an empty array.
bool GetJsonArray(const Json::Value& obj, const std::string& name, Json::Value* out);
// Any value but null.
bool GetJsonValue(const Json::Value& obj, const std::string& name, Json::Value* out);

} // namespace vx
