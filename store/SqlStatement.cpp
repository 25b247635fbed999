#include "store/SqlStatement.h"

#include <sqlite3.h>

namespace vx {

CSqlStatement::~CSqlStatement()
{
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
}

CSqlStatement& CSqlStatement::Bind(int64_t v)
{
    if (m_stmt)
        sqlite3_bind_int64(m_stmt, m_next, v);
    ++m_next;
    return *this;
}

CSqlStatement& CSqlStatement::Bind(const std::string& v)
{
    if (m_stmt)
        sqlite3_bind_text(m_stmt, m_next, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    ++m_next;
    return *this;
}

bool CSqlStatement::Run()
{
    if (!m_stmt)
        return false;
    int rc;
    while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW) {
    }
    return rc == SQLITE_DONE;
}

int CSqlStatement::Next()
{
    if (!m_stmt)
        return -1;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return 1;
    return rc == SQLITE_DONE ? 0 : -1;
}

int64_t CSqlStatement::Int64(int col) const
{
    // Older versions wrote every number as quoted text; affinity turned it into an integer, but a
    // value in a column without one (or a non-number) reads the way atoll would read it.
    if (sqlite3_column_type(m_stmt, col) == SQLITE_TEXT) {
        const char* t = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
        return t ? std::strtoll(t, nullptr, 10) : 0;
    }
    return sqlite3_column_int64(m_stmt, col);
}

std::string CSqlStatement::Text(int col) const
{
    const unsigned char* t = sqlite3_column_text(m_stmt, col);
    if (!t)
        return {};
    return std::string(reinterpret_cast<const char*>(t),
                       static_cast<size_t>(sqlite3_column_bytes(m_stmt, col)));
}

} // namespace vx
