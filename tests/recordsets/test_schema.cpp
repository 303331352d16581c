// New database files at schema versions 1.6 to 1.9: every table has exactly
// the columns that its recordset reads, less those that later versions add;
// the version row, the registration fields and the indexes; refusal to
// overwrite or to create an unknown version.

#include "RecordsetTestSupport.h"

#include "recordsets/CZENDB_PatternRecordsets.h"
#include "recordsets/CZENDB_SamplesRecordset.h"
#include "recordsets/CZENDB_SystemRecordsets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::vector<std::string> Lower(std::vector<std::string> names)
{
    for (std::string& name : names)
        name = Lower(name);
    return names;
}

struct TableCase {
    const char* table;
    std::function<std::unique_ptr<CZENDB_Recordset>()> make;
};

template <class TSet>
std::function<std::unique_ptr<CZENDB_Recordset>()> Maker()
{
    return [] { return std::make_unique<TSet>(); };
}

const TableCase kTables[] = {
    {"Samples", Maker<CZENDB_SamplesRecordset>()},
    {"Patterns", Maker<CZENDB_PatternsRecordset>()},
    {"IndentType", Maker<CZENDB_IndentTypeRecordset>()},
    {"RoutineTypes", Maker<CZENDB_RoutineTypesRecordset>()},
    {"RoutineProfile", Maker<CZENDB_RoutineProfileRecordset>()},
    {"SampleProfilesRun", Maker<CZENDB_SampleProfilesRunRecordset>()},
    {"IndentsRun", Maker<CZENDB_IndentsRunRecordset>()},
    {"SystemTable", Maker<CZENDB_SystemTableRecordset>()},
    {"Table1", Maker<CZENDB_UserTableRecordset>()},
    {"Registration", Maker<CZENDB_RegistrationRecordset>()},
    {"RegistrationDescriptions", Maker<CZENDB_RegistrationDescriptionsRecordset>()},
    {"DefaultProfileToUse", Maker<CZENDB_DefaultProfileToUseRecordset>()},
    {"DefaultRoutineToUse", Maker<CZENDB_DefaultRoutineToUseRecordset>()},
};

// Columns that the upgrades add, with the minor version that brings them.
struct AddedColumn {
    const char* table;
    const char* column;
    int minor;
};
const AddedColumn kAdded[] = {
    {"Samples", "trace", 7},
    {"Patterns", "automaticallyedgealignment", 8},
    {"Patterns", "deleted", 9},
    {"RoutineTypes", "deleted", 9},
};

TEST(Schema, EachVersionHasExactlyItsColumns)
{
    // The recordsets' statements name the columns of version 1.9 in table order.
    rstest::CTestDatabase current(9);
    for (int minor = 6; minor <= 9; ++minor) {
        SCOPED_TRACE(minor);
        rstest::CTestDatabase db(minor);
        for (const TableCase& t : kTables) {
            SCOPED_TRACE(t.table);
            std::vector<std::string> expected =
                Lower(rstest::ColumnNames(current.Db(), t.make()->GetDefaultSQL()));
            for (const AddedColumn& added : kAdded) {
                if (added.table == std::string(t.table) && added.minor > minor)
                    std::erase(expected, std::string(added.column));
            }
            CString sql;
            sql.Format("SELECT * FROM %s", t.table);
            EXPECT_EQ(Lower(rstest::ColumnNames(db.Db(), sql)), expected);
        }
        CString version;
        version.Format("1.%d", minor);
        EXPECT_EQ(rstest::FirstColumn(db.Db(), "SELECT MajorVersion || '.' || MinorVersion FROM SystemTable"),
                  std::vector<std::string>{version.Str()});
        // Every recordset opens on its table at this version, except where a
        // column it reads is still missing.
        const bool complete = minor == 9;
        CZENDB_PatternsRecordset patterns(&db.Db());
        if (complete)
            EXPECT_NO_THROW(patterns.Open(CRecordset::dynaset, patterns.GetDefaultSQL(), CRecordset::none));
        else
            EXPECT_THROW(patterns.Open(CRecordset::dynaset, patterns.GetDefaultSQL(), CRecordset::none),
                         CDBException);
    }
}

