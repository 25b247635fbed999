#pragma once
// A private data folder with open logs per test, and a second, raw SQLite connection to look at
// what CLocalDb really stored.

#include "app/LogFile.h"
#include "common/TestUtil.h"
#include "platform/Paths.h"
#include "store/LocalDb.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace vx::test {

class StoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetDataFolderCache();
        OpenLogs();
        m_dbPath = m_data.Path() + "DB/vexora_v2.0.db";
    }
    void TearDown() override
    {
        CloseLogs();
        ResetDataFolderCache();
    }

    std::string LogText() const { return ReadFile(m_data.Path() + "Log/log.txt"); }

    // Runs sql on its own connection; the text of the first column of every row, joined by '|'.
    static std::string Raw(const std::string& path, const std::string& sql)
    {
        sqlite3* db = nullptr;
        std::string out;
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK) {
            sqlite3_close(db);
            return "<open failed>";
        }
        sqlite3_busy_timeout(db, 5000);
        char* err = nullptr;
        auto cb = [](void* o, int, char** v, char**) {
            auto* s = static_cast<std::string*>(o);
            if (!s->empty())
                *s += "|";
            *s += v[0] ? v[0] : "NULL";
            return 0;
        };
        if (sqlite3_exec(db, sql.c_str(), cb, &out, &err) != SQLITE_OK) {
            out = std::string("<error: ") + (err ? err : "?") + ">";
            sqlite3_free(err);
        }
        sqlite3_close(db);
        return out;
    }
    std::string Raw(const std::string& sql) const { return Raw(m_dbPath, sql); }

    CScopedDataDir m_data;
    std::string m_dbPath;
};

} // namespace vx::test
