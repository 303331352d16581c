// Field exchange: what each pass does with one bound variable of each kind
// (read the row into it, set it to its pseudo-null, copy it, compare it with
// its copy and turn it into the value to write).
#include "framework/sql/FieldExchange.h"

#include "framework/sql/Recordset.h"
#include "framework/sql/SqlText.h"
#include "framework/sql/internal/RecordsetState.h"
#include "framework/sql/internal/SqlConvert.h"
#include "framework/sql/internal/SqlDates.h"
#include "framework/sql/internal/SqlErrors.h"
#include "framework/sql/internal/SqlTokens.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

using Kind = CFieldExchange::Kind;

uint64_t DoubleBits(double d)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

double BitsDouble(uint64_t bits)
{
    double d = 0.0;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

const double kDoublePseudoNull = std::numeric_limits<double>::quiet_NaN();

// The column a field writes: the last name of "[Table].[Column]".
CString ColumnOf(const char* name)
{
    // The usual spellings "[Column]" and "[Table].[Column]" without a split.
    const std::string_view text(name ? name : "");
    const size_t open = text.size() >= 2 && text.back() == ']' ? text.rfind('[') : std::string_view::npos;
    if (open != std::string_view::npos) {
        const std::string_view inner = text.substr(open + 1, text.size() - open - 2);
        const std::string_view head = text.substr(0, open);
        const bool plainHead =
            head.empty() || (head.size() >= 3 && head.front() == '[' && head.substr(head.size() - 2) == "]." &&
                             head.find_first_of("[]", 1) == head.size() - 2);
        if (inner.find_first_of("[]") == std::string_view::npos && plainHead)
            return CString(inner);
    }
    const CSqlTokens tokens = TokenizeSql(name ? name : "");
    for (auto it = tokens.rbegin(); it != tokens.rend(); ++it)
        if (it->kind == SqlTokenKind::BracketName || it->kind == SqlTokenKind::QuotedName ||
            it->kind == SqlTokenKind::Word)
            return CString(TokenName(*it));
    return CString(name ? name : "");
}

// Whether name (up to its NUL) is text, in one pass over both: strncmp
// stops at name's NUL, so name is never read beyond it.
inline bool SameName(const std::string& text, const char* name)
{
    return std::strncmp(text.c_str(), name, text.size()) == 0 && name[text.size()] == '\0';
}

[[noreturn]] void BadValue(const CBoundField& field, const CSqlValue& value, const char* what)
{
    CString reason;
    reason.Format("The value '%s' of column %s %s.", CutToCharacters(SqlValueToText(value), 64).c_str(),
                  field.name.GetString(), what);
    ThrowSqlLayerError(SQL_ERROR, reason);
}

int32_t ReadInt32(const CBoundField& field, const CSqlValue& value)
{
    if (value.GetType() == CSqlValue::Type::Integer && value.GetInteger() >= INT32_MIN &&
        value.GetInteger() <= INT32_MAX)
        return static_cast<int32_t>(value.GetInteger());
    int64_t v = 0;
    if (!SqlValueToInt64(value, v))
        BadValue(field, value, "is not a number");
    if (v < INT32_MIN || v > INT32_MAX)
        BadValue(field, value, "does not fit a 32-bit integer");
    return static_cast<int32_t>(v);
}

void ReadInto(const CBoundField& field, const CSqlValue& value, void* p)
{
    switch (field.kind) {
    case Kind::Long: *static_cast<int32_t*>(p) = ReadInt32(field, value); break;
    case Kind::Int: *static_cast<int*>(p) = ReadInt32(field, value); break;
    case Kind::Bool: {
        int64_t v = 0;
        if (!SqlValueToInt64(value, v))
            BadValue(field, value, "is not a flag");
        *static_cast<BOOL*>(p) = v != 0 ? TRUE : FALSE;
        break;
    }
    case Kind::Double: *static_cast<double*>(p) = SqlValueToDouble(value); break;
    case Kind::Text: {
        std::string& target = static_cast<CString*>(p)->StdString();
        if (value.GetType() != CSqlValue::Type::Text)
            target = CutToCharacters(SqlValueToText(value), field.maxLength);
        else if (field.maxLength <= 0 || value.GetText().size() <= static_cast<size_t>(field.maxLength))
            target.assign(value.GetText()); // no more characters than bytes: nothing to cut
        else
            target = CutToCharacters(value.GetText(), field.maxLength);
        break;
    }
    case Kind::Date: {
        CTime& t = *static_cast<CTime*>(p);
        if (value.IsNull()) {
            t = CTime(0);
            break;
        }
        CDateParts parts;
        if (value.GetType() != CSqlValue::Type::Text || !ParseStoredDateTime(value.GetText(), parts))
            BadValue(field, value, "is not a date");
        t = CTime(parts.year, parts.month, parts.day, parts.hour, parts.minute, parts.second);
        break;
    }
    case Kind::Binary: {
        std::vector<uint8_t>& target = static_cast<CByteArray*>(p)->Refill();
        if (value.GetType() == CSqlValue::Type::Blob) {
            const std::vector<uint8_t>& bytes = value.GetBlob();
            const size_t n = field.maxLength > 0 ? std::min(bytes.size(), static_cast<size_t>(field.maxLength))
                                                 : bytes.size();
            target.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
            break;
        }
        std::vector<uint8_t> bytes = SqlValueToBytes(value);
        if (field.maxLength > 0 && bytes.size() > static_cast<size_t>(field.maxLength))
            bytes.resize(static_cast<size_t>(field.maxLength));
        target = std::move(bytes);
        break;
    }
    }
}

// The unusual pairs of ReadViewInto through a CSqlValue and ReadInto. Kept out
// of line: the per-column path of a row read stays small.
[[gnu::noinline]] void ReadViewThroughValue(const CBoundField& field, const CSqlValueView& v, void* p)
{
    using Type = CSqlValue::Type;
    CSqlValue value;
    switch (v.type) {
    case Type::Null: break;
    case Type::Integer: value.SetInteger(v.integer); break;
    case Type::Real: value.SetReal(v.real); break;
    case Type::Text: value.SetText(v.data, v.size); break;
    case Type::Blob: value.SetBlob(reinterpret_cast<const uint8_t*>(v.data), v.size); break;
    }
    ReadInto(field, value, p);
}

// ReadInto from a value the engine lends: the usual pairs of variable and
// value are copied once, straight into the variable; every other pair goes
// through a CSqlValue and ReadInto, so that conversions and errors stay
// exactly ReadInto's.
inline void ReadViewInto(const CBoundField& field, const CSqlValueView& v, void* p)
{
    using Type = CSqlValue::Type;
    switch (field.kind) {
    case Kind::Long:
        if (v.type == Type::Integer && v.integer >= INT32_MIN && v.integer <= INT32_MAX) {
            *static_cast<int32_t*>(p) = static_cast<int32_t>(v.integer);
            return;
        }
        break;
    case Kind::Int:
        if (v.type == Type::Integer && v.integer >= INT32_MIN && v.integer <= INT32_MAX) {
            *static_cast<int*>(p) = static_cast<int>(v.integer);
            return;
        }
        break;
    case Kind::Bool:
        if (v.type == Type::Integer) {
            *static_cast<BOOL*>(p) = v.integer != 0 ? TRUE : FALSE;
            return;
        }
        break;
    case Kind::Double:
        if (v.type == Type::Real) {
            *static_cast<double*>(p) = v.real;
            return;
        }
        if (v.type == Type::Integer) {
            *static_cast<double*>(p) = static_cast<double>(v.integer);
            return;
        }
        break;
    case Kind::Text:
        if (v.type == Type::Text && (field.maxLength <= 0 || v.size <= static_cast<size_t>(field.maxLength))) {
            static_cast<CString*>(p)->StdString().assign(v.data, v.size);
            return;
        }
        if (v.type == Type::Null) {
            static_cast<CString*>(p)->StdString().clear(); // ReadInto's empty text
            return;
        }
        break;
    case Kind::Date:
        if (v.type == Type::Null) {
            *static_cast<CTime*>(p) = CTime(0);
            return;
        }
        if (v.type == Type::Text) {
            CDateParts parts;
            if (ParseStoredDateTime(std::string_view(v.data, v.size), parts)) {
                *static_cast<CTime*>(p) = CTime(parts.year, parts.month, parts.day, parts.hour, parts.minute, parts.second);
                return;
            }
        }
        break;
    case Kind::Binary:
        if (v.type == Type::Blob) {
            const auto* bytes = reinterpret_cast<const uint8_t*>(v.data);
            const size_t n = field.maxLength > 0 ? std::min(v.size, static_cast<size_t>(field.maxLength)) : v.size;
            static_cast<CByteArray*>(p)->Refill().assign(bytes, bytes + n);
            return;
        }
        if (v.type == Type::Null) {
            // As ReadInto: the array is replaced by an empty one (its storage
            // released).
            static_cast<CByteArray*>(p)->Refill() = std::vector<uint8_t>();
            return;
        }
        break;
    }
    ReadViewThroughValue(field, v, p);
}

void SetPseudoNull(Kind kind, void* p)
{
    switch (kind) {
    case Kind::Long: *static_cast<int32_t*>(p) = AFX_RFX_LONG_PSEUDO_NULL; break;
    case Kind::Int: *static_cast<int*>(p) = AFX_RFX_INT_PSEUDO_NULL; break;
    case Kind::Bool: *static_cast<BOOL*>(p) = AFX_RFX_BOOL_PSEUDO_NULL; break;
    case Kind::Double: *static_cast<double*>(p) = kDoublePseudoNull; break;
    case Kind::Text: static_cast<CString*>(p)->Empty(); break;
    case Kind::Date: *static_cast<CTime*>(p) = CTime(0); break;
    case Kind::Binary: static_cast<CByteArray*>(p)->RemoveAll(); break;
    }
}

CFieldCopy Copy(Kind kind, const void* p)
{
    switch (kind) {
    case Kind::Long: return *static_cast<const int32_t*>(p);
    case Kind::Int: return static_cast<int32_t>(*static_cast<const int*>(p));
    case Kind::Bool: return static_cast<int32_t>(*static_cast<const BOOL*>(p));
    case Kind::Double: return DoubleBits(*static_cast<const double*>(p));
    case Kind::Text: return static_cast<const CString*>(p)->Str();
    case Kind::Date: return static_cast<int64_t>(static_cast<const CTime*>(p)->GetTime());
    case Kind::Binary: return *static_cast<const CByteArray*>(p);
    }
    return int32_t{0};
}

// Copy, but a text or a byte array is moved out of the variable, which is
// left empty.
CFieldCopy Take(Kind kind, void* p)
{
    switch (kind) {
    case Kind::Text: {
        CFieldCopy out(std::in_place_type<std::string>, std::move(static_cast<CString*>(p)->StdString()));
        static_cast<CString*>(p)->Empty();
        return out;
    }
    case Kind::Binary: {
        CFieldCopy out(std::in_place_type<CByteArray>, std::move(*static_cast<CByteArray*>(p)));
        static_cast<CByteArray*>(p)->RemoveAll();
        return out;
    }
    default: return Copy(kind, p);
    }
}

bool IsPseudoNull(Kind kind, const void* p);

// AddNew keeps a text or byte array that is empty already (its pseudo-null)
// as this marker instead of the value: nothing is moved out of it, nothing
// set, and restoring the marker empties the variable again. A new row's
// recordset usually has most of its texts empty.
bool IsEmptyMarker(Kind kind, const CFieldCopy& copy)
{
    return (kind == Kind::Text || kind == Kind::Binary) && std::holds_alternative<int32_t>(copy);
}

// Whether the variable holds what copy holds, without copying it.
bool SameAsCopy(Kind kind, const void* p, const CFieldCopy& copy)
{
    if (IsEmptyMarker(kind, copy))
        return IsPseudoNull(kind, p);
    switch (kind) {
    case Kind::Text: {
        const auto* text = std::get_if<std::string>(&copy);
        return text && *text == static_cast<const CString*>(p)->Str();
    }
    case Kind::Binary: {
        const auto* bytes = std::get_if<CByteArray>(&copy);
        return bytes && *bytes == *static_cast<const CByteArray*>(p);
    }
    default: return Copy(kind, p) == copy;
    }
}

void Restore(Kind kind, void* p, const CFieldCopy& copy);

// Restore, taking a text or a byte array from copy instead of copying it.
void Restore(Kind kind, void* p, CFieldCopy&& copy)
{
    if (IsEmptyMarker(kind, copy))
        SetPseudoNull(kind, p);
    else if (kind == Kind::Text)
        static_cast<CString*>(p)->StdString() = std::move(std::get<std::string>(copy));
    else if (kind == Kind::Binary)
        *static_cast<CByteArray*>(p) = std::move(std::get<CByteArray>(copy));
    else
        Restore(kind, p, static_cast<const CFieldCopy&>(copy));
}

void Restore(Kind kind, void* p, const CFieldCopy& copy)
{
    if (IsEmptyMarker(kind, copy)) {
        SetPseudoNull(kind, p);
        return;
    }
    switch (kind) {
    case Kind::Long: *static_cast<int32_t*>(p) = std::get<int32_t>(copy); break;
    case Kind::Int: *static_cast<int*>(p) = std::get<int32_t>(copy); break;
    case Kind::Bool: *static_cast<BOOL*>(p) = std::get<int32_t>(copy); break;
    case Kind::Double: *static_cast<double*>(p) = BitsDouble(std::get<uint64_t>(copy)); break;
    case Kind::Text: *static_cast<CString*>(p) = CString(std::get<std::string>(copy)); break;
    case Kind::Date: *static_cast<CTime*>(p) = CTime(std::get<int64_t>(copy)); break;
    case Kind::Binary: *static_cast<CByteArray*>(p) = std::get<CByteArray>(copy); break;
    }
}

// The value written for a variable: CTime 0, NaN and an empty byte array
// stand for NULL.
CSqlValue ToSqlValue(Kind kind, const void* p)
{
    switch (kind) {
    case Kind::Long: return CSqlValue::Integer(*static_cast<const int32_t*>(p));
    case Kind::Int: return CSqlValue::Integer(*static_cast<const int*>(p));
    case Kind::Bool: return CSqlValue::Integer(*static_cast<const BOOL*>(p) != 0 ? 1 : 0);
    case Kind::Double: {
        const double d = *static_cast<const double*>(p);
        return std::isnan(d) ? CSqlValue() : CSqlValue::Real(d);
    }
    case Kind::Text: return CSqlValue::Text(static_cast<const CString*>(p)->Str());
    case Kind::Date: {
        const CTime& t = *static_cast<const CTime*>(p);
        if (t.GetTime() == 0)
            return CSqlValue();
        CString text = SqlDateTimeText(t);
        return CSqlValue::Text(std::move(text.StdString()));
    }
    case Kind::Binary: {
        const auto* bytes = static_cast<const CByteArray*>(p);
        return bytes->IsEmpty() ? CSqlValue() : CSqlValue::Blob(bytes->Bytes());
    }
    }
    return CSqlValue();
}

// Whether the variable holds its pseudo-null (a double's NaN compared bit for
// bit, as SameAsCopy compares).
bool IsPseudoNull(Kind kind, const void* p)
{
    switch (kind) {
    case Kind::Long: return *static_cast<const int32_t*>(p) == AFX_RFX_LONG_PSEUDO_NULL;
    case Kind::Int: return *static_cast<const int*>(p) == AFX_RFX_INT_PSEUDO_NULL;
    case Kind::Bool: return *static_cast<const BOOL*>(p) == AFX_RFX_BOOL_PSEUDO_NULL;
    case Kind::Double: return DoubleBits(*static_cast<const double*>(p)) == DoubleBits(kDoublePseudoNull);
    case Kind::Text: return static_cast<const CString*>(p)->IsEmpty();
    case Kind::Date: return static_cast<const CTime*>(p)->GetTime() == 0;
    case Kind::Binary: return static_cast<const CByteArray*>(p)->IsEmpty();
    }
    return false;
}

[[noreturn, gnu::noinline]] void ThrowOtherColumns()
{
    ThrowSqlLayerError(AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH,
                       "DoFieldExchange named other columns than when the recordset was opened.");
}

// The Fixup pass for one field: the current row's column into the variable.
// The pass runs for every row read, so it has a small path of its own.
void FixupField(CRecordsetState& st, size_t index, CFieldExchange::Kind kind, void* pValue)
{
    const CBoundFieldList& fields = st.Fields();
    if (index >= fields.size() || fields[index].kind != kind)
        ThrowOtherColumns();
    const CBoundField& field = fields[index];
    // Open made sure that there are at least as many result columns as fields.
    const size_t column = static_cast<size_t>(index < st.visible.size() ? st.visible[index] : st.visible.at(index));
    if (st.rowInStatement) {
        CSqlValueView view;
        if (st.statement->PeekValue(static_cast<int>(column), view)) {
            st.fieldNull[index] = view.type == CSqlValue::Type::Null;
            ReadViewInto(field, view, pValue);
            return;
        }
    }
    const CSqlValue& value = RowValue(st, column);
    st.fieldNull[index] = value.IsNull();
    ReadInto(field, value, pValue);
}

// Exchange for the passes other than Fixup and the Name pass that compares.
// Put in place in the loop of RunFieldPass; called out of line from Exchange.
[[gnu::always_inline]] inline void ExchangeField(UINT operation, CFieldExchangeContext& ctx, size_t index,
                                                 const char* szName, Kind kind, void* pValue, int nMaxLength)
{
    CRecordsetState& st = ctx.state;
    if (operation == CFieldExchange::Name) {
        ++ctx.named;
        ctx.naming->push_back({CString(szName ? szName : ""), ColumnOf(szName), kind, nMaxLength});
        st.fieldAddresses.push_back(pValue);
        return;
    }
    const CBoundFieldList& fields = st.Fields();
    if (index >= fields.size() || fields[index].kind != kind)
        ThrowOtherColumns();
    const CBoundField& field = fields[index];
    switch (operation) {
    case CFieldExchange::SetFieldNull:
        SetPseudoNull(kind, pValue);
        st.fieldNull[index] = true;
        break;
    case CFieldExchange::StoreField:
        ctx.buffer->at(index) = ctx.move ? Take(kind, pValue) : Copy(kind, pValue);
        break;
    case CFieldExchange::BeginAddNew:
        // StoreField (moving), then SetFieldNull, in one pass; the buffer
        // grows with the fields named (it holds the ones before this one).
        // An empty text or byte array is kept as the empty marker.
        if ((kind == Kind::Text || kind == Kind::Binary) && IsPseudoNull(kind, pValue)) {
            if (index == ctx.buffer->size())
                ctx.buffer->emplace_back(std::in_place_type<int32_t>, 0);
            else
                ctx.buffer->at(index).emplace<int32_t>(0);
        } else {
            if (index == ctx.buffer->size())
                ctx.buffer->push_back(Take(kind, pValue));
            else
                ctx.buffer->at(index) = Take(kind, pValue);
            SetPseudoNull(kind, pValue);
        }
        st.fieldNull[index] = true;
        break;
    case CFieldExchange::LoadField:
        if (ctx.move)
            Restore(kind, pValue, std::move(ctx.buffer->at(index)));
        else
            Restore(kind, pValue, ctx.buffer->at(index));
        break;
    case CFieldExchange::MarkForUpdate:
        // Without a buffer (after AddNew) the variables began at their
        // pseudo-nulls.
        if (ctx.buffer ? !SameAsCopy(kind, pValue, ctx.buffer->at(index)) : !IsPseudoNull(kind, pValue)) {
            ctx.changedColumns->push_back(field.column);
            ctx.changedValues->push_back(ToSqlValue(kind, pValue));
        }
        break;
    case CFieldExchange::IsFieldNull:
        if (pValue == ctx.target || ctx.target == nullptr) {
            const bool isNull =
                st.mode == CRecordsetState::Mode::AddNew ? IsPseudoNull(kind, pValue) : st.fieldNull[index] != 0;
            ctx.targetFound = true;
            ctx.targetNull = ctx.targetNull || isNull;
        }
        break;
    default: break;
    }
}

[[gnu::noinline]] void ExchangeOther(UINT operation, CFieldExchangeContext& ctx, size_t index, const char* szName,
                                     Kind kind, void* pValue, int nMaxLength)
{
    ExchangeField(operation, ctx, index, szName, kind, pValue, nMaxLength);
}

} // namespace

