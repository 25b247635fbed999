#pragma once
// A borrowed prepared statement of CLocalDb's cache. Bind values by position (1-based, in the
// order of the '?' marks), step through rows, and the statement is reset for its next use when
// this object goes away.

#include <cstdint>
#include <string>

struct sqlite3_stmt;

namespace vx {

class CSqlStatement
{
public:
    explicit CSqlStatement(sqlite3_stmt* stmt) : m_stmt(stmt) {}
    ~CSqlStatement();
    CSqlStatement(CSqlStatement&& other) noexcept : m_stmt(other.m_stmt), m_next(other.m_next)
    {
        other.m_stmt = nullptr;
    }
    CSqlStatement(const CSqlStatement&) = delete;
    CSqlStatement& operator=(const CSqlStatement&) = delete;
    CSqlStatement& operator=(CSqlStatement&&) = delete;

    bool Valid() const { return m_stmt != nullptr; }

    CSqlStatement& Bind(int64_t v);
    CSqlStatement& Bind(int v) { return Bind(static_cast<int64_t>(v)); }
    CSqlStatement& Bind(bool v) { return Bind(static_cast<int64_t>(v ? 1 : 0)); }
    CSqlStatement& Bind(const std::string& v);
    CSqlStatement& Bind(const char* v) { return Bind(std::string(v)); }
    template <typename... T> CSqlStatement& BindAll(const T&... v)
    {
        (Bind(v), ...);
        return *this;
    }

    // Runs a statement that returns no rows; true when it completed.
    bool Run();
    // The next row: 1 row ready, 0 no more rows, -1 failure.
    int Next();

    int64_t Int64(int col) const;
    int Int(int col) const { return static_cast<int>(Int64(col)); }
    std::string Text(int col) const;

private:
    sqlite3_stmt* m_stmt;
    int m_next = 1;
};

} // namespace vx
