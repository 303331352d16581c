// CRecordset: opening (statement completion, row identity, translation),
// the forward walk with the rows added through the recordset after the
// query's own, moves back by running the query again, and row changes by
// row identity.
#include "framework/sql/Recordset.h"

#include "framework/sql/Dialect.h"
#include "framework/sql/SqlText.h"
#include "framework/sql/internal/RecordsetState.h"
#include "framework/sql/internal/RecordsetTextCache.h"
#include "framework/sql/internal/SqlConvert.h"
#include "framework/sql/internal/SqlDates.h"
#include "framework/sql/internal/SqlErrors.h"
#include "framework/sql/internal/SqlTokens.h"
#include "framework/sql/internal/SqlTranslate.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <strings.h>
#include <typeindex>
#include <typeinfo>

IMPLEMENT_DYNAMIC(CRecordset, CObject)

namespace {

const char kRowIdAlias[] = "__zen_rowid";
const char kInternalPrefix[] = "__zen_";

std::string TrimRight(std::string s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.pop_back();
    return s;
}

// A table name alone becomes a SELECT of the bound columns; m_strFilter and
// m_strSort are added as WHERE (or AND) and ORDER BY. tokensOut: the tokens
// of the returned text.
CString CompleteStatement(const CString& sql, const std::vector<CBoundField>& fields, const CString& filter,
                          const CString& sort, CSqlTokens& tokensOut, bool& tableNameAlone)
{
    tableNameAlone = false;
    CSqlTokens& tokens = tokensOut;
    tokens = TokenizeSql(sql.Str());
    const size_t first = NextSignificant(tokens, 0);
    std::string text = sql.Str();
    if (first < tokens.size() && !tokens[first].IsWord("SELECT") && NextSignificant(tokens, first + 1) == tokens.size() &&
        (tokens[first].kind == SqlTokenKind::Word || tokens[first].kind == SqlTokenKind::BracketName ||
         tokens[first].kind == SqlTokenKind::QuotedName)) {
        std::string list;
        for (const CBoundField& f : fields)
            list += (list.empty() ? "" : ", ") + f.name.Str();
        tableNameAlone = true;
        text = "SELECT " + (list.empty() ? std::string("*") : list) + " FROM " + tokens[first].text;
        tokens = TokenizeSql(text);
    }
    if (filter.IsEmpty() && sort.IsEmpty())
        return CString(std::move(text));
    const CSelectShape shape = AnalyzeSelect(tokens);
    std::string head = TrimRight(JoinSqlTokens(tokens, 0, shape.orderIndex));
    std::string tail = JoinSqlTokens(tokens, shape.orderIndex, tokens.size());
    if (!filter.IsEmpty())
        head += shape.whereIndex < tokens.size() ? " AND (" + filter.Str() + ")" : " WHERE " + filter.Str();
    if (!sort.IsEmpty())
        tail = tail.empty() ? " ORDER BY " + sort.Str() : TrimRight(tail) + ", " + sort.Str();
    else if (!tail.empty())
        tail = " " + tail;
    text = head + tail;
    tokens = TokenizeSql(text);
    return CString(std::move(text));
}

// The tokens of the statement with the row identity added in front of the
// select list: "<rowId> AS __zen_rowid, ", as the text would split.
CSqlTokens WithRowId(const CSqlTokens& tokens, const CSelectShape& shape, const std::string& rowId)
{
    const bool separate = shape.listBegin == 0 || !(tokens[shape.listBegin - 1].kind == SqlTokenKind::Word ||
                                                    tokens[shape.listBegin - 1].kind == SqlTokenKind::Number);
    if (!separate || rowId.find_first_not_of("abcdefghijklmnopqrstuvwxyz_") != std::string::npos)
        return TokenizeSql(JoinSqlTokens(tokens, 0, shape.listBegin) + rowId + " AS " + kRowIdAlias + ", " +
                           JoinSqlTokens(tokens, shape.listBegin, tokens.size()));
    CSqlTokens out;
    out.reserve(tokens.size() + 7);
    out.insert(out.end(), tokens.begin(), tokens.begin() + static_cast<std::ptrdiff_t>(shape.listBegin));
    out.push_back({SqlTokenKind::Word, rowId});
    out.push_back({SqlTokenKind::Space, " "});
    out.push_back({SqlTokenKind::Word, "AS"});
    out.push_back({SqlTokenKind::Space, " "});
    out.push_back({SqlTokenKind::Word, kRowIdAlias});
    out.push_back({SqlTokenKind::Symbol, ","});
    out.push_back({SqlTokenKind::Space, " "});
    out.insert(out.end(), tokens.begin() + static_cast<std::ptrdiff_t>(shape.listBegin), tokens.end());
    return out;
}

// Why a recordset cannot write: the connection's own reason when the file
// cannot be written (removed, replaced, damaged, write-protected), else the
// recordset's.
CString RefusalText(const CRecordsetState* st, const char* recordsetReason, const char* notOpen)
{
    if (!st)
        return notOpen;
    const CString reason = st->database->GetReadOnlyReason();
    return st->singleTable && !(st->options & CRecordset::readOnly) && !reason.IsEmpty() ? reason
                                                                                   : CString(recordsetReason);
}

[[noreturn]] void ThrowNoCurrentRecord()
{
    ThrowSqlLayerError(AFX_SQL_ERROR_NO_CURRENT_RECORD, "No current record.");
}

// The Name pass, which DoFieldExchange itself runs (every other pass goes
// through RunFieldPass).
void RunNamePass(CRecordset& rs, CFieldExchangeContext& ctx)
{
    ctx.state.fieldAddresses.clear();
    CFieldExchange fx(CFieldExchange::Name, &rs, &ctx);
    rs.DoFieldExchange(&fx);
}

void Fixup(CRecordset& rs, CRecordsetState& st)
{
    if (st.Fields().empty() || !st.hasRow)
        return;
    CFieldExchangeContext ctx(st);
    RunFieldPass(rs, ctx, CFieldExchange::Fixup);
}

// The variables into buffer. move: texts and byte arrays are moved out of
// the variables, for a caller that empties them next.
void StoreFields(CRecordset& rs, CRecordsetState& st, std::vector<CFieldCopy>& buffer, bool move = false)
{
    buffer.assign(st.Fields().size(), CFieldCopy());
    CFieldExchangeContext ctx(st);
    ctx.buffer = &buffer;
    ctx.move = move;
    RunFieldPass(rs, ctx, CFieldExchange::StoreField);
}

// The variables from buffer, whose texts and byte arrays are moved out: each
// caller is done with the buffer (the next AddNew or Edit fills it anew).
void LoadFields(CRecordset& rs, CRecordsetState& st, std::vector<CFieldCopy>& buffer)
{
    if (buffer.size() != st.Fields().size())
        return;
    CFieldExchangeContext ctx(st);
    ctx.buffer = &buffer;
    ctx.move = true;
    RunFieldPass(rs, ctx, CFieldExchange::LoadField);
}

// Next row of the query's own walk, skipping rows that were added or changed
// through this recordset (the engine may or may not show them again). With
// leaveInStatement the row is not copied into buffer: it stays the
// statement's current row (see CRecordsetState::rowInStatement).
bool ScanNext(CRecordsetState& st, std::vector<CSqlValue>& buffer, bool leaveInStatement)
{
    while (st.statement->Step()) {
        if (st.rowIdColumn >= 0 && !(st.addedIds.empty() && st.editedIds.empty())) {
            const CSqlValue id = st.statement->GetValue(st.rowIdColumn);
            if (st.addedIds.count(id) || st.editedIds.count(id))
                continue;
        }
        // Counted after the step, which may have prepared the statement anew.
        if (!leaveInStatement)
            st.statement->ReadRow(st.statement->GetColumnCount(), buffer);
        return true;
    }
    st.statement->Reset(); // releases the engine's read lock
    return false;
}

// The row with the given identity, laid out like the query's rows (the
// identity first, then the select list); false when it is gone.
bool Reselect(CRecordsetState& st, const CSqlValue& id, std::vector<CSqlValue>& buffer)
{
    if (!st.reselect) {
        // The translation is kept with the statement's text: a recordset
        // opened again with the same text reads its rows again without it.
        // Only a read of one table whose identity was selected reads rows
        // again, and its text work is kept with it.
        if (!st.text)
            ThrowSqlLayerError(AFX_SQL_ERROR_ILLEGAL_MODE, "The recordset cannot read a row again.");
        CString engineSql = st.text->reselectEngineSql;
        if (engineSql.IsEmpty()) {
            engineSql = TranslateSql(st.text->ReselectSql(), st.connection->GetDialect());
            st.text->reselectEngineSql = engineSql;
        }
        st.reselect = st.connection->Prepare(engineSql, st.source->sql);
    }
    CSqlStatement& s = *st.reselect;
    s.Reset();
    s.Bind(1, id);
    const bool found = s.Step();
    if (found) {
        buffer.assign(static_cast<size_t>(st.statement->GetColumnCount()), CSqlValue());
        const int columns = std::min(s.GetColumnCount(), st.statement->GetColumnCount());
        for (int c = 0; c < columns; ++c)
            buffer[static_cast<size_t>(c)] = s.GetValue(c);
    }
    s.Reset();
    return found;
}

// The next row into buffer. inStatement (when not null) lets a row of the
// query's own walk stay in the statement (set true when it did): for moves
// that fill the variables from it at once and whose next step replaces it.
bool FetchNext(CRecordsetState& st, std::vector<CSqlValue>& buffer, bool* inStatement = nullptr)
{
    if (inStatement)
        *inStatement = false;
    if (!st.scanDone) {
        if (ScanNext(st, buffer, inStatement != nullptr)) {
            if (inStatement)
                *inStatement = true;
            return true;
        }
        st.scanDone = true;
        st.nextAppended = 0;
    }
    while (st.nextAppended < st.appended.size()) {
        const CSqlValue id = st.appended[st.nextAppended++];
        if (Reselect(st, id, buffer))
            return true;
    }
    return false;
}

// Makes buffer (or, inStatement, the statement's current row) the current
// row (without filling the variables).
void TakeRow(CRecordsetState& st, std::vector<CSqlValue>& buffer, bool inStatement = false)
{
    st.rowInStatement = inStatement;
    if (!inStatement)
        st.row.swap(buffer);
    if (st.rowIdColumn < 0)
        st.rowId = CSqlValue();
    else if (inStatement)
        st.statement->ReadValue(st.rowIdColumn, st.rowId);
    else
        st.rowId = st.row[static_cast<size_t>(st.rowIdColumn)];
    st.hasRow = true;
    st.deleted = false;
    st.bof = st.eof = false;
    st.position = st.nextOrdinal++;
    st.recordCount = std::max<int32_t>(st.recordCount, static_cast<int32_t>(st.position + 1));
}

void Rerun(CRecordsetState& st)
{
    st.statement->Reset();
    st.rowInStatement = false;
    st.scanDone = false;
    st.nextAppended = 0;
    st.editedIds.clear();
    st.nextOrdinal = 0;
    st.position = -1;
    st.hasRow = false;
    st.deleted = false;
}

void SetEmptyOrEnd(CRecordsetState& st)
{
    st.hasRow = false;
    st.rowInStatement = false;
    st.deleted = false;
    if (st.nextOrdinal == 0) {
        st.bof = st.eof = true;
        st.position = -1;
    } else {
        st.eof = true;
        st.position = st.nextOrdinal;
    }
}

// Runs the query again and stands on the row of the given ordinal (or the
// last one there is).
void WalkTo(CRecordset& rs, CRecordsetState& st, int64_t ordinal)
{
    Rerun(st);
    std::vector<CSqlValue>& buffer = st.spare;
    while (st.position < ordinal && FetchNext(st, buffer))
        TakeRow(st, buffer);
    if (st.hasRow)
        Fixup(rs, st);
    else
        SetEmptyOrEnd(st);
}

// The result columns of st's statement that the fields bind, and the one
// with the row identity (only where st.text allows reading rows again).
// Read from the statement's names, or taken from kept (which the reading then
// updates) when the statement vouches that its columns are the ones kept.
void ReadResultColumns(CRecordsetState& st, CResultColumns* kept)
{
    uint64_t preparation = 0;
    uint64_t version = 0;
    const bool stamped = kept != nullptr && st.statement->GetColumnsStamp(preparation, version);
    if (stamped && kept->preparation == preparation && kept->version == version) {
        st.visible = kept->visible;
        st.rowIdColumn = st.text ? kept->rowIdColumn : -1;
        return;
    }
    int rowIdColumn = -1;
    const int columns = st.statement->GetColumnCount();
    st.visible.reserve(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) {
        // The engine's own text where it lends it: no copy per column.
        const char* lent = st.statement->PeekColumnName(c);
        CString copied;
        if (!lent) {
            copied = st.statement->GetColumnName(c);
            lent = copied.GetString();
        }
        if (lent[0] == kInternalPrefix[0] && std::strncmp(lent, kInternalPrefix, sizeof kInternalPrefix - 1) == 0) {
            if (std::strcmp(lent, kRowIdAlias) == 0)
                rowIdColumn = c;
            continue;
        }
        st.visible.push_back(c);
    }
    st.rowIdColumn = st.text ? rowIdColumn : -1;
    if (stamped) {
        // Stamped last: a copy that fails leaves nothing that matches.
        kept->preparation = 0;
        kept->visible = st.visible;
        kept->rowIdColumn = rowIdColumn;
        kept->version = version;
        kept->preparation = preparation;
    }
}

// The text work of Open for a statement: completion with filter and sort,
// its shape and, for a read of one table, the engine's text with the row
// identity and the text that reads one row again. tableNameAlone: the
// statement was a table name alone, completed from the recordset's own
// columns. Throws CDBException when the statement is empty or cannot be
// translated.
std::shared_ptr<CPreparedSelectText> WorkOutSelectText(CSqlConnection& connection, const CString& given,
                                                       const std::vector<CBoundField>& fields,
                                                       const CString& filter, const CString& sort,
                                                       bool& tableNameAlone)
{
    auto text = std::make_shared<CPreparedSelectText>();
    text->columns = std::make_shared<CResultColumns>();
    CSqlTokens& tokens = text->tokens;
    text->sql = CompleteStatement(given, fields, filter, sort, tokens, tableNameAlone);
    const CString& sql = text->sql;
    if (sql.Str().find_first_not_of(" \t\r\n\v\f") == std::string::npos)
        ThrowSqlLayerError(SQL_ERROR, "The recordset has no SQL statement.");
    const CSelectShape shape = AnalyzeSelect(tokens);
    const SqlDialect dialect = connection.GetDialect();
    text->singleTable = shape.singleTable;
    text->table = CString(shape.table);
    if (shape.singleTable) {
        const std::string rowId = connection.GetRowIdExpression().Str();
        try {
            text->withRowId = TranslateSqlTokens(WithRowId(tokens, shape, rowId), dialect, sql);
        } catch (const CDBException&) {
            // Read without the identity: the plain statement's own
            // translation then reports what is wrong with it.
            text->singleTable = false;
        }
    }
    if (text->singleTable) {
        const std::string rowId = connection.GetRowIdExpression().Str();
        const std::string list = TrimRight(JoinSqlTokens(tokens, shape.listBegin, shape.fromIndex));
        const std::string from = TrimRight(JoinSqlTokens(tokens, shape.fromIndex, shape.fromEnd));
        text->reselectSql = CString("SELECT " + rowId + " AS " + kRowIdAlias + ", " + list + " " + from + " WHERE " +
                                    rowId + " = " + connection.GetParameterMarker(1).Str());
    }
    return text;
}

// The key of a text work: the statement, filter and sort.
std::string TextKey(std::string_view given, const CString& filter, const CString& sort)
{
    std::string key;
    key.reserve(given.size() + filter.Str().size() + sort.Str().size() + 2);
    key.append(given).append(1, '\0').append(filter.Str()).append(1, '\0').append(sort.Str());
    return key;
}

// The text work of Open, taken from the connection's cache when the same
// text was opened before. A lookup that differs from an earlier one only in
// the value it compares with is made from the pattern of the
// first: the work is done once with a stand-in value and kept only when the
// stand-in comes through it unchanged (checked against the real work of the
// first lookup); each later lookup puts its value in place of the stand-in.
// A table name given alone is not kept.
std::shared_ptr<const CPreparedSelectText> PrepareSelectText(CRecordsetTextCache& cache, CSqlConnection& connection,
                                                             std::string_view given,
                                                             const std::vector<CBoundField>& fields,
                                                             const CString& filter, const CString& sort)
{
    std::string_view recentValue;
    if (std::shared_ptr<const CSelectTextPattern> recent =
            cache.FindRecentPattern(given, filter.Str(), sort.Str(), recentValue))
        return InstantiatePatternText(std::move(recent), recentValue);
    std::string key = TextKey(given, filter, sort);
    if (std::shared_ptr<const CPreparedSelectText> kept = cache.Find(key))
        return kept;

    CComparedLiteral literal;
    const bool hasLiteral = FindComparedLiteral(given, literal);
    std::string patternKey;
    std::string_view value;
    if (hasLiteral) {
        value = given.substr(literal.begin, literal.end - literal.begin);
        // TextKey of the statement with the literal left out, built in one go.
        const std::string_view head = given.substr(0, literal.begin);
        const std::string_view tail = given.substr(literal.end);
        patternKey.reserve(given.size() + filter.Str().size() + sort.Str().size() + 4);
        patternKey.append(head).append(literal.text ? "\x01s" : "\x01n").append(tail);
        patternKey.append(1, '\0').append(filter.Str()).append(1, '\0').append(sort.Str());
        if (std::shared_ptr<const CSelectTextPattern> pattern = cache.FindPattern(patternKey);
            pattern && pattern->usable) {
            cache.NoteRecentPattern(given, literal, filter.Str(), sort.Str(), pattern);
            return InstantiatePatternText(std::move(pattern), value);
        }
    }

    bool tableNameAlone = false;
    std::shared_ptr<CPreparedSelectText> text =
        WorkOutSelectText(connection, CString(given), fields, filter, sort, tableNameAlone);
    if (tableNameAlone)
        return text;
    if (text->singleTable) {
        text->engineKnown = connection.ParameteriseForReuse(text->withRowId, text->engine);
        text->engine.spans.clear(); // of no use to an open
    }
    cache.Add(std::move(key), text);

    if (hasLiteral && !cache.FindPattern(patternKey)) {
        auto pattern = std::make_shared<CSelectTextPattern>();
        pattern->standIn = PatternStandIn(literal.text);
        if (value != pattern->standIn && given.find(pattern->standIn) == std::string::npos &&
            filter.Str().find(pattern->standIn) == std::string::npos &&
            sort.Str().find(pattern->standIn) == std::string::npos) {
            try {
                const CString standInSql(std::string(given.substr(0, literal.begin)) + pattern->standIn +
                                         std::string(given.substr(literal.end)));
                bool alone = false;
                pattern->text = WorkOutSelectText(connection, standInSql, fields, filter, sort, alone);
                MarkStandIns(*pattern);
                pattern->usable = !alone && SameSelectText(*InstantiatePattern(*pattern, value), *text);
                if (pattern->usable && pattern->text->singleTable) {
                    CParameterisedSql parameterised;
                    const bool made = connection.ParameteriseForReuse(pattern->text->withRowId, parameterised);
                    NoteEngineParameters(*pattern, made, std::move(parameterised), literal.text);
                }
            } catch (const CDBException&) {
                pattern->usable = false;
            }
        }
        if (!pattern->usable)
            pattern->text.reset();
        else
            cache.NoteRecentPattern(given, literal, filter.Str(), sort.Str(), pattern);
        cache.AddPattern(std::move(patternKey), std::move(pattern));
    }
    return text;
}

// The statement of text (a read of one table) with the row identity. A text
// made from a pattern whose engine text is kept parameterised is prepared
// from that with its own value, a text kept in the cache from its own
// parameterised engine text; should that fail, from its engine text as it
// is, whose error then counts.
std::unique_ptr<CSqlStatement> PrepareWithRowId(CSqlConnection& connection, const CPreparedSelectText& text)
{
    try {
        if (text.madeFrom) {
            std::vector<CSqlValue> values;
            if (InstanceValues(*text.madeFrom, text.madeWith, values))
                return connection.PrepareParameterised(text.madeFrom->engine.text, values, text.sql);
        } else if (text.engineKnown) {
            return connection.PrepareParameterised(text.engine.text, text.engine.values, text.sql);
        }
    } catch (const CDBException&) {
    }
    return connection.Prepare(text.WithRowId(), text.sql);
}

// Where each named field's variable lies in the object at `object` of `size`
// bytes, or null when one lies outside it (then the promise of fixed fields
// does not hold, and the class is named at every open).
std::shared_ptr<const std::vector<size_t>> FieldOffsets(const std::vector<void*>& addresses, const void* object,
                                                        size_t size)
{
    auto offsets = std::make_shared<std::vector<size_t>>();
    offsets->reserve(addresses.size());
    const auto begin = reinterpret_cast<std::uintptr_t>(object);
    for (const void* address : addresses) {
        const auto at = reinterpret_cast<std::uintptr_t>(address);
        if (at < begin || at - begin >= size)
            return nullptr;
        offsets->push_back(static_cast<size_t>(at - begin));
    }
    return offsets;
}

// The fields that rs's DoFieldExchange names. A recordset class names the
// same fields at every open: the list of its previous open on this
// connection is taken when the names, kinds and lengths named now are the
// same (compared in place), else the list is made anew and kept. A class
// that promises fixed fields (CRecordset::GetFixedFieldExchange) is named
// once per connection; its later opens bind at the offsets found then.
std::shared_ptr<const CBoundFieldList> NameFields(CRecordset& rs, CRecordsetState& st, CRecordsetTextCache& cache,
                                                  UINT declared)
{
    const std::type_info& typeInfo = typeid(rs);
    const std::type_index type(typeInfo);
    const CRecordset::CFixedFieldExchange fixed = rs.GetFixedFieldExchange();
    // Offsets count from the whole object, which holds rs as a base.
    void* const object = dynamic_cast<void*>(&rs);
    const bool promised = fixed.type != nullptr && *fixed.type == typeInfo;
    const CRecordsetTextCache::CKnownFields* known = cache.FindFields(type);
    if (known != nullptr && promised && known->offsets) {
        const std::vector<size_t>& offsets = *known->offsets;
        st.fieldAddresses.resize(offsets.size());
        for (size_t i = 0; i < offsets.size(); ++i)
            st.fieldAddresses[i] = static_cast<char*>(object) + offsets[i];
        return known->fields;
    }
    if (known != nullptr) {
        std::shared_ptr<const CBoundFieldList> fields = known->fields;
        CFieldExchangeContext ctx(st);
        ctx.expected = fields.get();
        st.fieldAddresses.reserve(fields->size());
        RunNamePass(rs, ctx);
        if (!ctx.differs && ctx.named == fields->size()) {
            if (promised)
                cache.AddFields(type, fields, FieldOffsets(st.fieldAddresses, object, fixed.size));
            return fields;
        }
    }
    auto fresh = std::make_shared<CBoundFieldList>();
    fresh->reserve(declared);
    CFieldExchangeContext ctx(st);
    ctx.naming = fresh.get();
    st.fieldAddresses.reserve(declared);
    RunNamePass(rs, ctx);
    cache.AddFields(type, fresh, promised ? FieldOffsets(st.fieldAddresses, object, fixed.size) : nullptr);
    return fresh;
}

} // namespace

