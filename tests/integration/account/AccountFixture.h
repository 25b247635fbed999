#pragma once
// Shared set-up of the account tests: a real database file in a private folder, the language
// texts beside a Config.ini, a message loop of the test's own and a stand-in main window that
// records what it is sent.

#include "app/AppConfig.h"
#include "common/TestUtil.h"
#include "platform/MessageLoop.h"
#include "platform/Paths.h"
#include "platform/SecretStore.h"
#include "store/LocalDb.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <sqlite3.h>
#include <string>
#include <thread>
#include <vector>

namespace vx::test {

class CMainWndRecorder : public IMsgHandler
{
public:
    explicit CMainWndRecorder(CMessageLoop& loop) : m_loop(loop), m_target(loop.Register(this)) {}
    ~CMainWndRecorder() override { m_loop.Unregister(m_target); }
    void OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload>) override
    {
        ids.push_back(id);
        params.push_back(wParam);
    }
    MsgTarget Target() const { return m_target; }
    int Count(uint32_t id) const
    {
        int n = 0;
        for (uint32_t i : ids)
            n += i == id;
        return n;
    }
    std::vector<uint32_t> ids;
    std::vector<uint64_t> params;

private:
    CMessageLoop& m_loop;
    MsgTarget m_target;
};

// A keyring that takes its time (an unlock prompt nobody has answered yet) and may refuse (the
// prompt was dismissed). The real one cannot be made to prompt here.
class CPromptingSecrets : public ISecretStore
{
public:
    bool Available() override { return true; }
    bool Store(const std::string& account, const std::string& secret) override
    {
        Wait();
        std::lock_guard<std::mutex> lock(m_mutex);
        if (refuse) {
            m_error = "the unlock prompt was dismissed";
            return false;
        }
        m_kept[account] = secret;
        return true;
    }
    bool Lookup(const std::string& account, std::string* secret) override
    {
        Wait();
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_kept.find(account);
        if (it == m_kept.end())
            return false;
        *secret = it->second;
        return true;
    }
    bool Remove(const std::string& account) override
    {
        Wait();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_kept.erase(account);
        return true;
    }
    const std::string& LastError() const override { return m_error; }
    void Put(const std::string& account, const std::string& secret)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_kept[account] = secret;
    }
    std::string Kept(const std::string& account)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_kept.count(account) ? m_kept[account] : std::string();
    }

    std::atomic<int> delayMs{0};
    std::atomic<bool> refuse{false};

private:
    void Wait() { std::this_thread::sleep_for(std::chrono::milliseconds(delayMs.load())); }
    std::mutex m_mutex;
    std::map<std::string, std::string> m_kept;
    std::string m_error;
};

// Copies the shipped language texts beside a Config.ini in folder.
inline void CopyLanguage(const std::string& folder)
{
    vx::MakeDirs(folder + "Language");
    WriteFile(folder + "Language/SimpleChinese",
              ReadFile(std::string(VX_SOURCE_DIR) + "/resources/Language/SimpleChinese"));
}

// One text column of one row, read with a connection of its own (what another program sees).
inline std::string RawColumn(const std::string& dbPath, const std::string& sql)
{
    sqlite3* db = nullptr;
    std::string value = "<no row>";
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW) {
            const unsigned char* t = sqlite3_column_text(st, 0);
            value = t ? reinterpret_cast<const char*>(t) : "";
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return value;
}

} // namespace vx::test
