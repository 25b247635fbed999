#include "cli/JsonOut.h"

#include "cli/CliHelpers.h"

#include <cstdio>

namespace vx::cli {

std::string CJsonOut::Quote(const std::string& s)
{
    std::string q = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            q += "\\\"";
            break;
        case '\\':
            q += "\\\\";
            break;
        case '\n':
            q += "\\n";
            break;
        case '\r':
            q += "\\r";
            break;
        case '\t':
            q += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                snprintf(buf, sizeof(buf), "\\u%04x", c);
                q += buf;
            } else {
                q += static_cast<char>(c);
            }
        }
    }
    return q + "\"";
}

void CJsonOut::Text(const std::string& key, const std::string& value)
{
    m_fields.push_back({key, PlainText(value), Quote(value)});
}

void CJsonOut::Int(const std::string& key, long long value)
{
    m_fields.push_back({key, std::to_string(value), std::to_string(value)});
}

void CJsonOut::Bool(const std::string& key, bool value)
{
    m_fields.push_back({key, value ? "true" : "false", value ? "true" : "false"});
}

std::string CJsonOut::Plain() const
{
    std::string s;
    for (const Field& f : m_fields)
        s += f.key + ": " + f.plain + "\n";
    return s;
}

std::string CJsonOut::Json() const
{
    std::string s = "{";
    for (size_t i = 0; i < m_fields.size(); ++i)
        s += (i ? ", " : "") + Quote(m_fields[i].key) + ": " + m_fields[i].json;
    return s + "}\n";
}

} // namespace vx::cli