CRecordset::CRecordset(CDatabase* pDatabase) : m_pDatabase(pDatabase) {}

CRecordset::~CRecordset()
{
    CloseCursor();
}

CString CRecordset::GetDefaultConnect()
{
    return "ODBC;";
}

CString CRecordset::GetDefaultSQL()
{
    return CString();
}

void CRecordset::DoFieldExchange(CFieldExchange* /*pFX*/) {}

BOOL CRecordset::Open(UINT nOpenType, const char* lpszSQL, DWORD dwOptions)
{
    if (IsOpen())
        Close();
    CDatabase* db = m_pDatabase;
    if (db == nullptr) {
        if (!m_pOwnDatabase)
            m_pOwnDatabase = std::make_unique<CDatabase>();
        if (!m_pOwnDatabase->IsOpen())
            m_pOwnDatabase->OpenEx(GetDefaultConnect(), CDatabase::noOdbcDialog);
        db = m_pOwnDatabase.get();
    }
    if (!db->IsOpen() || db->GetSqlConnection() == nullptr)
        ThrowSqlLayerError(AFX_SQL_ERROR_CONNECT_FAIL, "The recordset's database connection is not open.");

    auto state = std::make_unique<CRecordsetState>();
    CRecordsetState& st = *state;
    st.database = db;
    st.connection = db->GetSqlConnection();
    st.openType = nOpenType == AFX_DB_USE_DEFAULT_TYPE ? m_nDefaultType : nOpenType;
    st.options = dwOptions;
    st.fieldList = NameFields(*this, st, db->GetRecordsetTextCache(), m_nFields);
    st.fieldNull.assign(st.Fields().size(), 0);
    if (m_nFields != 0 && st.Fields().size() != m_nFields) {
        CString reason;
        reason.Format("DoFieldExchange names %d columns, but the recordset declares %u (m_nFields).",
                      static_cast<int>(st.Fields().size()), m_nFields);
        ThrowSqlLayerError(AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH, reason);
    }

    // The caller's text is read in place; only the default is made.
    CString defaultSql;
    std::string_view given;
    if (lpszSQL && *lpszSQL) {
        given = lpszSQL;
    } else {
        defaultSql = GetDefaultSQL();
        given = defaultSql.Str();
    }
    const SqlDialect dialect = st.connection->GetDialect();
    const std::shared_ptr<const CPreparedSelectText> text =
        PrepareSelectText(db->GetRecordsetTextCache(), *st.connection, given, st.Fields(), m_strFilter, m_strSort);
    const CString& sql = text->sql;
    st.source = text;

    // A read of one table also selects each row's identity, by which a row is
    // changed, deleted or read again. Tables without one (views) stay read-only.
    if (text->singleTable) {
        try {
            st.statement = PrepareWithRowId(*st.connection, *text);
        } catch (const CDBException&) {
            st.statement.reset();
        }
        if (st.statement) {
            st.text = text; // its reselect text made and translated when first needed (rows added or changed)
        }
    }
    if (!st.statement) {
        // A text made from a pattern carries no tokens (see InstantiatePatternText).
        CSqlTokens made;
        if (text->tokens.empty())
            made = TokenizeSql(sql.Str());
        const CSqlTokens& tokens = text->tokens.empty() ? made : text->tokens;
        st.statement = st.connection->Prepare(TranslateSqlTokens(tokens, dialect, sql), sql);
    }

    // The first step comes before the columns are looked at: a statement
    // prepared before another connection changed the table's columns is
    // prepared anew by the engine on its first step, and only then
    // describes the table as it is.
    std::vector<CSqlValue>& buffer = st.spare;
    bool firstInStatement = false;
    const bool firstRow = FetchNext(st, buffer, &firstInStatement);

    ReadResultColumns(st, text->columns.get());
    if (st.visible.size() < st.Fields().size()) {
        CString reason;
        reason.Format("The statement returns %d columns, but the recordset binds %d.",
                      static_cast<int>(st.visible.size()), static_cast<int>(st.Fields().size()));
        ThrowSqlLayerError(AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH, reason, sql);
    }
    st.singleTable = st.rowIdColumn >= 0;
    st.table = st.singleTable ? text->table : CString();

    // Stand on the first row.
    if (firstRow)
        TakeRow(st, buffer, firstInStatement);
    else
        SetEmptyOrEnd(st);

    m_strSQL = sql;
    m_strTableName = st.table;
    m_pState = std::move(state);
    db->RegisterRecordset(this);
    try {
        Fixup(*this, *m_pState);
    } catch (...) {
        CloseCursor();
        throw;
    }
    return TRUE;
}

