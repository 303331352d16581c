// CRecordset: a cursor over the rows of one SELECT statement on a CDatabase,
// with field exchange into bound variables (DoFieldExchange) and row
// changes (AddNew / Edit / Update / Delete) for single-table statements.
// Rows are fetched one at a time as the cursor moves; the result is never
// held in memory as a whole.
#pragma once

#include "framework/CObject.h"
#include "framework/CString.h"
#include "framework/Types.h"
#include "framework/sql/Database.h"
#include "framework/sql/FieldExchange.h"
#include "framework/sql/FieldInfo.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <typeinfo>

struct CRecordsetState; // framework/sql/internal

constexpr UINT AFX_DB_USE_DEFAULT_TYPE = 0xFFFFFFFFu;
constexpr short DEFAULT_FIELD_TYPE = 0;

class CRecordset : public CObject {
    DECLARE_DYNAMIC(CRecordset)
public:
    // Cursor types. All behave alike here: a dynaset-like cursor that reads
    // rows as it moves; forwardOnly refuses moving back.
    enum OpenType : UINT { dynaset = 0, snapshot = 1, forwardOnly = 2, dynamic = 3 };
    // Options of Open. readOnly refuses AddNew/Edit/Delete; appendOnly
    // allows AddNew only.
    enum OpenOptions : DWORD {
        none = 0x0000,
        readOnly = 0x0004,
        appendOnly = 0x0008,
        skipDeletedRecords = 0x0010,
        noDirtyFieldCheck = 0x0020,
        executeDirect = 0x2000,
    };

    // No database work until Open. pDatabase is not owned; without one, Open
    // opens a connection of its own from GetDefaultConnect().
    explicit CRecordset(CDatabase* pDatabase = nullptr);
    // Closes the recordset if it is open.
    ~CRecordset() override;
    CRecordset(const CRecordset&) = delete;
    CRecordset& operator=(const CRecordset&) = delete;

    // Runs the statement and stands on its first row (IsEOF at once when the
    // result is empty). lpszSQL: a SELECT statement, or a table name (then
    // the bound columns of that table are selected), or nullptr for
    // GetDefaultSQL(); m_strFilter and m_strSort, when set, are added as
    // WHERE and ORDER BY. The statement is translated for the engine (see
    // TranslateSql). Statements that read one table (no join, DISTINCT,
    // GROUP BY or UNION) can change rows; others are read-only.
    // Returns TRUE; throws CDBException with the engine's error text (and the
    // statement) when the statement fails, when it holds more than one
    // statement, or when it returns fewer columns than the recordset binds.
    virtual BOOL Open(UINT nOpenType = AFX_DB_USE_DEFAULT_TYPE, const char* lpszSQL = nullptr,
                      DWORD dwOptions = none);
    // Ends the query and releases the engine's statement (and its locks). The
    // recordset may be opened again. Does nothing when not open.
    virtual void Close();
    // Runs the statement again (rows added meanwhile appear in their place).
    virtual BOOL Requery();

    BOOL IsOpen() const;
    // TRUE when there is no current row after the last one (at once after
    // opening an empty result).
    BOOL IsEOF() const;
    // TRUE when there is no current row before the first one (also at once
    // after opening an empty result).
    BOOL IsBOF() const;
    // TRUE when the current row was deleted through this recordset.
    BOOL IsDeleted() const;

    // Moves. MoveNext at IsEOF and MovePrev at IsBOF throw CDBException
    // (AFX_SQL_ERROR_NO_DATA_FOUND). MoveFirst and MoveLast on an empty
    // result change nothing. MovePrev and MoveFirst run the statement again
    // and walk to the row (cost grows with the position). MoveLast walks to
    // the end; rows added through this recordset come after the statement's
    // rows, so MoveLast after AddNew/Update stands on the row just added.
    void MoveNext();
    void MovePrev();
    void MoveFirst();
    void MoveLast();

