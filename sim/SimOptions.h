#pragma once
// Command line of vexora-sim and the fault switches that tests may also flip while it runs.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace vx::sim {

struct AccountEntry
{
    std::string name;
    std::string password;
    std::string organisation; // "-" = an account without client permission
};

// Fault switches; every field may change while the servers run (web control endpoint).
struct SimFaults
{
    std::atomic<int64_t> dropAfterBytes{-1}; // file server closes after N upload data bytes
    std::atomic<int> delayMs{0};             // every answer waits this long first
    std::atomic<bool> wrongDigest{false};    // announce answers carry a different digest
    std::atomic<bool> badConfirm{false};     // the 7-byte confirmation says the check failed
    std::atomic<bool> garbageWeb{false};     // web answers are not JSON
    std::atomic<bool> garbageFile{false};    // file server answers random bytes
    std::atomic<bool> garbageVersion{false}; // version server answers random bytes
    std::atomic<bool> refuseLogin{false};    // every login fails as with a wrong password
    std::atomic<bool> expireCookie{false};   // sign-out check says the session is overdue
    std::atomic<bool> signedOut{false};      // sign-out check says: signed in elsewhere
    std::atomic<bool> noUdp{false};          // version server ignores datagrams (TCP only)

    // Applies "name=value" (the names of the command-line switches without dashes).
    bool Set(const std::string& name, const std::string& value, std::string* err);
    std::string Describe() const;
};

struct SimOptions
{
    std::string root;
    std::string bindHost = "127.0.0.1";
    int webPort = 18080;
    std::vector<int> filePorts{18900, 18901};
    int versionPort = 18070;
    std::vector<AccountEntry> accounts;
    std::string latestVersion; // empty: every client is up to date
    std::string installerPath; // empty: a small generated installer
    int md5Rule = 4;
    int64_t quotaGb = 100;
    int cookieTtlSec = 0; // 0: sessions never become overdue by age
    bool quiet = false;
    bool showHelp = false;
};

// Parses argv; false with *err on a bad command line.
bool ParseSimArgs(int argc, char** argv, SimOptions* opts, SimFaults* faults, std::string* err);
std::string SimUsage();

} // namespace vx::sim
