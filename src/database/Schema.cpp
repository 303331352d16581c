// Creation of a new station database file: tables and columns of schema
// versions 1.6 to 1.9, the version row, the registration fields and their
// descriptions, the lookup indexes and (at the current version) the unique
// index of the sample identifiers. Everything runs through the SQL layer
// in one transaction; a file that could not be completed is removed again.

#include "database/Schema.h"
#include "database/internal/LoginFailures.h"
#include "database/internal/SchemaStatements.h"

#include "databaseobjects/AuditTrail.h"
#include "databaseobjects/SampleSignatures.h"
#include "databaseobjects/internal/SampleIdentifier.h"

#include "framework/Exceptions.h"
#include "framework/sql/ConnectString.h"
#include "framework/sql/Database.h"
#include "framework/sql/Recordset.h"
#include "framework/sql/SqlText.h"
#include "framework/sql/Transaction.h"

#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

// One column of a table: its bracketed name, its declared type, and the minor
// version of schema 1.x from which on the table has it.
struct ColumnDef {
    const char* name;
    const char* type;
    int sinceMinor;
};

struct TableDef {
    const char* name;
    std::vector<ColumnDef> columns;
};

constexpr int kOldestMinor = 6;
constexpr int kCurrentMinor = 9;

constexpr const char* kKey = "INTEGER PRIMARY KEY AUTOINCREMENT";
constexpr const char* kLong = "INTEGER";
constexpr const char* kInt = "INTEGER";
constexpr const char* kDouble = "DOUBLE";
constexpr const char* kBit = "BIT";
constexpr const char* kDate = "DATETIME";
constexpr const char* kBinary = "IMAGE";
// Text lengths: identifiers and people's names, longer free texts, and the
// longest text column (free fields, comments, descriptions, encoded credentials).
constexpr const char* kShortText = "VARCHAR(50)";
constexpr const char* kMediumText = "VARCHAR(100)";
constexpr const char* kLongText = "VARCHAR(255)";