CFieldExchange::CFieldExchange(UINT nOperation, CRecordset* prs, CFieldExchangeContext* pContext)
    : m_nOperation(nOperation), m_prs(prs), m_pContext(pContext)
{
}

void CFieldExchange::Exchange(const char* szName, Kind kind, void* pValue, int nMaxLength)
{
    if (m_nFieldType == param || m_nFieldType == inoutParam || m_nFieldType == outputParam)
        return; // parameters are not supported; only output columns are bound
    const size_t index = static_cast<size_t>(m_nFieldIndex++);
    // The passes of every open and every row read take short paths here;
    // the others are worked out of line, so that these need no large frame.
    if (m_nOperation == Fixup) {
        FixupField(m_pContext->state, index, kind, pValue);
        return;
    }
    if (m_nOperation == Name && m_pContext->naming == nullptr) {
        // Compared with the list of an earlier open, without copying.
        CFieldExchangeContext& ctx = *m_pContext;
        ++ctx.named;
        const CBoundFieldList& expected = *ctx.expected;
        if (index >= expected.size() || expected[index].kind != kind || expected[index].maxLength != nMaxLength ||
            !SameName(expected[index].name.Str(), szName ? szName : ""))
            ctx.differs = true;
        ctx.state.fieldAddresses.push_back(pValue);
        return;
    }
    ExchangeOther(m_nOperation, *m_pContext, index, szName, kind, pValue, nMaxLength);
}

