// Steps that every persistent record repeats on its table's recordset: open a
// statement as a dynaset, reach a row by its key, insert or update, mark or
// delete rows, list child rows, and show a database error to the operator.
#pragma once

#include "databaseobjects/AuditTrail.h"
#include "framework/CObList.h"
#include "framework/CString.h"
#include "framework/Exceptions.h"
#include "framework/UIHost.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/Transaction.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace zendb_ops {

// The engine's error text in a modal message box (default style).
inline void ShowDatabaseError(const CDBException& e)
{
    AfxMessageBox(e.m_strError.GetString());
}

// Opens rs as a dynaset on sql, no options. The framework raises CDBException
// for a statement that fails; FALSE means the engine refused without an error.
inline BOOL OpenDynaset(CRecordset& rs, const CString& sql)
{
    return rs.Open(CRecordset::dynaset, sql.GetString(), CRecordset::none);
}

// "<default SQL> <key filter>": the statement that reaches one row by its key.
template <class TSet, class TKey>
CString KeySql(TSet& rs, const TKey& key)
{
    CString sql = rs.GetDefaultSQL();
    sql += " ";
    sql += rs.GetWhereSQL(key);
    return sql;
}

// How a save or deletion of a record appears in the audit trail: its kind,
// the table and key column to compare the stored row by, the identifier a
// person knows it by, the text of an insert entry, and columns left out of
// the comparison.
struct CAuditTarget {
    const char* kind;
    const char* table;
    const char* keyColumn;
    CString identifier;
    CString insertText;
    std::vector<CString> skip;
};

// "SELECT * FROM <table> WHERE [<key column>] = <key>": the stored row that
// the audit trail compares.
inline CString AuditRowSql(const CAuditTarget& target, int32_t key)
{
    CString sql;
    sql.Format("SELECT * FROM %s WHERE [%s] = %d", target.table, target.keyColumn, static_cast<int>(key));
    return sql;
}

