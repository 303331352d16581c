// CTransaction: outermost transactions through CDatabase, nested scopes
// through named savepoints (both engines understand SAVEPOINT, RELEASE and
// ROLLBACK TO).
#include "framework/sql/Transaction.h"

#include "framework/sql/Database.h"

#include <string>

CTransaction::CTransaction(CDatabase& db) : m_db(db)
{
    if (m_db.IsInTransaction()) {
        // Unique per connection while nested scopes are alive: the engines
        // resolve a savepoint name to its innermost holder, but distinct names
        // keep a scope from releasing another's by mistake.
        m_nSavepoint = m_db.TakeSavepointNumber();
        m_strSavepoint = CString("zen_scope_" + std::to_string(m_nSavepoint));
        try {
            m_db.ExecuteSQL(CString("SAVEPOINT " + m_strSavepoint.Str()));
        } catch (...) {
            m_db.GiveBackSavepointNumber(m_nSavepoint);
            throw;
        }
    } else {
        m_db.BeginTrans();
    }
    m_bOpen = true;
}

CTransaction::~CTransaction()
{
    Rollback();
}

void CTransaction::Commit()
{
    if (!m_bOpen)
        return;
    if (IsNested()) {
        m_db.ExecuteSQL(CString("RELEASE SAVEPOINT " + m_strSavepoint.Str()));
        m_db.GiveBackSavepointNumber(m_nSavepoint);
    } else {
        m_db.CommitTrans();
    }
    m_bOpen = false;
}

void CTransaction::Rollback() noexcept
{
    if (!m_bOpen)
        return;
    m_bOpen = false;
    if (IsNested())
        m_db.GiveBackSavepointNumber(m_nSavepoint);
    try {
        if (IsNested()) {
            // ROLLBACK TO keeps the savepoint on the stack; RELEASE removes it
            // so the caller's transaction continues as before this scope.
            if (!m_db.IsInTransaction())
                return;
            m_db.ExecuteSQL(CString("ROLLBACK TO SAVEPOINT " + m_strSavepoint.Str()));
            m_db.ExecuteSQL(CString("RELEASE SAVEPOINT " + m_strSavepoint.Str()));
        } else {
            m_db.Rollback();
        }
    } catch (...) {
        // See the declaration: nothing more can be undone here.
    }
}