// Columns in the order in which the tables' recordsets read them; a column
// added by an upgrade stands where ALTER TABLE ... ADD puts it, at the end,
// so that a new file and an upgraded one have the same layout.
std::vector<TableDef> SchemaTables()
{
    std::vector<ColumnDef> samples = {
        {"[SampleID]", kKey, 0},
        {"[UserSampleID]", kShortText, 0},
        {"[WorkOrder]", kShortText, 0},
        {"[PartNo]", kShortText, 0},
        {"[Detail]", kMediumText, 0},
        {"[Customer]", kMediumText, 0},
        {"[Material]", kShortText, 0},
        {"[RegistrationDate]", kDate, 0},
        {"[RegisteredBy]", kShortText, 0},
        {"[DueDate]", kDate, 0},
        {"[MeasuredDate]", kDate, 0},
        {"[MeasuredBy]", kShortText, 0},
        {"[Signed]", kBit, 0},
        {"[Signature]", kShortText, 0},
    };
    static const char* const kCustomFields[] = {
        "[CustomField1]",  "[CustomField2]",  "[CustomField3]",  "[CustomField4]",
        "[CustomField5]",  "[CustomField6]",  "[CustomField7]",  "[CustomField8]",
        "[CustomField9]",  "[CustomField10]", "[CustomField11]", "[CustomField12]",
        "[CustomField13]", "[CustomField14]", "[CustomField15]", "[CustomField16]",
        "[CustomField17]", "[CustomField18]", "[CustomField19]"};
    for (const char* field : kCustomFields)
        samples.push_back({field, kLongText, 0});
    samples.push_back({"[Trace]", kBinary, 7});

    return {
        {"Samples", samples},
        {"Patterns",
         {{"[PatternID]", kKey, 0},
          {"[Name]", kMediumText, 0},
          {"[Comment]", kLongText, 0},
          {"[PatternType]", kInt, 0},
          {"[SpacingType]", kInt, 0},
          {"[ZigZagSpacing]", kDouble, 0},
          {"[NrOfIndents]", kInt, 0},
          {"[SpacingBetweenIndents]", kDouble, 0},
          {"[TotalTraverse]", kDouble, 0},
          {"[XOffset]", kDouble, 0},
          {"[YOffset]", kDouble, 0},
          {"[NrOfLines]", kInt, 0},
          {"[LineSpacing]", kDouble, 0},
          {"[TestLoadMethod]", kInt, 0},
          {"[TestLoad]", kDouble, 0},
          {"[Standard]", kInt, 0},
          {"[ECD1At]", kInt, 0},
          {"[ECD2At]", kInt, 0},
          {"[ECDAtUnitConv]", kInt, 0},
          {"[ECD2AtUnitConv]", kInt, 0},
          {"[CalcECD1]", kBit, 0},
          {"[CalcECD2]", kBit, 0},
          {"[CalcCoreHardness]", kBit, 0},
          {"[DIN50190Part2ECDMethod]", kInt, 0},
          {"[DIN50190Part2SurfacePercentage]", kDouble, 0},
          {"[DIN50190Part2FixHardness]", kInt, 0},
          {"[DIN50190Part2FixHardnessUnitConv]", kInt, 0},
          {"[DIN50190Part3AddToCore]", kInt, 0},
          {"[CoreHardnessNofIndents]", kInt, 0},
          {"[MultilaneAverageMethod]", kInt, 0},
          {"[CurveType]", kInt, 0},
          {"[GaussianIgnoreSoftDueToCarbonLoss]", kBit, 0},
          {"[GaussianIgnoreIndentOverHardnessLimit]", kBit, 0},
          {"[GaussianIgnoreIndentIfOutlier]", kBit, 0},
          {"[GaussianHardnessLimitInputUnit]", kInt, 0},
          {"[GaussianHardnessLimit]", kInt, 0},
          {"[GaussianOutlierLimit]", kInt, 0},
          {"[FocusStrategy]", kInt, 0},
          {"[FocusAfterEvery]", kDouble, 0},
          {"[MakeAndMeasureStrategy]", kInt, 0},
          {"[StopXindentsAfterECD]", kInt, 0},
          {"[DiagramXAutomatic]", kBit, 0},
          {"[DiagramYAutomatic]", kBit, 0},
          {"[DiagramXMin]", kDouble, 0},
          {"[DiagramXMax]", kDouble, 0},
          {"[DiagramYMin]", kInt, 0},
          {"[DiagramYMax]", kInt, 0},
          {"[DiagramXAxisUnit]", kInt, 0},
          {"[DiagramShowIndentHardness]", kBit, 0},
          {"[DiagramShowShowAsRockwell]", kBit, 0},
          {"[DiagramShowResults]", kBit, 0},
          {"[DiagramShowECDTolerances]", kBit, 0},
          {"[ECDToleranceMin]", kDouble, 0},
          {"[ECDToleranceMax]", kDouble, 0},
          {"[TestloadUnit]", kInt, 0},
          {"[ECD3At]", kInt, 0},
          {"[ECD4At]", kInt, 0},
          {"[AutomaticallyEdgeAlignment]", kBit, 8},
          {"[Deleted]", kBit, 9}}},
        {"IndentType",
         {{"[PatternID]", kLong, 0},
          {"[XPos]", kDouble, 0},
          {"[YPos]", kDouble, 0},
          {"[TestLoad]", kDouble, 0}}},
        {"RoutineTypes",
         {{"[RoutineTypeID]", kKey, 0},
          {"[Name]", kMediumText, 0},
          {"[Comment]", kLongText, 0},
          {"[Deleted]", kBit, 9}}},
        {"RoutineProfile",
         {{"[RoutineProfileTypeID]", kKey, 0},
          {"[RoutineTypeID]", kLong, 0},
          {"[PatternID]", kLong, 0},
          {"[Position]", kShortText, 0},
          {"[UsePrestoredCoordinates]", kInt, 0},
          {"[XPos]", kDouble, 0},
          {"[YPos]", kDouble, 0},
          {"[Direction]", kDouble, 0}}},
        {"SampleProfilesRun",
         {{"[ProfileID]", kKey, 0},
          {"[SampleID]", kLong, 0},
          {"[ProfileNr]", kLong, 0},
          {"[Position]", kShortText, 0},
          {"[StagePosX]", kDouble, 0},
          {"[StagePosY]", kDouble, 0},
          {"[Direction]", kDouble, 0},
          {"[ProfileName]", kMediumText, 0},
          {"[Standard]", kInt, 0},
          {"[ECD1At]", kInt, 0},
          {"[ECD2At]", kInt, 0},
          {"[ECDAtUnitConv]", kInt, 0},
          {"[ECD2AtUnitConv]", kInt, 0},
          {"[CalcECD1]", kBit, 0},
          {"[CalcECD2]", kBit, 0},
          {"[CalcCoreHardness]", kBit, 0},
          {"[DIN50190Part2ECDMethod]", kInt, 0},
          {"[DIN50190Part2SurfacePercentage]", kDouble, 0},
          {"[DIN50190Part2FixHardness]", kInt, 0},
          {"[DIN50190Part2FixHardnessUnitConv]", kInt, 0},
          {"[DIN50190Part3AddToCore]", kInt, 0},
          {"[CoreHardnessNofIndents]", kInt, 0},
          {"[MultilaneAverageMethod]", kInt, 0},
          {"[CurveType]", kInt, 0},
          {"[GaussianIgnoreSoftDueToCarbonLoss]", kBit, 0},
          {"[GaussianIgnoreIndentOverHardnessLimit]", kBit, 0},
          {"[GaussianIgnoreIndentIfOutlier]", kBit, 0},
          {"[GaussianHardnessLimitInputUnit]", kInt, 0},
          {"[GaussianHardnessLimit]", kInt, 0},
          {"[GaussianOutlierLimit]", kInt, 0},
          {"[DiagramXAutomatic]", kBit, 0},
          {"[DiagramYAutomatic]", kBit, 0},
          {"[DiagramXMin]", kDouble, 0},
          {"[DiagramXMax]", kDouble, 0},
          {"[DiagramYMin]", kInt, 0},
          {"[DiagramYMax]", kInt, 0},
          {"[DiagramXAxisUnit]", kInt, 0},
          {"[DiagramShowIndentHardness]", kBit, 0},
          {"[DiagramShowShowAsRockwell]", kBit, 0},
          {"[DiagramShowResults]", kBit, 0},
          {"[DiagramShowECDTolerances]", kBit, 0},
          {"[ECDToleranceMin]", kDouble, 0},
          {"[ECDToleranceMax]", kDouble, 0},
          {"[TestloadUnit]", kInt, 0},
          {"[ECD3At]", kInt, 0},
          {"[ECD4At]", kInt, 0}}},
        {"IndentsRun",
         {{"[IndentID]", kKey, 0},
          {"[ProfileID]", kLong, 0},
          {"[Actual distance from edge]", kDouble, 0},
          {"[Actual distance from axis]", kDouble, 0},
          {"[D1]", kDouble, 0},
          {"[D2]", kDouble, 0},
          {"[Actual type of indentor]", kInt, 0},
          {"[Actual testload]", kDouble, 0},
          {"[Hardness]", kDouble, 0},
          {"[Hardness unit]", "VARCHAR(20)", 0},
          {"[Objective]", kShortText, 0},
          {"[Calibration data]", kDouble, 0}}},
        {"SystemTable", {{"[MajorVersion]", kInt, 0}, {"[MinorVersion]", kInt, 0}}},
        {"Table1", {{"[Field0]", kLongText, 0}, {"[Field1]", kLongText, 0}, {"[Field2]", kInt, 0}}},
        {"Registration",
         {{"[Control]", kShortText, 0}, {"[Visible]", kBit, 0}, {"[DisplayOrder]", kLong, 0}}},
        {"RegistrationDescriptions", {{"[Control]", kShortText, 0}, {"[Description]", kLongText, 0}}},
        {"DefaultProfileToUse", {{"[SampleID]", kLong, 0}, {"[UseProfileTypeID]", kLong, 0}}},
        {"DefaultRoutineToUse", {{"[SampleID]", kLong, 0}, {"[UseRoutineTypeID]", kLong, 0}}},
    };
}

