#include "platform/CommandLine.h"

namespace vx {

std::string QuoteArgument(const std::string& arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            // n backslashes before a quote: 2n + 1, then the quote itself.
            out.append(2 * backslashes + 1, '\\');
            out += '"';
        } else {
            out.append(backslashes, '\\');
            out += c;
        }
        backslashes = 0;
    }
    // Before the closing quote every backslash is doubled, or the last one would escape it.
    out.append(2 * backslashes, '\\');
    out += '"';
    return out;
}

std::string BuildCommandLine(const std::string& program, const std::vector<std::string>& args)
{
    // The program name is read differently (up to the next quote or blank, no escapes); a
    // path cannot hold a quote, so plain quotes around it always read back.
    std::string line = "\"" + program + "\"";
    for (const std::string& a : args)
        line += " " + QuoteArgument(a);
    return line;
}

std::vector<std::string> SplitCommandLine(const std::string& line)
{
    std::vector<std::string> out;
    size_t i = 0;
    const size_t n = line.size();
    // The program name: quoted or up to the first blank, backslashes as they stand.
    std::string first;
    if (i < n && line[i] == '"') {
        ++i;
        while (i < n && line[i] != '"')
            first += line[i++];
        if (i < n)
            ++i;
    } else {
        while (i < n && line[i] != ' ' && line[i] != '\t')
            first += line[i++];
    }
    out.push_back(first);
    for (;;) {
        while (i < n && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= n)
            break;
        std::string arg;
        bool quoted = false;
        while (i < n) {
            char c = line[i];
            if (!quoted && (c == ' ' || c == '\t'))
                break;
            if (c == '\\') {
                size_t count = 0;
                while (i < n && line[i] == '\\') {
                    ++count;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    arg.append(count / 2, '\\');
                    if (count % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(count, '\\');
                }
                continue;
            }
            if (c == '"') {
                // "" inside quotes stands for one quote (the run-time's later rule).
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            arg += c;
            ++i;
        }
        out.push_back(arg);
    }
    return out;
}

} // namespace vx