void CRecordset::Close()
{
    CloseCursor();
}

void CRecordset::CloseCursor() noexcept
{
    if (!m_pState)
        return;
    if (m_pState->database)
        m_pState->database->UnregisterRecordset(this);
    m_pState.reset(); // finalizes the statements, which releases their locks
}

BOOL CRecordset::Requery()
{
    if (!m_pState)
        ThrowSqlLayerError(AFX_SQL_ERROR_ILLEGAL_MODE, "Requery needs an open recordset.");
    CRecordsetState& st = *m_pState;
    st.mode = CRecordsetState::Mode::None;
    st.appended.clear();
    st.addedIds.clear();
    st.recordCount = 0;
    Rerun(st);
    std::vector<CSqlValue>& buffer = st.spare;
    bool inStatement = false;
    if (FetchNext(st, buffer, &inStatement)) {
        TakeRow(st, buffer, inStatement);
        Fixup(*this, st);
    } else {
        SetEmptyOrEnd(st);
    }
    return TRUE;
}

BOOL CRecordset::IsOpen() const
{
    return m_pState ? TRUE : FALSE;
}

BOOL CRecordset::IsEOF() const
{
    return !m_pState || m_pState->eof ? TRUE : FALSE;
}

BOOL CRecordset::IsBOF() const
{
    return !m_pState || m_pState->bof ? TRUE : FALSE;
}

