// CTransaction: the one guard through which the library brackets its writes.
// It begins a write transaction, or joins the caller's through a savepoint,
// and rolls back on every path that does not reach Commit, so no exception
// can leave the connection (and the file's write lock) inside a transaction.
#pragma once

#include "framework/CString.h"

class CDatabase;

class CTransaction {
public:
    // Outside a transaction: BEGIN IMMEDIATE (the write lock at once, waiting
    // up to the query timeout). Inside the caller's transaction: a savepoint,
    // so that Rollback undoes this scope's work only and Commit leaves the
    // final commit to the caller. Throws CDBException when neither can begin.
    explicit CTransaction(CDatabase& db);
    // Rolls back what was not committed; never throws.
    ~CTransaction();
    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;

    // Commits (or releases the savepoint). Throws CDBException on failure;
    // the guard then still rolls back on destruction.
    void Commit();
    // Undoes the scope's work now; a no-op once committed or rolled back.
    // Never throws: a connection that cannot roll back has already lost the
    // transaction (the engine rolled it back itself), which is the result
    // wanted here.
    void Rollback() noexcept;

    // True when this guard joined a transaction its caller began.
    bool IsNested() const { return !m_strSavepoint.IsEmpty(); }
    // True until Commit or Rollback.
    bool IsOpen() const { return m_bOpen; }

private:
    CDatabase& m_db;
    CString m_strSavepoint; // empty for an outermost transaction
    unsigned m_nSavepoint = 0; // the number in its name, held from the database while open
    bool m_bOpen = false;
};