// Lookups by identifier and date, and every selection of child rows by their
// parent's key.
const char* const kIndexes[] = {
    "CREATE INDEX IX_Samples_UserSampleID ON Samples ([UserSampleID])",
    "CREATE INDEX IX_Samples_RegistrationDate ON Samples ([RegistrationDate])",
    "CREATE INDEX IX_Samples_MeasuredDate ON Samples ([MeasuredDate])",
    "CREATE INDEX IX_SampleProfilesRun_SampleID ON SampleProfilesRun ([SampleID])",
    "CREATE INDEX IX_IndentsRun_ProfileID ON IndentsRun ([ProfileID])",
    "CREATE INDEX IX_IndentType_PatternID ON IndentType ([PatternID])",
    "CREATE INDEX IX_RoutineProfile_RoutineTypeID ON RoutineProfile ([RoutineTypeID])",
    "CREATE INDEX IX_DefaultProfileToUse_SampleID ON DefaultProfileToUse ([SampleID])",
    "CREATE INDEX IX_DefaultRoutineToUse_SampleID ON DefaultRoutineToUse ([SampleID])",
};

// The registration fields in display order. The registration dialog's template
// has date pickers at positions 5 and 6 and edits everywhere else, so the two
// date fields must stand there. Standard fields are described by their own
// column name, which the dialogs replace with the localised label.
// New files show the standard fields and hide the custom ones.
const char* const kStandardFields[] = {"WorkOrder", "PartNo",           "Detail",  "Customer",
                                       "Material",  "RegistrationDate", "DueDate", "RegisteredBy"};