BOOL CRecordset::IsDeleted() const
{
    return m_pState && m_pState->hasRow && m_pState->deleted ? TRUE : FALSE;
}

void CRecordset::MoveNext()
{
    if (!m_pState)
        ThrowNoCurrentRecord();
    CRecordsetState& st = *m_pState;
    st.mode = CRecordsetState::Mode::None;
    std::vector<CSqlValue>& buffer = st.spare;
    // The current row is replaced by the next one, or there is none after it.
    bool inStatement = false;
    if (FetchNext(st, buffer, &inStatement)) {
        TakeRow(st, buffer, inStatement);
        Fixup(*this, st);
        return;
    }
    if (st.eof)
        ThrowSqlLayerError(AFX_SQL_ERROR_NO_DATA_FOUND, "Attempt to move past the end of the recordset.");
    SetEmptyOrEnd(st);
}

void CRecordset::MovePrev()
{
    if (!m_pState)
        ThrowNoCurrentRecord();
    CRecordsetState& st = *m_pState;
    if (st.bof)
        ThrowSqlLayerError(AFX_SQL_ERROR_NO_DATA_FOUND, "Attempt to move before the beginning of the recordset.");
    if (st.openType == forwardOnly)
        ThrowSqlLayerError(AFX_SQL_ERROR_RECORDSET_FORWARD_ONLY, "The recordset only moves forward.");
    st.mode = CRecordsetState::Mode::None;
    const int64_t target = st.hasRow ? st.position - 1 : st.nextOrdinal - 1;
    if (target < 0) {
        Rerun(st);
        st.bof = true;
        st.eof = false;
        return;
    }
    WalkTo(*this, st, target);
}