// Insert-or-update of a record whose key the database assigns (auto-number):
// the row is updated when the record's key is positive and the key filter
// finds it; otherwise a new row is added with the key column left to the
// database, and the new key is read back into the record. With an audit
// target (and a trail in the file) the write and its audit entries form one
// transaction: one entry for an insert, one per changed column for an update.
// false: no connection, the open was refused, or a database error (shown).
template <class TSet, class TRecord>
bool SaveByKey(TRecord& record, TRecord TSet::*bound, int32_t TRecord::*key,
               const CAuditTarget* audit = nullptr)
{
    if (record.Database == nullptr)
        return false;
    try {
        const bool audited = audit != nullptr && zenaudit::IsActive(record.Database);
        // Before the recordset, so that the recordset is closed before a rollback.
        std::optional<CTransaction> transaction;
        if (audited)
            transaction.emplace(*record.Database);
        TSet rs(record.Database);
        if (!OpenDynaset(rs, KeySql(rs, record.*key)))
            return false;
        TRecord& row = rs.*bound;
        if (record.*key > 0 && !rs.IsEOF()) {
            const CAuditRow before =
                audited ? zenaudit::ReadRow(*record.Database, AuditRowSql(*audit, record.*key)) : CAuditRow();
            rs.Edit();
            row.KeepKey = false;
            row = record;
            rs.Update();
            if (audited) {
                std::vector<CString> skip = audit->skip;
                skip.emplace_back(audit->keyColumn);
                zenaudit::Write(record.Database,
                                zenaudit::Changes(audit->kind, record.*key, audit->identifier, before,
                                                  zenaudit::ReadRow(*record.Database, AuditRowSql(*audit, record.*key)),
                                                  skip));
            }
        } else {
            rs.AddNew();
            // The row's key stays as AddNew left it, so it is not written.
            row.KeepKey = true;
            row = record;
            rs.Update();
            // Rows added through the recordset come after the statement's rows.
            rs.MoveLast();
            if (rs.IsEOF())
                return false;
            record.*key = row.*key;
            if (audited)
                zenaudit::Write(record.Database, zenaudit::kInsert, audit->kind, record.*key, audit->identifier,
                                CString(), CString(), audit->insertText);
        }
        rs.Close();
        if (transaction)
            transaction->Commit();
        return true;
    } catch (CDBException& e) {
        ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}

// Replaces the record's content with the row of the given key. The record
// keeps its own connection from then on (KeepConnection). false, with the
// record unchanged, when there is no such row or no connection; after a
// database error (shown) false unless the row had already been copied in.
template <class TSet, class TRecord>
bool LoadByKey(TRecord& record, TRecord TSet::*bound, int32_t TRecord::*key, int32_t id)
{
    if (record.Database == nullptr)
        return false;
    bool loaded = false;
    try {
        TSet rs(record.Database);
        if (OpenDynaset(rs, KeySql(rs, id)) && !rs.IsEOF()) {
            record.KeepConnection = true;
            record = rs.*bound;
            record.*key = id;
            loaded = true;
        }
        rs.Close();
    } catch (CDBException& e) {
        ShowDatabaseError(e);
        e.Delete();
    }
    return loaded;
}

// Sets the Deleted mark of the row that the key filter finds; true when a row
// was marked. The record itself is not changed.
// With an audit target the mark and its deletion entry form one transaction.
template <class TSet, class TRecord>
bool MarkDeletedByKey(TRecord& record, TRecord TSet::*bound, int32_t key, const CAuditTarget* audit = nullptr)
{
    if (record.Database == nullptr)
        return false;
    try {
        std::optional<CTransaction> transaction;
        if (audit != nullptr && zenaudit::IsActive(record.Database))
            transaction.emplace(*record.Database);
        TSet rs(record.Database);
        bool marked = false;
        if (OpenDynaset(rs, KeySql(rs, key)) && !rs.IsEOF()) {
            rs.Edit();
            (rs.*bound).Deleted = TRUE;
            rs.Update();
            marked = true;
        }
        rs.Close();
        if (marked && transaction)
            zenaudit::Write(record.Database, zenaudit::kDelete, audit->kind, key, audit->identifier);
        if (transaction)
            transaction->Commit();
        return marked;
    } catch (CDBException& e) {
        ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}

// Deletes every row of sql on the caller's transaction; false when the open
// was refused without an error. Database errors pass to the caller.
inline bool DeleteEveryRow(CRecordset& rs, const CString& sql)
{
    if (!OpenDynaset(rs, sql))
        return false;
    while (!rs.IsEOF()) {
        rs.Delete();
        rs.MoveNext();
    }
    rs.Close();
    return true;
}

// Deletes every row of sql, all or none: in a transaction of its own, or in
// the caller's through a savepoint. false: no connection, open refused, or a
// database error (shown); the rows are then all still there.
template <class TSet>
bool DeleteAllRows(CDatabase* database, const CString& sql)
{
    if (database == nullptr)
        return false;
    try {
        CTransaction transaction(*database);
        TSet rs(database);
        if (!DeleteEveryRow(rs, sql))
            return false;
        transaction.Commit();
        return true;
    } catch (CDBException& e) {
        ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}

// Appends to `records` a new record on `database` for every row of sql, in
// the statement's order; the caller owns them. keepConnection: the new
// records keep their connection through the copy (set before it); otherwise
// the connection is set again after it. false: no connection, open refused,
// or a database error (shown; records appended before it stay in the list).
template <class TSet, class TRecord>
bool ListRows(CDatabase* database, const CString& sql, TRecord TSet::*bound, CObList& records,
              bool keepConnection)
{
    if (database == nullptr)
        return false;
    try {
        TSet rs(database);
        if (!OpenDynaset(rs, sql))
            return false;
        while (!rs.IsEOF()) {
            auto record = std::make_unique<TRecord>(database);
            record->KeepConnection = keepConnection;
            *record = rs.*bound;
            record->Database = database;
            records.AddTail(record.release());
            rs.MoveNext();
        }
        rs.Close();
        return true;
    } catch (CDBException& e) {
        ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}

} // namespace zendb_ops