void RunFieldPass(CRecordset& rs, CFieldExchangeContext& ctx, UINT operation)
{
    CRecordsetState& st = ctx.state;
    const CBoundFieldList& fields = st.Fields();
    if (st.fieldAddresses.size() != fields.size()) {
        CFieldExchange fx(operation, &rs, &ctx);
        rs.DoFieldExchange(&fx);
        return;
    }
    if (operation == CFieldExchange::Fixup) {
        for (size_t i = 0; i < fields.size(); ++i)
            FixupField(st, i, fields[i].kind, st.fieldAddresses[i]);
        return;
    }
    for (size_t i = 0; i < fields.size(); ++i)
        ExchangeField(operation, ctx, i, nullptr, fields[i].kind, st.fieldAddresses[i], fields[i].maxLength);
}

void RFX_Long(CFieldExchange* pFX, const char* szName, int32_t& value)
{
    pFX->Exchange(szName, CFieldExchange::Kind::Long, &value, 0);
}

void RFX_Int(CFieldExchange* pFX, const char* szName, int& value)
{
    pFX->Exchange(szName, CFieldExchange::Kind::Int, &value, 0);
}

void RFX_Double(CFieldExchange* pFX, const char* szName, double& value)
{
    pFX->Exchange(szName, CFieldExchange::Kind::Double, &value, 0);
}

void RFX_Bool(CFieldExchange* pFX, const char* szName, BOOL& value)
{
    pFX->Exchange(szName, CFieldExchange::Kind::Bool, &value, 0);
}

void RFX_Text(CFieldExchange* pFX, const char* szName, CString& value, int nMaxLength, int /*nColumnType*/,
              short /*nScale*/)
{
    pFX->Exchange(szName, CFieldExchange::Kind::Text, &value, nMaxLength);
}

void RFX_Date(CFieldExchange* pFX, const char* szName, CTime& value)
{
    pFX->Exchange(szName, CFieldExchange::Kind::Date, &value, 0);
}

void RFX_Binary(CFieldExchange* pFX, const char* szName, CByteArray& value, int nMaxLength)
{
    pFX->Exchange(szName, CFieldExchange::Kind::Binary, &value, nMaxLength);
}