void CRecordset::MoveFirst()
{
    if (!m_pState)
        ThrowNoCurrentRecord();
    CRecordsetState& st = *m_pState;
    st.mode = CRecordsetState::Mode::None;
    if (st.hasRow && st.position == 0 && !st.deleted)
        return;
    if (st.openType == forwardOnly && st.nextOrdinal > 0)
        ThrowSqlLayerError(AFX_SQL_ERROR_RECORDSET_FORWARD_ONLY, "The recordset only moves forward.");
    WalkTo(*this, st, 0);
}

void CRecordset::MoveLast()
{
    if (!m_pState)
        ThrowNoCurrentRecord();
    CRecordsetState& st = *m_pState;
    st.mode = CRecordsetState::Mode::None;
    // The current row stays current when there is none after it.
    KeepRow(st);
    std::vector<CSqlValue>& buffer = st.spare;
    bool moved = false;
    while (FetchNext(st, buffer)) {
        TakeRow(st, buffer);
        moved = true;
    }
    if (moved) {
        Fixup(*this, st);
    } else if (!st.hasRow || st.deleted) {
        if (st.nextOrdinal > 0)
            WalkTo(*this, st, st.nextOrdinal - 1);
        else
            SetEmptyOrEnd(st);
    }
}

void CRecordset::AddNew()
{
    if (!CanAppend())
        ThrowSqlLayerError(AFX_SQL_ERROR_RECORDSET_READONLY,
                           RefusalText(m_pState.get(), "The recordset cannot add rows (read-only, or not a read of one table).",
                                       "AddNew needs an open recordset."),
                           m_strSQL);
    CRecordsetState& st = *m_pState;
    if (st.mode != CRecordsetState::Mode::None)
        CancelUpdate();
    // One pass keeps the variables (moved out) and sets them to their
    // pseudo-nulls; Update compares with the pseudo-nulls themselves.
    // Filled in the pass's order (each field appends its own), so that no
    // placeholder is made first only to be replaced.
    st.saved.clear();
    st.saved.reserve(st.Fields().size());
    {
        CFieldExchangeContext ctx(st);
        ctx.buffer = &st.saved;
        RunFieldPass(*this, ctx, CFieldExchange::BeginAddNew);
    }
    st.snapshot.clear();
    st.mode = CRecordsetState::Mode::AddNew;
}

