// Writing, reading and checking the audit trail. Entries go in with plain
// statements on the caller's connection inside a CTransaction, so they are
// committed or rolled back together with the change they describe; the
// previous hash is read under the write lock that BEGIN IMMEDIATE takes, so
// two writers cannot both chain onto the same entry.
#include "databaseobjects/AuditTrail.h"

#include "companions/AuditSeal.h"
#include "framework/Exceptions.h"
#include "framework/sql/Database.h"
#include "framework/sql/FieldInfo.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/SqlText.h"
#include "framework/sql/Transaction.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace zenaudit {

namespace {

// Stored texts are cut to the width of their column (at a UTF-8 character
// boundary), before hashing, so the hash covers exactly what is stored.
constexpr int kTextWidth = 255;

CString Cut(const CString& text, int width = kTextWidth)
{
    if (text.GetLength() <= width)
        return text;
    int end = width;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.Left(end);
}

CString Number(int64_t value)
{
    return CString(std::to_string(value));
}

CString NowUtc()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &utc);
    return CString(text);
}

// The station's name, asked of the system at most once a second: a save
// writes a trail entry, and a batch of saves would otherwise ask each time.
// A renamed host is named so from the next second on.
CString HostName()
{
    static std::mutex guard;
    static CString cached;
    static std::chrono::steady_clock::time_point askedAt;
    static bool asked = false;
    const std::lock_guard<std::mutex> lock(guard);
    const auto now = std::chrono::steady_clock::now();
    if (asked && now - askedAt < std::chrono::seconds(1))
        return cached;
    char name[256] = {};
    cached = gethostname(name, sizeof(name) - 1) == 0 ? CString(name) : CString();
    askedAt = now;
    asked = true;
    return cached;
}

std::vector<CString> HashedParts(const CAuditEntry& e)
{
    return {Number(e.EntryID), e.Time,          e.Station,          e.UserName,  e.Action,
            e.ObjectKind,      Number(e.ObjectKey), e.ObjectIdentifier, e.FieldName, e.OldValue,
            e.NewValue,        e.Reason,        e.PreviousHash};
}

struct CHead {
    int32_t Entries = 0;
    int32_t LastEntryID = 0;
    CString LastHash;
    CString Seal;
};

CString HeadSeal(const CAuditSealer& sealer, int32_t entries, int32_t lastEntryID, const CString& lastHash)
{
    return sealer.Seal({"AuditTrailHead", Number(entries), Number(lastEntryID), lastHash});
}

CString Text(CRecordset& rs, const char* column)
{
    CString value;
    rs.GetFieldValue(column, value);
    return value;
}

int32_t Integer(CRecordset& rs, const char* column)
{
    return static_cast<int32_t>(std::atol(Text(rs, column).GetString()));
}

// The head row; false when the table holds none. With lastStored, also the
// greatest entry number stored (0 for none), in the same statement.
bool ReadHead(CDatabase& db, CHead& head, int32_t* lastStored = nullptr)
{
    std::vector<CString> row;
    const bool found =
        db.QueryFirstRow(lastStored ? "SELECT [Entries], [LastEntryID], [LastHash], [Seal], (SELECT MAX([EntryID]) "
                                      "FROM AuditTrail) AS LastID FROM AuditTrailHead"
                                    : "SELECT [Entries], [LastEntryID], [LastHash], [Seal] FROM AuditTrailHead",
                         row) != FALSE;
    if (found) {
        auto integer = [&](size_t column) { return static_cast<int32_t>(std::atol(row.at(column).GetString())); };
        head.Entries = integer(0);
        head.LastEntryID = integer(1);
        head.LastHash = std::move(row.at(2));
        head.Seal = std::move(row.at(3));
        if (lastStored)
            *lastStored = integer(4);
    }
    return found;
}

// Values set in place (a list of variants would copy every text twice).
void Add(std::vector<CDBVariant>& values, int32_t value)
{
    values.emplace_back().SetLong(value);
}

void Add(std::vector<CDBVariant>& values, const CString& value)
{
    values.emplace_back().SetString(value);
}

