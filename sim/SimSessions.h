#pragma once
// The simulator's login sessions, apart from the rest of the state: a login adds one small
// record to <root>/sessions.json instead of rewriting the whole state file, and a session is
// pruned once it expires (the cookie time-to-live, else a week). Ages are measured on the
// monotonic clock in milliseconds, so a time-to-live of one second means one second, not
// "the next change of the wall clock's second".

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace vx::sim {

struct SimSession
{
    std::string token;
    int64_t userId = 0;
    int64_t issuedWallMs = 0; // milliseconds since the epoch, for the file
    int64_t issuedMonoMs = 0; // monotonic milliseconds, for the age while running
    bool signedOut = false;
};

class CSimSessions
{
public:
    static constexpr int64_t kDefaultLifetimeMs = 7LL * 24 * 3600 * 1000;

    // Loads path when it is there (a damaged file only costs the sessions: said, then none);
    // sessions expire lifetimeMs after their login.
    void Open(const std::string& path, int64_t lifetimeMs);

    std::string New(int64_t userId);
    // The session of a token; none when unknown or expired (an expired one is dropped).
    std::optional<SimSession> Find(const std::string& token);
    void SignOutUser(int64_t userId);
    size_t Count();
    static int64_t MonoMs();

private:
    void PruneLocked();
    bool SaveLocked();

    std::mutex m_mutex;
    std::string m_path;
    int64_t m_lifetimeMs = kDefaultLifetimeMs;
    std::map<std::string, SimSession> m_sessions;
};

} // namespace vx::sim