void CRecordset::Edit()
{
    if (!CanUpdate())
        ThrowSqlLayerError(AFX_SQL_ERROR_RECORDSET_READONLY,
                           RefusalText(m_pState.get(), "The recordset cannot change rows (read-only, or not a read of one table).",
                                       "Edit needs an open recordset."),
                           m_strSQL);
    CRecordsetState& st = *m_pState;
    if (!st.hasRow || st.deleted)
        ThrowNoCurrentRecord();
    if (st.mode != CRecordsetState::Mode::None)
        CancelUpdate();
    StoreFields(*this, st, st.snapshot); // also what CancelUpdate restores
    st.mode = CRecordsetState::Mode::Edit;
}

BOOL CRecordset::Update()
{
    if (!m_pState || m_pState->mode == CRecordsetState::Mode::None)
        ThrowSqlLayerError(AFX_SQL_ERROR_ILLEGAL_MODE, "Update was called without AddNew or Edit.");
    CRecordsetState& st = *m_pState;
    // Room for the few columns a write usually changes: growing the lists
    // from nothing moves them at each step, and room for every field would
    // take a block too large for the allocator's quick path.
    constexpr size_t kUsualChanges = 8;
    std::vector<CString> columns;
    std::vector<CSqlValue> values;
    columns.reserve(kUsualChanges);
    values.reserve(kUsualChanges);
    {
        CFieldExchangeContext ctx(st);
        ctx.buffer = st.mode == CRecordsetState::Mode::AddNew ? nullptr : &st.snapshot;
        ctx.changedColumns = &columns;
        ctx.changedValues = &values;
        RunFieldPass(*this, ctx, CFieldExchange::MarkForUpdate);
    }
    KeepRow(st); // the row stays current across the write
    if (st.mode == CRecordsetState::Mode::AddNew) {
        const CSqlValue id = st.connection->InsertRow(st.table, columns, values);
        st.appended.push_back(id);
        st.addedIds.insert(id);
        st.mode = CRecordsetState::Mode::None;
        LoadFields(*this, st, st.saved);
        return TRUE;
    }
    if (columns.empty()) {
        st.mode = CRecordsetState::Mode::None;
        return FALSE;
    }
    if (st.connection->UpdateRow(st.table, st.rowId, columns, values) == 0)
        ThrowSqlLayerError(AFX_SQL_ERROR_NO_ROWS_AFFECTED, "The row being edited no longer exists.", m_strSQL);
    st.mode = CRecordsetState::Mode::None;
    st.editedIds.insert(st.rowId);
    std::vector<CSqlValue> buffer;
    if (Reselect(st, st.rowId, buffer)) {
        st.row.swap(buffer);
        st.rowInStatement = false;
        Fixup(*this, st);
    }
    return TRUE;
}

