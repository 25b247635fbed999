#include "cli/CliArgs.h"

#include "platform/FsPath.h"

#include <cerrno>
#include <cstdlib>

namespace vx::cli {

CCliArgs::CCliArgs(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string* into) {
            if (i + 1 >= argc) {
                m_globalError = a + " needs a value";
                return;
            }
            *into = argv[++i];
        };
        if (a == "--") {
            // Everything after "--" is a word, never an option, even "--json" or "--password".
            if (m_command.empty() && i + 1 < argc)
                m_command = argv[++i];
            m_rest.push_back(a);
            for (++i; i < argc; ++i)
                m_rest.push_back(argv[i]);
            break;
        }
        if (a == "--json") {
            m_json = true;
        } else if (a == "--config") {
            value(&m_config);
        } else if (a.rfind("--config=", 0) == 0) {
            m_config = a.substr(9);
        } else if (a == "--user") {
            value(&m_user);
        } else if (a.rfind("--user=", 0) == 0) {
            m_user = a.substr(7);
        } else if (a == "--password") {
            value(&m_password);
        } else if (a.rfind("--password=", 0) == 0) {
            m_password = a.substr(11);
        } else if (m_command.empty() && (a.empty() || a[0] != '-')) {
            m_command = a;
        } else {
            m_rest.push_back(a);
        }
    }
    m_config = PathFromUser(m_config);
}

std::string CCliArgs::User() const
{
    if (!m_user.empty())
        return m_user;
    const char* e = getenv("VEXORA_USER");
    return e ? e : "";
}

std::string CCliArgs::Password() const
{
    if (!m_password.empty())
        return m_password;
    const char* e = getenv("VEXORA_PASSWORD");
    return e ? e : "";
}

size_t CCliArgs::OptionsEnd() const
{
    for (size_t i = 0; i < m_rest.size(); ++i)
        if (m_rest[i] == "--")
            return i;
    return m_rest.size();
}

std::optional<std::string> CCliArgs::TakeOption(const std::string& name)
{
    std::optional<std::string> found;
    for (size_t i = 0; i < OptionsEnd();) {
        if (m_rest[i] == name) {
            if (i + 1 >= OptionsEnd()) {
                m_error = name + " needs a value";
                m_rest.erase(m_rest.begin() + static_cast<long>(i));
                continue;
            }
            found = m_rest[i + 1];
            m_rest.erase(m_rest.begin() + static_cast<long>(i), m_rest.begin() + static_cast<long>(i) + 2);
            return found;
        }
        if (m_rest[i].rfind(name + "=", 0) == 0) {
            found = m_rest[i].substr(name.size() + 1);
            m_rest.erase(m_rest.begin() + static_cast<long>(i));
            return found;
        }
        ++i;
    }
    return found;
}

std::vector<std::string> CCliArgs::TakeAll(const std::string& name)
{
    std::vector<std::string> all;
    while (auto v = TakeOption(name))
        all.push_back(*v);
    return all;
}

bool CCliArgs::TakeFlag(const std::string& name)
{
    bool found = false;
    for (size_t i = 0; i < OptionsEnd();) {
        if (m_rest[i] == name) {
            found = true;
            m_rest.erase(m_rest.begin() + static_cast<long>(i));
        } else {
            ++i;
        }
    }
    return found;
}

bool CCliArgs::TakeInt64(const std::string& name, long long* value, bool* present)
{
    auto v = TakeOption(name);
    *present = v.has_value();
    if (!v)
        return m_error.empty();
    errno = 0;
    char* end = nullptr;
    long long n = strtoll(v->c_str(), &end, 10);
    if (v->empty() || *end != '\0' || errno == ERANGE) {
        m_error = name + " expects a number, got '" + *v + "'";
        return false;
    }
    *value = n;
    return true;
}

bool CCliArgs::Positionals(std::vector<std::string>* out)
{
    if (!m_error.empty())
        return false;
    out->clear();
    bool onlyPositional = false;
    for (const std::string& a : m_rest) {
        if (!onlyPositional && a == "--") {
            onlyPositional = true;
        } else if (!onlyPositional && a.size() > 1 && a[0] == '-') {
            m_error = "unknown option " + a;
            return false;
        } else {
            out->push_back(a);
        }
    }
    return true;
}

std::optional<std::string> CCliArgs::TakePathOption(const std::string& name)
{
    std::optional<std::string> v = TakeOption(name);
    if (v)
        *v = PathFromUser(*v);
    return v;
}

bool CCliArgs::PathPositionals(std::vector<std::string>* out)
{
    if (!Positionals(out))
        return false;
    for (std::string& p : *out)
        p = PathFromUser(p);
    return true;
}

} // namespace vx::cli
