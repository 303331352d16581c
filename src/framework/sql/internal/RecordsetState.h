// The inner state of an open CRecordset and of one field-exchange pass:
// the bound fields, the running statement, the current row, the rows added
// through the recordset, and the copies of the bound variables taken at
// AddNew/Edit.
#pragma once

#include "framework/CByteArray.h"
#include "framework/CString.h"
#include "framework/CTime.h"
#include "framework/sql/FieldExchange.h"
#include "framework/sql/internal/SqlConnection.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <variant>
#include <vector>

class CDatabase;
struct CPreparedSelectText; // RecordsetTextCache.h

// One bound field as DoFieldExchange names it. The list of a recordset class
// is the same at every open, so it is shared (see CRecordsetTextCache) and
// never changed once made; what changes per row is in CRecordsetState.
struct CBoundField {
    CString name;   // as DoFieldExchange names it ("[Samples].[SampleID]")
    CString column; // the column written ("SampleID")
    CFieldExchange::Kind kind;
    int maxLength = 0;
};
using CBoundFieldList = std::vector<CBoundField>;

// Copy of one bound variable: int32 (long, int, BOOL), the bits of a double,
// text, seconds of a CTime, bytes (a byte array's copy: zeros not made yet
// stay so).
using CFieldCopy = std::variant<int32_t, uint64_t, std::string, int64_t, CByteArray>;

struct CRecordsetState {
    CDatabase* database = nullptr;
    CSqlConnection* connection = nullptr;
    UINT openType = 0;
    DWORD options = 0;
    std::shared_ptr<const CBoundFieldList> fieldList; // the bound fields (never null once open)
    const CBoundFieldList& Fields() const { return *fieldList; }
    std::vector<uint8_t> fieldNull; // per field: the column was NULL in the current row
    // Per field: its variable, as DoFieldExchange named it when the
    // recordset was opened. The passes after the open go through these, as
    // columns are bound to their variables once, at the open.
    std::vector<void*> fieldAddresses;

    std::unique_ptr<CSqlStatement> statement; // the query, stepped forward
    std::unique_ptr<CSqlStatement> reselect;  // one row by identity, prepared when needed
    // The statement's text work when it reads one table with the row's
    // identity (rows can be read again), else null.
    std::shared_ptr<const CPreparedSelectText> text;
    std::shared_ptr<const CPreparedSelectText> source; // the text work of the query (never null once open)
    std::vector<int> visible;                 // result position of each visible column
    int rowIdColumn = -1;                     // result position of the row identity
    bool singleTable = false;                 // rows can be written (identity known)
    CString table;

    // Current row: every result column; its identity. While rowInStatement,
    // the row is the query statement's current one and `row` is not filled:
    // the bound variables are read from the engine's values directly, and
    // RowValue copies a column only when asked for it.
    std::vector<CSqlValue> row;
    bool rowInStatement = false;
    CSqlValue scratch; // a column read from the statement, for drivers that lend no values
    std::vector<CSqlValue> spare; // the next row is read here, then swapped with row
    CSqlValue rowId;
    bool hasRow = false;
    bool bof = true;
    bool eof = true;
    bool deleted = false;
    int64_t position = -1;   // ordinal of the current row
    int64_t nextOrdinal = 0; // ordinal the next fetched row gets
    int32_t recordCount = 0; // rows reached so far

    // The query's rows come first, then the rows added through the recordset
    // (by identity), which the query's own walk skips.
    bool scanDone = false;
    size_t nextAppended = 0;
    std::vector<CSqlValue> appended;
    std::set<CSqlValue> addedIds;
    std::set<CSqlValue> editedIds; // changed rows that the walk may meet again

    enum class Mode { None, AddNew, Edit };
    Mode mode = Mode::None;
    std::vector<CFieldCopy> saved;    // variables before AddNew
    // Variables when Edit began; empty after AddNew, whose fields began at
    // their pseudo-nulls.
    std::vector<CFieldCopy> snapshot;
};

// One field-exchange pass over the bound fields (any operation but Name):
// through the variables the open found when it named them, or through
// DoFieldExchange when it found none for every field.
void RunFieldPass(CRecordset& rs, CFieldExchangeContext& ctx, UINT operation);

// Column c of the current row (a result position), copied from the
// statement while the row is still the statement's.
inline const CSqlValue& RowValue(CRecordsetState& st, size_t c)
{
    if (!st.rowInStatement)
        return st.row.at(c);
    st.statement->ReadValue(static_cast<int>(c), st.scratch);
    return st.scratch;
}

// The current row copied out of the statement into `row`, before the
// statement moves on while the row stays current.
inline void KeepRow(CRecordsetState& st)
{
    if (!st.rowInStatement)
        return;
    st.statement->ReadRow(st.statement->GetColumnCount(), st.row);
    st.rowInStatement = false;
}

// What one field-exchange pass reads or fills.
struct CFieldExchangeContext {
    explicit CFieldExchangeContext(CRecordsetState& s) : state(s) {}
    CRecordsetState& state;
    std::vector<CFieldCopy>* buffer = nullptr;      // StoreField, LoadField, MarkForUpdate
    // StoreField and LoadField move texts and byte arrays instead of copying
    // them: for a variable emptied right after it was stored, and for a
    // buffer not read again after it was loaded.
    bool move = false;
    std::vector<CString>* changedColumns = nullptr; // MarkForUpdate
    std::vector<CSqlValue>* changedValues = nullptr;
    const void* target = nullptr; // IsFieldNull
    // Name: the list filled, or (when null) the list compared with; named
    // counts the fields named, differs is set when one is not as expected.
    CBoundFieldList* naming = nullptr;
    const CBoundFieldList* expected = nullptr;
    size_t named = 0;
    bool differs = false;
    bool targetFound = false;
    bool targetNull = false;
};