    // Starts a new row: every bound variable is set to its pseudo-null (see
    // FieldExchange.h). Throws CDBException when the recordset cannot change rows.
    virtual void AddNew();
    // Starts changing the current row. Throws CDBException when there is no
    // current row or the recordset cannot change rows.
    virtual void Edit();
    // Writes the new or changed row: the columns whose bound variables differ
    // from their values at AddNew/Edit. Returns TRUE when a row was written,
    // FALSE when Edit changed no variable. After an AddNew the variables show
    // the row that was current before it again; after an Edit they show the
    // changed row as stored. Throws CDBException when the engine refuses the
    // write, when a text is longer than its column's declared length or holds
    // a NUL byte (nothing is written; AddNew/Edit stays in force), when there
    // was no AddNew/Edit, or when the edited row is gone.
    virtual BOOL Update();
    // After the Update of a row added with AddNew: true, with key set to the
    // value the engine gave the row's column keyColumn (a plain column name),
    // when the engine tells it without reading the row; false otherwise (or
    // when the value is no 32-bit number): MoveLast then shows the row.
    bool GetAddedKey(const char* keyColumn, int32_t& key) const;
    // Deletes the current row (which stays current, IsDeleted, until the next
    // move). Throws CDBException when there is no current row (also on an
    // empty result) or the recordset cannot change rows.
    virtual void Delete();
    // Abandons AddNew/Edit; the bound variables get back their values from
    // before it.
    virtual void CancelUpdate();

    // Number of rows the cursor has reached so far (all of them after MoveLast).
    int32_t GetRecordCount() const;

    // Number of result columns, and their descriptions (index 0-based).
    // GetODBCFieldInfo throws CDBException for an index or name out of range.
    short GetODBCFieldCount() const;
    void GetODBCFieldInfo(short nIndex, CODBCFieldInfo& fieldinfo) const;
    void GetODBCFieldInfo(const char* lpszName, CODBCFieldInfo& fieldinfo) const;

    // One column of the current row, by name (case-blind) or position, in the
    // kind of the column's declared type (see CDBVariant). The whole stored
    // value is returned (no 255-character cut). Throws CDBException when
    // there is no current row or no such column. nFieldType is ignored.
    void GetFieldValue(const char* lpszName, CDBVariant& varValue,
                       short nFieldType = DEFAULT_FIELD_TYPE) const;
    void GetFieldValue(short nIndex, CDBVariant& varValue, short nFieldType = DEFAULT_FIELD_TYPE) const;
    // The same as text (numbers formatted, dates as "YYYY-MM-DD HH:MM:SS",
    // NULL as "").
    void GetFieldValue(const char* lpszName, CString& strValue) const;

    // TRUE when the bound variable's column was NULL in the current row (or
    // the variable is still at its pseudo-null after AddNew). pv: the address
    // of a bound variable; nullptr asks whether any field is NULL.
    BOOL IsFieldNull(const void* pv);

    // The statement as run, before its translation for the engine: the SQL
    // given to Open (or GetDefaultSQL()) with m_strFilter and m_strSort added.
    const CString& GetSQL() const { return m_strSQL; }
    // The single table the statement reads; empty for other statements.
    const CString& GetTableName() const { return m_strTableName; }

    // TRUE when the open recordset can change rows (single table, not
    // readOnly, connection writable).
    BOOL CanUpdate() const;
    BOOL CanAppend() const;
    BOOL CanScroll() const;
    BOOL CanTransact() const;

    virtual CString GetDefaultConnect();
    virtual CString GetDefaultSQL();
    virtual void DoFieldExchange(CFieldExchange* pFX);

    // A recordset class's promise that its DoFieldExchange always names the
    // same columns, of the same kinds and lengths, each bound to a member of
    // the object itself (within its `size` bytes). Its opens then bind each
    // column at the offset found at the class's first open on the
    // connection instead of running DoFieldExchange to name the fields
    // again. Only the class named by `type` promises: a class derived from
    // it (which may exchange other fields) is named at every open, unless it
    // promises itself. A field found outside the object voids the promise.
    struct CFixedFieldExchange {
        const std::type_info* type = nullptr; // nullptr: no promise (the default)
        size_t size = 0;
    };
    virtual CFixedFieldExchange GetFixedFieldExchange() const { return {}; }
    // The promise for the class T of the caller: GetFixedFieldExchange()
    // overridden in T as `return FixedFieldExchangeOf(*this);`.
    template <class T>
    static CFixedFieldExchange FixedFieldExchangeOf(const T&)
    {
        return {&typeid(T), sizeof(T)};
    }

    CDatabase* m_pDatabase;
    CString m_strFilter;
    CString m_strSort;
    // Number of bound columns: DoFieldExchange must name exactly this many
    // (checked by Open when it is not 0).
    UINT m_nFields = 0;
    UINT m_nParams = 0;
    UINT m_nDefaultType = snapshot;

private:
    friend class CFieldExchange;
    void CloseCursor() noexcept;

    std::unique_ptr<CRecordsetState> m_pState;
    std::unique_ptr<CDatabase> m_pOwnDatabase;
    CString m_strSQL;
    CString m_strTableName;
};
