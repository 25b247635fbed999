#pragma once
// Shared set-up of the account tests: a real database file in a private folder, the language
// texts beside a Config.ini, a message loop of the test's own and a stand-in main window that
// records what it is sent.

#include "app/AppConfig.h"
#include "common/TestUtil.h"
#include "platform/MessageLoop.h"
#include "platform/Paths.h"
#include "store/LocalDb.h"

#include <gtest/gtest.h>

#include <memory>
#include <sqlite3.h>
#include <string>
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
