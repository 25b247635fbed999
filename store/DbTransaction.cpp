#include "store/DbTransaction.h"

#include "store/LocalDb.h"

namespace vx {

CDbTransaction::CDbTransaction(CLocalDb& db) : m_db(db)
{
    m_bStarted = m_db.Begin();
}

CDbTransaction::~CDbTransaction()
{
    if (m_bStarted && !m_bDone)
        m_db.Rollback();
}

bool CDbTransaction::Commit()
{
    if (!m_bStarted || m_bDone)
        return false;
    m_bDone = true;
    if (m_db.Commit())
        return true;
    m_db.Rollback();
    return false;
}

} // namespace vx