bool CRecordset::GetAddedKey(const char* keyColumn, int32_t& key) const
{
    if (!m_pState || m_pState->appended.empty() || m_pState->mode != CRecordsetState::Mode::None)
        return false;
    const CRecordsetState& st = *m_pState;
    const CSqlValue& id = st.appended.back();
    if (id.GetType() != CSqlValue::Type::Integer || id.GetInteger() < INT32_MIN || id.GetInteger() > INT32_MAX ||
        !st.connection->IsRowIdentityColumn(st.table, keyColumn))
        return false;
    key = static_cast<int32_t>(id.GetInteger());
    return true;
}

void CRecordset::Delete()
{
    if (!CanUpdate())
        ThrowSqlLayerError(AFX_SQL_ERROR_RECORDSET_READONLY,
                           RefusalText(m_pState.get(), "The recordset cannot delete rows (read-only, or not a read of one table).",
                                       "Delete needs an open recordset."),
                           m_strSQL);
    CRecordsetState& st = *m_pState;
    if (!st.hasRow || st.deleted)
        ThrowNoCurrentRecord();
    if (st.mode != CRecordsetState::Mode::None)
        CancelUpdate();
    KeepRow(st); // the deleted row stays current until the next move
    if (st.connection->DeleteRow(st.table, st.rowId) == 0)
        ThrowSqlLayerError(AFX_SQL_ERROR_NO_ROWS_AFFECTED, "The current row no longer exists.", m_strSQL);
    st.deleted = true;
    --st.nextOrdinal; // the rows after it move up by one
}

void CRecordset::CancelUpdate()
{
    if (!m_pState || m_pState->mode == CRecordsetState::Mode::None)
        return;
    const bool edit = m_pState->mode == CRecordsetState::Mode::Edit;
    m_pState->mode = CRecordsetState::Mode::None;
    LoadFields(*this, *m_pState, edit ? m_pState->snapshot : m_pState->saved);
}

int32_t CRecordset::GetRecordCount() const
{
    return m_pState ? m_pState->recordCount : 0;
}

short CRecordset::GetODBCFieldCount() const
{
    return m_pState ? static_cast<short>(m_pState->visible.size()) : 0;
}

void CRecordset::GetODBCFieldInfo(short nIndex, CODBCFieldInfo& fieldinfo) const
{
    if (!m_pState || nIndex < 0 || static_cast<size_t>(nIndex) >= m_pState->visible.size()) {
        CString reason;
        reason.Format("There is no result column %d.", nIndex);
        ThrowSqlLayerError(AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH, reason, m_strSQL);
    }
    fieldinfo = m_pState->statement->DescribeColumn(m_pState->visible[static_cast<size_t>(nIndex)]);
}

