#include "cli/CliHelpers.h"

#include "cli/CliCommand.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace vx::cli {

bool NoArguments(CCliArgs& args, const std::string& why, int* exitCode)
{
    std::vector<std::string> rest;
    if (!args.Positionals(&rest) || !rest.empty()) {
        *exitCode = UsageError(args, args.Error().empty() ? why : args.Error());
        return false;
    }
    return true;
}

bool ParseBounded(const std::optional<std::string>& text, long lo, long hi, int* value)
{
    if (!text)
        return true;
    char* end = nullptr;
    const long v = strtol(text->c_str(), &end, 10);
    if (text->empty() || *end != '\0' || v < lo || v > hi)
        return false;
    *value = static_cast<int>(v);
    return true;
}

void PrintJsonLine(const CJsonOut& out)
{
    std::string json = out.Json();
    while (!json.empty() && json.back() == '\n')
        json.pop_back();
    printf("%s\n", json.c_str());
}

std::string PlainText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char buf[8];
        switch (c) {
        case '\\':
            out += "\\\\";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '\t':
            out += "\\t";
            continue;
        default:
            break;
        }
        if (c < 0x20 || c == 0x7F) {
            snprintf(buf, sizeof(buf), "\\x%02x", c);
            out += buf;
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080..U+009F: terminal controls as well (U+009B starts an escape sequence).
            snprintf(buf, sizeof(buf), "\\u%04x", static_cast<unsigned char>(text[i + 1]));
            out += buf;
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace vx::cli

namespace vx::cli {

std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string FitWidth(const std::string& text, size_t columns)
{
    auto isLead = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; };
    size_t chars = 0;
    for (char c : text)
        chars += isLead(c) ? 1 : 0;
    if (chars <= columns)
        return text;
    const size_t keep = columns > 3 ? columns - 3 : 0;
    size_t at = 0;
    for (size_t seen = 0; at < text.size(); ++at) {
        if (isLead(text[at]) && seen++ == keep)
            break;
    }
    return text.substr(0, at) + "...";
}

} // namespace vx::cli