constexpr int kCustomFieldCount = 19;

CString CreateTableSql(const TableDef& table, int minor)
{
    CString sql;
    sql.Format("CREATE TABLE %s (", table.name);
    bool first = true;
    for (const ColumnDef& column : table.columns) {
        if (column.sinceMinor > minor)
            continue;
        sql.AppendFormat("%s%s %s", first ? "" : ", ", column.name, column.type);
        first = false;
    }
    sql += ")";
    return sql;
}

void AddRegistrationField(CDatabase& db, const char* control, bool visible, int order,
                          const CString& description)
{
    CString sql;
    sql.Format("INSERT INTO Registration ([Control], [Visible], [DisplayOrder]) VALUES ('%s', %d, %d)",
               SqlQuote(control).GetString(), visible ? 1 : 0, order);
    db.ExecuteSQL(sql);
    sql.Format("INSERT INTO RegistrationDescriptions ([Control], [Description]) VALUES ('%s', '%s')",
               SqlQuote(control).GetString(), SqlQuote(description).GetString());
    db.ExecuteSQL(sql);
}

// --- Audit trail ---------------------------------------------------------------
// Files of the current version start with an empty, sealed audit trail and
// the tables of signatures; files of older versions are made without them, as
// the software of their day made them (opening or upgrading adds them).
void AddAuditTrailTables(CDatabase& db, int minor)
{
    if (minor == kCurrentMinor) {
        zenaudit::CreateTables(db);
        zensign::CreateTablesWhenMissing(db);
    }
}

void FillSchema(CDatabase& db, int major, int minor)
{
    for (const CString& statement : zendb_schema::CreateTableStatements(minor))
        db.ExecuteSQL(statement);
    // Files of the current version refuse a second sample with an identifier;
    // files of older versions are made as the software of their day made them
    // (the upgrade adds the index).
    if (minor == kCurrentMinor)
        db.ExecuteSQL(zendb_ident::kCreateIndexSql);
    AddAuditTrailTables(db, minor);

    CString sql;
    sql.Format("INSERT INTO SystemTable ([MajorVersion], [MinorVersion]) VALUES (%d, %d)", major,
               minor);
    db.ExecuteSQL(sql);

    int order = 0;
    for (const char* control : kStandardFields) {
        AddRegistrationField(db, control, true, order, control);
        ++order;
    }
    for (int n = 1; n <= kCustomFieldCount; ++n) {
        CString control;
        control.Format("CustomField%d", n);
        CString description;
        description.Format("Campo personalizado %d", n);
        AddRegistrationField(db, control, false, order, description);
        ++order;
    }
}

// The failed-login table, kept apart from the versioned tables: every new
// file gets it, whatever its version.
void CreateLoginFailuresTable(CDatabase& db)
{
    db.ExecuteSQL(zendb_logins::kCreateTableSql);
}

void SetError(CString* error, const CString& text)
{
    if (error != nullptr)
        *error = text;
}

} // namespace

namespace zendb_schema {

std::vector<CStationTable> StationTables()
{
    std::vector<CStationTable> tables;
    for (const TableDef& table : SchemaTables()) {
        CStationTable station;
        station.name = table.name;
        for (const ColumnDef& column : table.columns) {
            if (std::strcmp(column.type, kKey) == 0) {
                station.keyColumn = CString(column.name).Mid(1, static_cast<int>(std::strlen(column.name)) - 2);
                break;
            }
        }
        tables.push_back(station);
    }
    return tables;
}

std::vector<CString> CreateTableStatements(int minor)
{
    std::vector<CString> statements;
    for (const TableDef& table : SchemaTables())
        statements.push_back(CreateTableSql(table, minor));
    for (const char* index : kIndexes)
        statements.emplace_back(index);
    return statements;
}

} // namespace zendb_schema

