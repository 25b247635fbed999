// Preparing and reading the platform's JSON answers.

#include "net/JsonHelpers.h"

#include <gtest/gtest.h>

using namespace vx;

TEST(JsonHelpers, PrepareCutsTheObjectOutOfTheBody)
{
    EXPECT_EQ(PrepareJsonText("callback({\"a\":{\"b\":1}});\n"), "{\"a\":{\"b\":1}}");
    EXPECT_EQ(PrepareJsonText("no object"), "");
    EXPECT_EQ(PrepareJsonText("} before {"), "");
    EXPECT_EQ(PrepareJsonText("{"), "");
    EXPECT_EQ(PrepareJsonText(""), "");
}

TEST(JsonHelpers, EscapedAndRawTextReadTheSame)
{
    // A quote, a backslash and Chinese text as escapes must survive parsing.
    Json::Value escaped, raw;
    ASSERT_TRUE(ParseJsonObject(PrepareJsonText(R"({"name":"a\u0022b\u005cc\u4e2d\u6587"})"), &escaped));
    ASSERT_TRUE(ParseJsonObject(PrepareJsonText("{\"name\":\"a\\\"b\\\\c中文\"}"), &raw));
    std::string a, b;
    ASSERT_TRUE(GetJsonString(escaped, "name", &a));
    ASSERT_TRUE(GetJsonString(raw, "name", &b));
    EXPECT_EQ(a, "a\"b\\c中文");
    EXPECT_EQ(a, b);
    // A surrogate pair becomes one four-byte character.
    Json::Value emoji;
    ASSERT_TRUE(ParseJsonObject(R"({"e":"\ud83d\ude00"})", &emoji));
    ASSERT_TRUE(GetJsonString(emoji, "e", &a));
    EXPECT_EQ(a, "\xF0\x9F\x98\x80");
}

TEST(JsonHelpers, ParseAcceptsOnlyObjects)
{
    Json::Value v;
    EXPECT_FALSE(ParseJsonObject("[1,2]", &v));
    EXPECT_FALSE(ParseJsonObject(" {}", &v));
    EXPECT_FALSE(ParseJsonObject("{\"a\":}", &v));
    EXPECT_FALSE(ParseJsonObject("{} {}", &v));
    // Deep nesting is refused without an exception escaping.
    std::string deep = "{\"a\":" + std::string(5000, '[') + std::string(5000, ']') + "}";
    EXPECT_FALSE(ParseJsonObject(deep, &v));
    EXPECT_TRUE(ParseJsonObject("{}", &v));
}

TEST(JsonHelpers, TypedGettersCheckTypesAndLeaveOutputsOnFailure)
{
    Json::Value o;
    ASSERT_TRUE(ParseJsonObject(R"({"s":"text","i":7,"big":9007199254740993,"neg":-3,"f":12.9,
        "huge":1e300,"u":18446744073709551615,"wide":4294967296,"b":true,"arr":[1,2],"nul":null,"obj":{"x":1}})",
                                &o));
    std::string s = "keep";
    EXPECT_TRUE(GetJsonString(o, "s", &s));
    EXPECT_EQ(s, "text");
    s = "keep";
    EXPECT_FALSE(GetJsonString(o, "i", &s));
    EXPECT_FALSE(GetJsonString(o, "missing", &s));
    EXPECT_FALSE(GetJsonString(o, "", &s));
    EXPECT_EQ(s, "keep");

    int64_t n = -99;
    EXPECT_TRUE(GetJsonInt64(o, "big", &n));
    EXPECT_EQ(n, 9007199254740993LL);
    EXPECT_TRUE(GetJsonInt64(o, "f", &n));
    EXPECT_EQ(n, 12);
    n = -99;
    EXPECT_FALSE(GetJsonInt64(o, "huge", &n)); // beyond 64 bits: refused, not undefined
    EXPECT_FALSE(GetJsonInt64(o, "u", &n));    // unsigned-only value
    EXPECT_FALSE(GetJsonInt64(o, "s", &n));
    EXPECT_EQ(n, -99);

    int i = -1;
    EXPECT_TRUE(GetJsonInt(o, "neg", &i));
    EXPECT_EQ(i, -3);
    i = -1;
    EXPECT_FALSE(GetJsonInt(o, "f", &i));
    EXPECT_FALSE(GetJsonInt(o, "wide", &i));
    EXPECT_EQ(i, -1);

    bool b = false;
    EXPECT_TRUE(GetJsonBool(o, "b", &b));
    EXPECT_TRUE(b);
    EXPECT_FALSE(GetJsonBool(o, "i", &b));

    Json::Value arr;
    EXPECT_TRUE(GetJsonArray(o, "arr", &arr));
    EXPECT_EQ(arr.size(), 2u);
    EXPECT_TRUE(GetJsonArray(o, "nul", &arr));
    EXPECT_TRUE(arr.isArray());
    EXPECT_EQ(arr.size(), 0u);
    EXPECT_FALSE(GetJsonArray(o, "obj", &arr));

    Json::Value any;
    EXPECT_TRUE(GetJsonValue(o, "obj", &any));
    EXPECT_FALSE(GetJsonValue(o, "nul", &any));
    // A getter on something that is not an object finds nothing.
    EXPECT_FALSE(GetJsonValue(arr, "x", &any));
}