TEST(Schema, RegistrationFieldsInDialogOrderWithDescriptions)
{
    rstest::CTestDatabase db;
    const std::vector<std::string> order = rstest::FirstColumn(
        db.Db(), "SELECT Control FROM Registration ORDER BY DisplayOrder");
    std::vector<std::string> expected = {"WorkOrder", "PartNo",           "Detail",  "Customer",
                                         "Material",  "RegistrationDate", "DueDate", "RegisteredBy"};
    for (int n = 1; n <= 19; ++n)
        expected.push_back("CustomField" + std::to_string(n));
    EXPECT_EQ(order, expected);
    EXPECT_EQ(rstest::FirstColumn(db.Db(), "SELECT COUNT(DISTINCT DisplayOrder) || ' ' || "
                                           "MIN(DisplayOrder) || ' ' || MAX(DisplayOrder) FROM Registration"),
              std::vector<std::string>{"27 0 26"});
    // Standard fields shown, custom fields hidden.
    EXPECT_EQ(rstest::FirstColumn(db.Db(), "SELECT Control FROM Registration WHERE Visible <> 0 "
                                           "ORDER BY DisplayOrder"),
              std::vector<std::string>(expected.begin(), expected.begin() + 8));
    // One description per field: standard fields by their column name.
    EXPECT_EQ(rstest::FirstColumn(db.Db(), "SELECT r.Control FROM Registration r JOIN "
                                           "RegistrationDescriptions d ON d.Control = r.Control "
                                           "ORDER BY r.DisplayOrder"),
              expected);
    EXPECT_EQ(rstest::FirstColumn(db.Db(), "SELECT Description FROM RegistrationDescriptions "
                                           "WHERE Control = 'DueDate'"),
              std::vector<std::string>{"DueDate"});
    EXPECT_EQ(rstest::FirstColumn(db.Db(), "SELECT Description FROM RegistrationDescriptions "
                                           "WHERE Control = 'CustomField7'"),
              std::vector<std::string>{"Campo personalizado 7"});
    EXPECT_EQ(rstest::FirstColumn(db.Db(), "SELECT COUNT(*) FROM Table1"), std::vector<std::string>{"0"});
}

TEST(Schema, IndexesOnLookupsAndParentKeys)
{
    rstest::CTestDatabase db;
    const char* const indexed[][2] = {
        {"Samples", "UserSampleID"},          {"Samples", "RegistrationDate"},
        {"Samples", "MeasuredDate"},          {"SampleProfilesRun", "SampleID"},
        {"IndentsRun", "ProfileID"},          {"IndentType", "PatternID"},
        {"RoutineProfile", "RoutineTypeID"},  {"DefaultProfileToUse", "SampleID"},
        {"DefaultRoutineToUse", "SampleID"},
    };
    for (const auto& [table, column] : indexed) {
        SCOPED_TRACE(std::string(table) + "." + column);
        CString sql;
        sql.Format("SELECT ii.name FROM sqlite_master m, pragma_index_list(m.name) il, "
                   "pragma_index_info(il.name) ii WHERE m.type = 'table' AND m.name = '%s'",
                   table);
        const std::vector<std::string> columns = rstest::FirstColumn(db.Db(), sql);
        EXPECT_NE(std::find(columns.begin(), columns.end(), column), columns.end());
    }
}

TEST(Schema, RefusesExistingFilesAndUnknownVersions)
{
    zentest::CTempDir dir;
    const std::string existing = dir.File("existing.db");
    zentest::WriteFileText(existing, "keep me");
    CString error;
    EXPECT_FALSE(ZenCreateDatabaseFile(existing.c_str(), 1, 9, &error));
    EXPECT_NE(error.Find("exists"), -1) << error.GetString();
    EXPECT_EQ(zentest::ReadFileText(existing), "keep me");

    const int versions[][2] = {{1, 5}, {1, 10}, {2, 9}, {0, 9}};
    for (const auto& [major, minor] : versions) {
        const std::string path = dir.File("v" + std::to_string(major) + std::to_string(minor));
        error.Empty();
        EXPECT_FALSE(ZenCreateDatabaseFile(path.c_str(), major, minor, &error));
        EXPECT_FALSE(error.IsEmpty());
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    EXPECT_FALSE(ZenCreateDatabaseFile("", 1, 9, nullptr));
    EXPECT_FALSE(ZenCreateDatabaseFile(dir.File("missing/folder/x.db").c_str(), 1, 9, &error));
    EXPECT_FALSE(error.IsEmpty());

    const std::string fresh = dir.File("fresh; name.db");
    EXPECT_TRUE(ZenCreateDatabaseFile(fresh.c_str(), 1, 9, &error)) << error.GetString();
    EXPECT_TRUE(std::filesystem::exists(fresh));
    EXPECT_FALSE(ZenCreateDatabaseFile(fresh.c_str()));
}

} // namespace
