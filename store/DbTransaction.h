#pragma once
// One batch of CLocalDb: begins at construction, rolls back unless Commit succeeded.

namespace vx {

class CLocalDb;

class CDbTransaction
{
public:
    explicit CDbTransaction(CLocalDb& db);
    ~CDbTransaction();
    CDbTransaction(const CDbTransaction&) = delete;
    CDbTransaction& operator=(const CDbTransaction&) = delete;

    // False when the batch could not begin (another connection held the file past the busy
    // time-out, or the database is not open).
    bool Started() const { return m_bStarted; }
    // True when everything is stored; on failure the batch is rolled back.
    bool Commit();

private:
    CLocalDb& m_db;
    bool m_bStarted = false;
    bool m_bDone = false;
};

} // namespace vx
