// The CDBException of the SQL layer.
#include "framework/sql/internal/SqlErrors.h"

#include "framework/sql/FieldInfo.h"
#include "framework/sql/internal/SqlColumnTypes.h"
#include "framework/sql/internal/SqlConvert.h"

CDBException MakeSqlException(int retCode, const CString& reason, const CString& sql, const CString& state)
{
    CString text = reason;
    if (!sql.IsEmpty())
        text += CString("\nStatement: ") + sql;
    CDBException e(text, retCode, sql);
    e.m_strStateNativeOrigin = state.IsEmpty() ? CString("State:HY000,Native:0,Origin:SQL layer") : state;
    return e;
}

void ThrowSqlLayerError(int retCode, const CString& reason, const CString& sql)
{
    throw MakeSqlException(retCode, reason, sql);
}

void RefuseNulInText(const CSqlValue& value, const CString& what, const CString& shown)
{
    if (value.GetType() != CSqlValue::Type::Text)
        return;
    const std::string& text = value.GetText();
    const size_t nul = text.find('\0');
    if (nul == std::string::npos)
        return;
    CString reason;
    reason.Format("The text for %s holds a NUL byte (after %d characters), which cannot be stored: the text would "
                  "be found only up to it.",
                  what.GetString(), static_cast<int>(CountCharacters(text.substr(0, nul))));
    throw MakeSqlException(SQL_ERROR, reason, shown, "State:22000,Native:0,Origin:SQL layer");
}

void RefuseTextLongerThanColumn(const CSqlValue& value, const std::string& declared, const CString& what,
                                const CString& shown)
{
    if (value.GetType() != CSqlValue::Type::Text || declared.empty())
        return;
    const int limit = DeclaredTextLength(declared);
    // No more bytes than characters allowed: short enough without counting.
    if (limit < 0 || value.GetText().size() <= static_cast<size_t>(limit))
        return;
    const size_t characters = CountCharacters(value.GetText());
    if (characters <= static_cast<size_t>(limit))
        return;
    CString reason;
    reason.Format("The text for %s is %d characters long; the column holds at most %d (%s).", what.GetString(),
                  static_cast<int>(characters), limit, declared.c_str());
    throw MakeSqlException(SQL_ERROR, reason, shown, "State:22001,Native:0,Origin:SQL layer");
}

bool TextFitsColumn(const CSqlValue& value, const std::string& declared)
{
    if (value.GetType() != CSqlValue::Type::Text)
        return true;
    return TextFitsColumn(value, declared.empty() ? -1 : DeclaredTextLength(declared));
}

bool TextFitsColumn(const CSqlValue& value, int declaredLength)
{
    if (value.GetType() != CSqlValue::Type::Text)
        return true;
    const std::string& text = value.GetText();
    if (text.find('\0') != std::string::npos)
        return false;
    return declaredLength < 0 || text.size() <= static_cast<size_t>(declaredLength) ||
           CountCharacters(text) <= static_cast<size_t>(declaredLength);
}

CString LockWaitReason(const CString& engineText, int busyTimeoutMs)
{
    CString reason = engineText;
    reason.AppendFormat(": another connection kept the database locked for longer than the wait of %d ms",
                        busyTimeoutMs);
    return reason;
}