BOOL ZenCreateDatabaseFile(const char* path, int schemaVersionMajor, int schemaVersionMinor,
                           CString* error)
{
    CString text;
    if (path == nullptr || *path == '\0') {
        SetError(error, "No database file name given.");
        return FALSE;
    }
    if (schemaVersionMajor != 1 || schemaVersionMinor < kOldestMinor ||
        schemaVersionMinor > kCurrentMinor) {
        text.Format("Schema version %d.%d cannot be created; versions 1.%d to 1.%d can.",
                    schemaVersionMajor, schemaVersionMinor, kOldestMinor, kCurrentMinor);
        SetError(error, text);
        return FALSE;
    }
    std::error_code ec;
    if (std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found) {
        text.Format("The database file '%s' exists already; it is not overwritten.", path);
        SetError(error, text);
        return FALSE;
    }
    const CString connect = CString("DBQ=") + FormatConnectStringValue(path) + ";";

    try {
        CDatabase::CreateDatabase(connect);
    } catch (const CException& e) {
        text.Format("Failed to create the database file '%s': %s", path,
                    e.GetMessageText().GetString());
        SetError(error, text);
        return FALSE;
    }

    // From here on the file is ours: remove it again if it cannot be completed.
    try {
        CDatabase db;
        db.OpenEx(connect, CDatabase::noOdbcDialog);
        {
            CTransaction transaction(db);
            FillSchema(db, schemaVersionMajor, schemaVersionMinor);
            CreateLoginFailuresTable(db);
            transaction.Commit();
        }
        db.Close();
        return TRUE;
    } catch (const CDBException& e) {
        text.Format("Failed to create the tables of '%s': %s", path, e.m_strError.GetString());
    } catch (const CException& e) {
        text.Format("Failed to create the tables of '%s': %s", path, e.GetMessageText().GetString());
    } catch (const std::exception& e) {
        text.Format("Failed to create the tables of '%s': %s", path, e.what());
    }
    std::filesystem::remove(path, ec);
    SetError(error, text);
    return FALSE;
}

BOOL ZenCreateDatabaseSchema(const char* connectString, int schemaVersionMajor, int schemaVersionMinor,
                             CString* error)
{
    CString text;
    if (schemaVersionMajor != 1 || schemaVersionMinor < kOldestMinor || schemaVersionMinor > kCurrentMinor) {
        text.Format("Schema version %d.%d cannot be created; versions 1.%d to 1.%d can.", schemaVersionMajor,
                    schemaVersionMinor, kOldestMinor, kCurrentMinor);
        SetError(error, text);
        return FALSE;
    }
    const CString shown = MaskConnectPassword(connectString ? connectString : "");
    try {
        CDatabase db;
        db.OpenEx(connectString, CDatabase::noOdbcDialog);
        bool hasVersionTable = true;
        try {
            CRecordset probe(&db);
            probe.Open(CRecordset::forwardOnly, "SELECT COUNT(*) AS N FROM SystemTable", CRecordset::readOnly);
        } catch (const CDBException&) {
            hasVersionTable = false;
        }
        if (hasVersionTable) {
            text.Format("The database '%s' holds a station database already; it is not overwritten.",
                        shown.GetString());
            SetError(error, text);
            return FALSE;
        }
        {
            CTransaction transaction(db);
            FillSchema(db, schemaVersionMajor, schemaVersionMinor);
            CreateLoginFailuresTable(db);
            transaction.Commit();
        }
        db.Close();
        return TRUE;
    } catch (const CDBException& e) {
        text.Format("Failed to create the tables of '%s': %s", shown.GetString(), e.m_strError.GetString());
    } catch (const CException& e) {
        text.Format("Failed to create the tables of '%s': %s", shown.GetString(), e.GetMessageText().GetString());
    } catch (const std::exception& e) {
        text.Format("Failed to create the tables of '%s': %s", shown.GetString(), e.what());
    }
    SetError(error, text);
    return FALSE;
}