void Add(std::vector<CDBVariant>& values, CString&& value)
{
    values.emplace_back().SetString(std::move(value));
}

// The values go apart from the statement's text: one text per connection,
// prepared once however many entries are written. The entry's texts are
// taken over.
void Insert(CDatabase& db, CAuditEntry&& e)
{
    std::vector<CDBVariant> values;
    values.reserve(14);
    Add(values, e.EntryID);
    for (CString* text : {&e.Time, &e.Station, &e.UserName, &e.Action, &e.ObjectKind})
        Add(values, std::move(*text));
    Add(values, e.ObjectKey);
    for (CString* text :
         {&e.ObjectIdentifier, &e.FieldName, &e.OldValue, &e.NewValue, &e.Reason, &e.PreviousHash, &e.Hash})
        Add(values, std::move(*text));
    db.ExecuteSQL("INSERT INTO AuditTrail ([EntryID], [EntryTime], [Station], [UserName], [Action], [ObjectKind], "
                  "[ObjectKey], [ObjectIdentifier], [FieldName], [OldValue], [NewValue], [Reason], [PreviousHash], "
                  "[Hash]) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                  std::move(values));
}

void WriteHead(CDatabase& db, const CAuditSealer& sealer, int32_t entries, int32_t lastEntryID,
               const CString& lastHash)
{
    std::vector<CDBVariant> values;
    values.reserve(4);
    Add(values, entries);
    Add(values, lastEntryID);
    Add(values, lastHash);
    Add(values, HeadSeal(sealer, entries, lastEntryID, lastHash)); // a temporary: taken over
    db.ExecuteSQL("UPDATE AuditTrailHead SET [Entries] = ?, [LastEntryID] = ?, [LastHash] = ?, [Seal] = ?",
                  std::move(values));
}

CAuditEntry ReadEntry(CRecordset& rs)
{
    CAuditEntry e;
    e.EntryID = Integer(rs, "EntryID");
    e.Time = Text(rs, "EntryTime");
    e.Station = Text(rs, "Station");
    e.UserName = Text(rs, "UserName");
    e.Action = Text(rs, "Action");
    e.ObjectKind = Text(rs, "ObjectKind");
    e.ObjectKey = Integer(rs, "ObjectKey");
    e.ObjectIdentifier = Text(rs, "ObjectIdentifier");
    e.FieldName = Text(rs, "FieldName");
    e.OldValue = Text(rs, "OldValue");
    e.NewValue = Text(rs, "NewValue");
    e.Reason = Text(rs, "Reason");
    e.PreviousHash = Text(rs, "PreviousHash");
    e.Hash = Text(rs, "Hash");
    return e;
}

constexpr const char* kSelectEntries =
    "SELECT [EntryID], [EntryTime], [Station], [UserName], [Action], [ObjectKind], [ObjectKey], "
    "[ObjectIdentifier], [FieldName], [OldValue], [NewValue], [Reason], [PreviousHash], [Hash] FROM AuditTrail";

bool Contains(const std::vector<CString>& names, const CString& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// A stored value as the trail shows it: numbers in full, flags 0 or 1, dates
// "YYYY-MM-DD HH:MM:SS", NULL as an empty text.
CString DisplayText(const CDBVariant& value)
{
    CString text;
    switch (value.m_dwType) {
    case DBVT_BOOL:
        text = value.m_boolVal != FALSE ? "1" : "0";
        break;
    case DBVT_UCHAR:
        text.Format("%d", static_cast<int>(value.m_chVal));
        break;
    case DBVT_SHORT:
        text.Format("%d", static_cast<int>(value.m_iVal));
        break;
    case DBVT_LONG:
        text.Format("%d", static_cast<int>(value.m_lVal));
        break;
    case DBVT_SINGLE:
        text.Format("%.9g", static_cast<double>(value.m_fltVal));
        break;
    case DBVT_DOUBLE:
        text.Format("%.17g", value.m_dblVal);
        break;
    case DBVT_DATE: {
        const TIMESTAMP_STRUCT& d = *value.m_pdate;
        text.Format("%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute, d.second);
        break;
    }
    case DBVT_STRING:
    case DBVT_ASTRING:
    case DBVT_WSTRING:
        text = *value.m_pstring;
        break;
    default:
        break;
    }
    return text;
}


} // namespace

bool HasTables(CDatabase& db)
{
    return db.HasTable("AuditTrailHead") != FALSE;
}

void CreateTables(CDatabase& db)
{
    CTransaction transaction(db);
    db.ExecuteSQL("CREATE TABLE AuditTrail ([EntryID] INTEGER PRIMARY KEY AUTOINCREMENT, [EntryTime] VARCHAR(20), "
                  "[Station] VARCHAR(255), [UserName] VARCHAR(255), [Action] VARCHAR(50), [ObjectKind] VARCHAR(50), "
                  "[ObjectKey] INTEGER, [ObjectIdentifier] VARCHAR(255), [FieldName] VARCHAR(100), "
                  "[OldValue] VARCHAR(255), [NewValue] VARCHAR(255), [Reason] VARCHAR(255), "
                  "[PreviousHash] VARCHAR(64), [Hash] VARCHAR(64))");
    db.ExecuteSQL("CREATE TABLE AuditTrailHead ([Entries] INTEGER, [LastEntryID] INTEGER, [LastHash] VARCHAR(64), "
                  "[Seal] VARCHAR(64))");
    CString sql;
    sql.Format("INSERT INTO AuditTrailHead ([Entries], [LastEntryID], [LastHash], [Seal]) VALUES (0, 0, '', '%s')",
               HeadSeal(CAuditSealer(), 0, 0, CString()).GetString());
    db.ExecuteSQL(sql);
    transaction.Commit();
}

namespace {

// db's audit session when it keeps a trail, else nullptr.
CAuditSession* ActiveSession(CDatabase* db)
{
    auto* session = dynamic_cast<CAuditSession*>(db);
    return session != nullptr && session->IsAuditTrailPresent() ? session : nullptr;
}

} // namespace

bool IsActive(CDatabase* db)
{
    return ActiveSession(db) != nullptr;
}

void Write(CDatabase* db, const std::vector<CAuditEntry>& entries, const CTransaction* enclosing)
{
    CAuditSession* const session = entries.empty() ? nullptr : ActiveSession(db);
    if (session == nullptr)
        return;
    const CString time = NowUtc();
    const CString station = Cut(HostName());
    const CString user = Cut(session->GetAuditUserName());
    const CString reason = Cut(session->GetAuditReason());

    const CAuditSealer& sealer = session->GetAuditSealer();
    // The entries and the head change together: in a scope of their own
    // unless the caller's scope undoes them with its own change.
    std::optional<CTransaction> transaction;
    if (enclosing == nullptr || !enclosing->IsOpen() || !db->IsInTransaction())
        transaction.emplace(*db);
    CHead head;
    int32_t lastStored = 0;
    if (!ReadHead(*db, head, &lastStored))
        AfxThrowDBException("The audit trail has lost its head row; no entry can be chained.");
    int32_t id = std::max(lastStored, head.LastEntryID);
    int32_t count = head.Entries;
    CString previous = std::move(head.LastHash);
    for (const CAuditEntry& given : entries) {
        CAuditEntry e;
        e.EntryID = ++id;
        e.Time = time;
        e.Station = station;
        e.UserName = given.UserName.IsEmpty() ? user : Cut(given.UserName);
        e.Action = Cut(given.Action, 50);
        e.ObjectKind = Cut(given.ObjectKind, 50);
        e.ObjectKey = given.ObjectKey;
        e.ObjectIdentifier = Cut(given.ObjectIdentifier);
        e.FieldName = Cut(given.FieldName, 100);
        e.OldValue = Cut(given.OldValue);
        e.NewValue = Cut(given.NewValue);
        e.Reason = reason;
        e.PreviousHash = previous;
        e.Hash = sealer.Seal(HashedParts(e));
        previous = e.Hash;
        Insert(*db, std::move(e));
        ++count;
    }
    WriteHead(*db, sealer, count, id, previous);
    if (transaction)
        transaction->Commit();
}

void Write(CDatabase* db, const char* action, const char* kind, int32_t key, const CString& identifier,
           const CString& field, const CString& oldValue, const CString& newValue)
{
    CAuditEntry e;
    e.Action = action;
    e.ObjectKind = kind;
    e.ObjectKey = key;
    e.ObjectIdentifier = identifier;
    e.FieldName = field;
    e.OldValue = oldValue;
    e.NewValue = newValue;
    Write(db, std::vector<CAuditEntry>{e});
}

void Write(CDatabase* db, const CTransaction& enclosing, const char* action, const char* kind, int32_t key,
           const CString& identifier)
{
    CAuditEntry e;
    e.Action = action;
    e.ObjectKind = kind;
    e.ObjectKey = key;
    e.ObjectIdentifier = identifier;
    std::vector<CAuditEntry> entries;
    entries.push_back(std::move(e));
    Write(db, entries, &enclosing);
}

CAuditRow ReadRow(CDatabase& db, const CString& sql)
{
    CAuditRow row;
    CRecordset rs(&db);
    rs.Open(CRecordset::forwardOnly, sql.GetString(), CRecordset::readOnly);
    if (!rs.IsEOF()) {
        row.Found = true;
        const short count = rs.GetODBCFieldCount();
        for (short i = 0; i < count; ++i) {
            CODBCFieldInfo info;
            rs.GetODBCFieldInfo(i, info);
            CDBVariant value;
            rs.GetFieldValue(i, value);
            if (value.m_dwType == DBVT_BINARY) {
                const CByteArray& bytes = *value.m_pbinary;
                CString size;
                size.Format("%d bytes", static_cast<int>(bytes.GetSize()));
                row.Columns.emplace_back(info.m_strName, size);
                row.BinaryContent.emplace_back(
                    info.m_strName,
                    CString(reinterpret_cast<const char*>(bytes.GetData()), static_cast<int>(bytes.GetSize())));
                continue;
            }
            row.Columns.emplace_back(info.m_strName, DisplayText(value));
        }
    }
    rs.Close();
    return row;
}

std::vector<CAuditEntry> Changes(const char* kind, int32_t key, const CString& identifier, const CAuditRow& before,
                                 const CAuditRow& after, const std::vector<CString>& skip,
                                 const std::vector<CString>& secret, const CString& signColumn)
{
    std::vector<CAuditEntry> entries;
    for (const auto& [name, newText] : after.Columns) {
        if (Contains(skip, name))
            continue;
        const auto old = std::find_if(before.Columns.begin(), before.Columns.end(),
                                      [&](const auto& column) { return column.first == name; });
        const CString oldText = old != before.Columns.end() ? old->second : CString();
        bool changed = oldText != newText;
        bool binary = false;
        for (const auto& [binaryName, newBytes] : after.BinaryContent) {
            if (binaryName != name)
                continue;
            binary = true;
            const auto oldBytes = std::find_if(before.BinaryContent.begin(), before.BinaryContent.end(),
                                               [&](const auto& column) { return column.first == name; });
            changed = oldBytes == before.BinaryContent.end() || oldBytes->second != newBytes;
        }
        if (!changed)
            continue;
        CAuditEntry e;
        e.Action = kChange;
        e.ObjectKind = kind;
        e.ObjectKey = key;
        e.ObjectIdentifier = identifier;
        e.FieldName = name;
        if (Contains(secret, name)) {
            e.NewValue = kPasswordChanged;
        } else if (binary) {
            e.OldValue = oldText;
            CString text;
            text.Format("%s changed, %s", name.GetString(), newText.GetString());
            e.NewValue = text;
        } else {
            e.OldValue = oldText;
            e.NewValue = newText;
            if (!signColumn.IsEmpty() && name == signColumn && newText != "0" && newText != "" &&
                (oldText == "0" || oldText.IsEmpty()))
                e.Action = kSign;
        }
        entries.push_back(e);
    }
    return entries;
}

CAuditVerifyResult Verify(CDatabase& db)
{
    CAuditVerifyResult result;
    if (!HasTables(db))
        return result;
    const CAuditSealer sealer;
    CRecordset rs(&db);
    CString sql;
    sql.Format("%s ORDER BY [EntryID]", kSelectEntries);
    rs.Open(CRecordset::forwardOnly, sql.GetString(), CRecordset::readOnly);
    CString previous;
    int32_t lastID = 0;
    for (; !rs.IsEOF(); rs.MoveNext()) {
        const CAuditEntry e = ReadEntry(rs);
        ++result.Entries;
        if (e.PreviousHash != previous) {
            result.Intact = false;
            result.BrokenEntryID = e.EntryID;
            result.Problem.Format("Entry %d does not follow the entry before it: an entry was removed or "
                                  "inserted before it.",
                                  static_cast<int>(e.EntryID));
            break;
        }
        if (sealer.Seal(HashedParts(e)) != e.Hash) {
            result.Intact = false;
            result.BrokenEntryID = e.EntryID;
            result.Problem.Format("Entry %d was altered or inserted afterwards: its hash does not match its content.",
                                  static_cast<int>(e.EntryID));
            break;
        }
        previous = e.Hash;
        lastID = e.EntryID;
    }
    rs.Close();
    if (!result.Intact)
        return result;
    CHead head;
    if (!ReadHead(db, head) || HeadSeal(sealer, head.Entries, head.LastEntryID, head.LastHash) != head.Seal) {
        result.Intact = false;
        result.Problem = "The head of the audit trail is missing or was altered.";
        return result;
    }
    if (head.Entries != result.Entries || head.LastHash != previous || head.LastEntryID != lastID) {
        result.Intact = false;
        if (head.Entries > result.Entries)
            result.Problem.Format("The last %d entries of the audit trail are missing (after entry %d).",
                                  static_cast<int>(head.Entries - result.Entries), static_cast<int>(lastID));
        else
            result.Problem = "The audit trail does not end where its head says.";
    }
    return result;
}

std::vector<CAuditEntry> List(CDatabase& db, const CAuditFilter& filter)
{
    std::vector<CAuditEntry> entries;
    if (!HasTables(db))
        return entries;
    CString where;
    auto add = [&where](const CString& condition) {
        where += where.IsEmpty() ? " WHERE " : " AND ";
        where += condition;
    };
    CString condition;
    if (!filter.ObjectIdentifier.IsEmpty()) {
        condition.Format("[ObjectKind] IN ('sample', 'run') AND [ObjectIdentifier] = '%s'",
                         SqlQuote(filter.ObjectIdentifier).GetString());
        add(condition);
    }
    if (!filter.UserName.IsEmpty()) {
        condition.Format("([UserName] = '%s' OR ([ObjectKind] = 'user' AND [ObjectIdentifier] = '%s'))",
                         SqlQuote(filter.UserName).GetString(), SqlQuote(filter.UserName).GetString());
        add(condition);
    }
    if (!filter.From.IsEmpty()) {
        condition.Format("[EntryTime] >= '%s'", SqlQuote(filter.From).GetString());
        add(condition);
    }
    if (!filter.To.IsEmpty()) {
        // A bare date takes in the whole day.
        const CString to = filter.To.GetLength() == 10 ? filter.To + " 23:59:59" : filter.To;
        condition.Format("[EntryTime] <= '%s'", SqlQuote(to).GetString());
        add(condition);
    }
    CString sql;
    sql.Format("%s%s ORDER BY [EntryID]", kSelectEntries, where.GetString());
    CRecordset rs(&db);
    rs.Open(CRecordset::forwardOnly, sql.GetString(), CRecordset::readOnly);
    for (; !rs.IsEOF(); rs.MoveNext())
        entries.push_back(ReadEntry(rs));
    rs.Close();
    return entries;
}

} // namespace zenaudit