namespace {

short FindColumn(const CRecordsetState* st, const char* name, const CString& sql)
{
    if (st && name) {
        for (size_t i = 0; i < st->visible.size(); ++i) {
            // The engine's own text where it lends it: no copy per column.
            const char* lent = st->statement->PeekColumnName(st->visible[i]);
            const bool same = lent ? ::strcasecmp(lent, name) == 0
                                   : st->statement->GetColumnName(st->visible[i]).CompareNoCase(name) == 0;
            if (same)
                return static_cast<short>(i);
        }
    }
    ThrowSqlLayerError(AFX_SQL_ERROR_FIELD_SCHEMA_MISMATCH,
                       CString("There is no result column named '") + (name ? name : "") + "'.", sql);
}

} // namespace

void CRecordset::GetODBCFieldInfo(const char* lpszName, CODBCFieldInfo& fieldinfo) const
{
    GetODBCFieldInfo(FindColumn(m_pState.get(), lpszName, m_strSQL), fieldinfo);
}

void CRecordset::GetFieldValue(const char* lpszName, CDBVariant& varValue, short nFieldType) const
{
    GetFieldValue(FindColumn(m_pState.get(), lpszName, m_strSQL), varValue, nFieldType);
}

void CRecordset::GetFieldValue(short nIndex, CDBVariant& varValue, short /*nFieldType*/) const
{
    if (!m_pState || !m_pState->hasRow)
        ThrowNoCurrentRecord();
    CODBCFieldInfo info;
    GetODBCFieldInfo(nIndex, info);
    CRecordsetState& st = *m_pState;
    const CSqlValue& value = RowValue(st, static_cast<size_t>(st.visible[static_cast<size_t>(nIndex)]));
    if (value.IsNull()) {
        varValue.Clear();
        return;
    }
    auto integer = [&](int64_t& v) {
        if (!SqlValueToInt64(value, v))
            ThrowSqlLayerError(SQL_ERROR, CString("The value of column ") + info.m_strName + " is not a number.");
    };
    int64_t v = 0;
    switch (info.m_nSQLType) {
    case SQL_BIT: integer(v); varValue.SetBool(v != 0 ? TRUE : FALSE); return;
    case SQL_TINYINT: integer(v); varValue.SetUChar(static_cast<unsigned char>(v)); return;
    case SQL_SMALLINT: integer(v); varValue.SetShort(static_cast<short>(v)); return;
    case SQL_INTEGER:
    case SQL_BIGINT: // the server's COUNT(*) and other 64-bit results: a number as on SQLite
        integer(v);
        if (v >= INT32_MIN && v <= INT32_MAX)
            varValue.SetLong(static_cast<int32_t>(v));
        else
            varValue.SetDouble(static_cast<double>(v));
        return;
    case SQL_REAL: varValue.SetSingle(static_cast<float>(SqlValueToDouble(value))); return;
    case SQL_DOUBLE:
    case SQL_FLOAT:
    case SQL_NUMERIC:
    case SQL_DECIMAL: varValue.SetDouble(SqlValueToDouble(value)); return;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME: {
        CDateParts parts;
        if (value.GetType() != CSqlValue::Type::Text || !ParseStoredDateTime(value.GetText(), parts))
            ThrowSqlLayerError(SQL_ERROR, CString("The value '") + CString(SqlValueToText(value)) +
                                              "' of column " + info.m_strName + " is not a date.");
        TIMESTAMP_STRUCT ts;
        ts.year = static_cast<int16_t>(parts.year);
        ts.month = static_cast<uint16_t>(parts.month);
        ts.day = static_cast<uint16_t>(parts.day);
        ts.hour = static_cast<uint16_t>(parts.hour);
        ts.minute = static_cast<uint16_t>(parts.minute);
        ts.second = static_cast<uint16_t>(parts.second);
        varValue.SetDate(ts);
        return;
    }
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: {
        CByteArray bytes;
        bytes.Refill() = SqlValueToBytes(value);
        varValue.SetBinary(bytes);
        return;
    }
    default: varValue.SetString(CString(SqlValueToText(value))); return;
    }
}

void CRecordset::GetFieldValue(const char* lpszName, CString& strValue) const
{
    const short index = FindColumn(m_pState.get(), lpszName, m_strSQL);
    if (!m_pState->hasRow)
        ThrowNoCurrentRecord();
    CRecordsetState& st = *m_pState;
    strValue = CString(SqlValueToText(RowValue(st, static_cast<size_t>(st.visible[static_cast<size_t>(index)]))));
}

BOOL CRecordset::IsFieldNull(const void* pv)
{
    if (!m_pState)
        return FALSE;
    CFieldExchangeContext ctx(*m_pState);
    ctx.target = pv;
    RunFieldPass(*this, ctx, CFieldExchange::IsFieldNull);
    return ctx.targetFound && ctx.targetNull ? TRUE : FALSE;
}

BOOL CRecordset::CanUpdate() const
{
    return m_pState && m_pState->singleTable && !(m_pState->options & (readOnly | appendOnly)) &&
                   m_pState->database->CanUpdate()
               ? TRUE
               : FALSE;
}

BOOL CRecordset::CanAppend() const
{
    return m_pState && m_pState->singleTable && !(m_pState->options & readOnly) && m_pState->database->CanUpdate()
               ? TRUE
               : FALSE;
}

BOOL CRecordset::CanScroll() const
{
    return m_pState && m_pState->openType != forwardOnly ? TRUE : FALSE;
}

BOOL CRecordset::CanTransact() const
{
    return m_pState && m_pState->database->CanTransact() ? TRUE : FALSE;
}
