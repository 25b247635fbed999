#pragma once
// Command-line parsing for `vexora`: global options anywhere on the line (--config PATH, --user,
// --password, --json), then per-command options taken by name; whatever is left is positional.
// "--" ends the options: every word after it is positional, whatever it looks like.

#include <optional>
#include <string>
#include <vector>

namespace vx::cli {

class CCliArgs
{
public:
    CCliArgs(int argc, char** argv);

    const std::string& Command() const { return m_command; }
    const std::string& Usage() const { return m_usage; }
    void SetUsage(const std::string& u) { m_usage = u; }

    bool Json() const { return m_json; }
    const std::string& ConfigPath() const { return m_config; }
    // --user / --password, else $VEXORA_USER / $VEXORA_PASSWORD.
    std::string User() const;
    std::string Password() const;
    // A global option given without its value, or similar; empty when the line parsed.
    const std::string& GlobalError() const { return m_globalError; }

    // Removes "--name VALUE" (or --name=VALUE) and returns the value; error when the value is missing.
    std::optional<std::string> TakeOption(const std::string& name);
    // Every occurrence of --name VALUE, in order.
    std::vector<std::string> TakeAll(const std::string& name);
    // Removes a flag; true when it was present.
    bool TakeFlag(const std::string& name);
    // Parses a 64-bit id option; false (with error set) when present but not a number.
    bool TakeInt64(const std::string& name, long long* value, bool* present);

    // What remains: positional words. Fails (error set) when an unknown --option is left.
    bool Positionals(std::vector<std::string>* out);
    // The same for options and words that name files or folders: each in the program's own
    // path form (PathFromUser), so "C:\Course\a.pdf" works on Windows as typed.
    std::optional<std::string> TakePathOption(const std::string& name);
    bool PathPositionals(std::vector<std::string>* out);
    const std::string& Error() const { return m_error; }

private:
    // Index of the "--" in m_rest (its size when there is none): options are looked for before it.
    size_t OptionsEnd() const;

    std::string m_command;
    std::string m_usage;
    std::vector<std::string> m_rest;
    std::string m_config, m_user, m_password;
    bool m_json = false;
    std::string m_globalError;
    std::string m_error;
};

} // namespace vx::cli
