// Engine driver interface, part 2: one prepared statement and its cursor.
// Implemented per engine (SqliteStatement.h); failures are thrown as
// CDBException carrying the engine's text and the statement.
#pragma once

#include "framework/CString.h"
#include "framework/sql/FieldInfo.h"
#include "framework/sql/internal/SqlValue.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A column of the current row as the engine holds it: the kind, the number,
// or the bytes of a text or blob (data may be null when size is 0). Lent by
// the engine: valid until the statement steps, is reset or destroyed.
struct CSqlValueView {
    CSqlValue::Type type = CSqlValue::Type::Null;
    int64_t integer = 0;
    double real = 0.0;
    const char* data = nullptr;
    size_t size = 0;
};

class CSqlStatement {
public:
    virtual ~CSqlStatement() = default;

    // Result columns (all of them, internal "__zen_" columns included).
    virtual int GetColumnCount() const = 0;
    virtual CString GetColumnName(int column) const = 0;
    // The same as the engine holds it, without a copy, valid until the
    // statement is stepped, reset or destroyed; nullptr when the driver does
    // not lend its names (the caller then asks GetColumnName).
    virtual const char* PeekColumnName(int /*column*/) const { return nullptr; }
    // Name, ODBC type, precision, scale and nullability of a result column,
    // from its declared type (or, for an expression, the current value).
    virtual CODBCFieldInfo DescribeColumn(int column) const = 0;

    // Sets parameter index (1-based); the statement must be reset. A text
    // holding a NUL byte is refused (CDBException).
    virtual void Bind(int index, const CSqlValue& value) = 0;
    // Advances to the next row: true when there is one, false at the end (the
    // engine's read lock is then released).
    virtual bool Step() = 0;
    // Value of a column of the current row.
    virtual CSqlValue GetValue(int column) const = 0;
    // The same into an existing value, reusing its text or blob storage.
    virtual void ReadValue(int column, CSqlValue& into) const { into = GetValue(column); }
    // The first `columns` columns of the current row into out (resized to
    // columns), reusing the text and blob storage out already holds.
    virtual void ReadRow(int columns, std::vector<CSqlValue>& out) const
    {
        out.resize(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c)
            ReadValue(c, out[static_cast<size_t>(c)]);
    }
    // The same without a copy, for a reader that copies the value once into
    // its own variable. False when the driver does not lend its values (the
    // caller then reads with ReadValue); out is then untouched.
    virtual bool PeekValue(int /*column*/, CSqlValueView& /*out*/) const { return false; }
    // Back to before the first row, parameters kept; releases the engine's
    // read lock. Never fails.
    virtual void Reset() noexcept = 0;
    // The statement as the caller wrote it, for error texts.
    virtual const CString& GetShownSql() const = 0;
    // What identifies the statement's result columns as they are now: two
    // answers that are the same describe the same columns (count, names). For
    // a reader that looks at the names of a statement it runs again and
    // again. False when the driver cannot tell (the names are then read).
    virtual bool GetColumnsStamp(uint64_t& /*preparation*/, uint64_t& /*version*/) const { return false; }
};
