#include "sim/SimSessions.h"

#include "platform/Crypto.h"
#include "platform/FileOps.h"
#include "platform/Paths.h"
#include "sim/SimLog.h"
#include "sim/SimText.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <json/json.h>

namespace vx::sim {

namespace {

int64_t WallMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

int64_t CSimSessions::MonoMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void CSimSessions::Open(const std::string& path, int64_t lifetimeMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_path = path;
    m_lifetimeMs = lifetimeMs > 0 ? lifetimeMs : kDefaultLifetimeMs;
    m_sessions.clear();
    if (!FileExists(path))
        return;
    std::ifstream in(path, std::ios::binary);
    Json::Value root;
    Json::CharReaderBuilder rb;
    std::string errs;
    const int64_t nowWall = WallMs(), nowMono = MonoMs();
    try {
        if (!Json::parseFromStream(rb, in, &root, &errs) || !root.isObject() || !root["sessions"].isArray())
            throw Json::RuntimeError(errs.empty() ? "not a list of sessions" : errs);
        for (const auto& v : root["sessions"]) {
            SimSession s;
            s.token = v["token"].asString();
            s.userId = v["userId"].asInt64();
            s.issuedWallMs = v["issuedMs"].asInt64();
            s.signedOut = v["signedOut"].asBool();
            // The time that passed while we were not running counts, as far as the wall clock
            // can tell (never negative).
            int64_t age = nowWall - s.issuedWallMs;
            s.issuedMonoMs = nowMono - (age > 0 ? age : 0);
            if (!s.token.empty())
                m_sessions[s.token] = s;
        }
    } catch (const Json::Exception& e) {
        SimLog("sessions file %s is damaged (%s); starting without sessions", path.c_str(), e.what());
        m_sessions.clear();
    }
    PruneLocked();
}

void CSimSessions::PruneLocked()
{
    const int64_t now = MonoMs();
    for (auto it = m_sessions.begin(); it != m_sessions.end();)
        it = now - it->second.issuedMonoMs >= m_lifetimeMs ? m_sessions.erase(it) : std::next(it);
}

bool CSimSessions::SaveLocked()
{
    if (m_path.empty())
        return true;
    Json::Value root(Json::objectValue);
    root["sessions"] = Json::arrayValue;
    for (const auto& [token, s] : m_sessions) {
        Json::Value v;
        v["token"] = s.token;
        v["userId"] = Json::Int64(s.userId);
        v["issuedMs"] = Json::Int64(s.issuedWallMs);
        v["signedOut"] = s.signedOut;
        root["sessions"].append(v);
    }
    Json::StreamWriterBuilder wb;
    wb["indentation"] = " ";
    const std::string tmp = m_path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << Json::writeString(wb, root);
        out.flush();
        if (!out)
            return false;
    }
    return RenameReplace(tmp, m_path);
}

std::string CSimSessions::New(int64_t userId)
{
    uint8_t b[16];
    RandomBytes(b, sizeof(b));
    SimSession s;
    s.token = HexOf(b, sizeof(b));
    s.userId = userId;
    s.issuedWallMs = WallMs();
    s.issuedMonoMs = MonoMs();
    std::lock_guard<std::mutex> lock(m_mutex);
    PruneLocked();
    m_sessions[s.token] = s;
    SaveLocked();
    return s.token;
}

std::optional<SimSession> CSimSessions::Find(const std::string& token)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_sessions.find(token);
    if (it == m_sessions.end())
        return std::nullopt;
    if (MonoMs() - it->second.issuedMonoMs >= m_lifetimeMs) {
        m_sessions.erase(it);
        SaveLocked();
        return std::nullopt;
    }
    return it->second;
}

void CSimSessions::SignOutUser(int64_t userId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    PruneLocked();
    for (auto& [t, s] : m_sessions)
        if (s.userId == userId)
            s.signedOut = true;
    SaveLocked();
}

size_t CSimSessions::Count()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    PruneLocked();
    return m_sessions.size();
}

} // namespace vx::sim
