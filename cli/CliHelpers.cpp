#include "cli/CliHelpers.h"

#include "cli/CliCommand.h"

#include <cstdio>
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
