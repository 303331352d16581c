// Column scan of the table recordsets (ScanTableConfiguration) and the schema
// upgrade hooks that a recordset keeps from its base, on each engine.

#include "RecordsetTestSupport.h"

#include "framework/UIHost.h"
#include "recordsets/CZENDB_PatternRecordsets.h"
#include "recordsets/CZENDB_SamplesRecordset.h"
#include "recordsets/CZENDB_SystemRecordsets.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// The thirteen recordsets whose columns the table configurations hold.
std::vector<std::unique_ptr<CZENDB_Recordset>> ConfigurationRecordsets(CDatabase* db)
{
    std::vector<std::unique_ptr<CZENDB_Recordset>> sets;
    sets.push_back(std::make_unique<CZENDB_DefaultProfileToUseRecordset>(db));
    sets.push_back(std::make_unique<CZENDB_DefaultRoutineToUseRecordset>(db));
    sets.push_back(std::make_unique<CZENDB_IndentsRunRecordset>(db));
    sets.push_back(std::make_unique<CZENDB_IndentTypeRecordset>(db));
    sets.push_back(std::make_unique<CZENDB_PatternsRecordset>(db));
    sets.push_back(std::make_unique<CZENDB_RegistrationDescriptionsRecordset>(db));
    sets.push_back(std::make_unique<CZENDB_RegistrationRecordset>(db));
    sets.push_back(std::make_unique<CZENDB_RoutineProfileRecordset>(db));
    sets.push_back(std::make_unique<CZENDB_RoutineTypesRecordset>(db));
    sets.push_back(std::make_unique<CZENDB_SampleProfilesRunRecordset>(db));
    sets.push_back(std::make_unique<CZENDB_SamplesRecordset>(db));
    sets.push_back(std::make_unique<CZENDB_SystemTableRecordset>(db));
    sets.push_back(std::make_unique<CZENDB_UserTableRecordset>(db));
    return sets;
}

// Frees the map's records when the test ends, however it ends.
struct CColumnMap {
    CMapStringToPtr map;
    ~CColumnMap() { rstest::FreeColumnMap(map); }
    const CODBCFieldInfo* Get(const char* name) const
    {
        void* value = nullptr;
        return map.Lookup(name, value) ? static_cast<const CODBCFieldInfo*>(value) : nullptr;
    }
};

class ScanOnEngine : public rstest::CEngineTest {};

TEST_P(ScanOnEngine, TwiceGivesOneFreshEntryPerColumn)
{
    rstest::CTestDatabase& db = *m_db;
    for (const auto& rs : ConfigurationRecordsets(&db.Db())) {
        SCOPED_TRACE(rs->GetDefaultSQL().GetString());
        CColumnMap columns;
        ASSERT_EQ(rs->ScanTableConfiguration(&columns.map), 1);
        ASSERT_EQ(static_cast<UINT>(columns.map.GetCount()), rs->m_nFields);
        // Mark the records of the first scan; the second must replace them all.
        for (POSITION pos = columns.map.GetStartPosition(); pos != nullptr;) {
            CString key;
            void* value = nullptr;
            columns.map.GetNextAssoc(pos, key, value);
            auto* info = static_cast<CODBCFieldInfo*>(value);
            EXPECT_EQ(info->m_strName, key);
            info->m_nPrecision = 12345;
        }
        ASSERT_EQ(rs->ScanTableConfiguration(&columns.map), 1);
        EXPECT_EQ(static_cast<UINT>(columns.map.GetCount()), rs->m_nFields);
        for (POSITION pos = columns.map.GetStartPosition(); pos != nullptr;) {
            CString key;
            void* value = nullptr;
            columns.map.GetNextAssoc(pos, key, value);
            EXPECT_NE(static_cast<CODBCFieldInfo*>(value)->m_nPrecision, 12345u)
                << "record of " << key.GetString() << " not replaced";
        }
    }
}

// Names as the schema spells them (CustomField19), types and lengths alike on
// both engines.
TEST_P(ScanOnEngine, ReportsDeclaredTypesAndTextLengths)
{
    rstest::CTestDatabase& db = *m_db;
    CZENDB_SamplesRecordset samples(&db.Db());
    CColumnMap columns;
    ASSERT_EQ(samples.ScanTableConfiguration(&columns.map), 1);
    struct Case {
        const char* column;
        SWORD type;
        UDWORD precision;
    };
    const Case cases[] = {
        {"SampleID", SQL_INTEGER, 10},        {"UserSampleID", SQL_VARCHAR, 50},
        {"WorkOrder", SQL_VARCHAR, 50},       {"Detail", SQL_VARCHAR, 100},
        {"Customer", SQL_VARCHAR, 100},       {"RegistrationDate", SQL_TYPE_TIMESTAMP, 19},
        {"Signed", SQL_BIT, 1},               {"CustomField1", SQL_VARCHAR, 255},
        {"CustomField19", SQL_VARCHAR, 255},  {"Trace", SQL_LONGVARBINARY, 1073741823},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.column);
        const CODBCFieldInfo* info = columns.Get(c.column);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->m_nSQLType, c.type);
        EXPECT_EQ(info->m_nPrecision, c.precision);
        EXPECT_EQ(info->m_nScale, 0);
    }
}

TEST(ScanTableConfiguration, WithoutConnectionAnswersZeroAndLeavesTheMap)
{
    CZENDB_SamplesRecordset rs;
    CColumnMap columns;
    columns.map.SetAt("Kept", new CODBCFieldInfo);
    EXPECT_EQ(rs.ScanTableConfiguration(&columns.map), 0);
    EXPECT_EQ(columns.map.GetCount(), 1);
    EXPECT_NE(columns.Get("Kept"), nullptr);
}

// A recordset whose open reports failure without raising an error.
class CRefusingRecordset : public CZENDB_RoutineTypesRecordset {
public:
    using CZENDB_RoutineTypesRecordset::CZENDB_RoutineTypesRecordset;
    BOOL Open(UINT, const char*, DWORD) override { return FALSE; }
};

TEST_P(ScanOnEngine, FailedOpenAndFailedStatement)
{
    rstest::CTestDatabase& db = *m_db;
    CScriptedUIHost host;
    CUIHostScope scope(&host);

    CRefusingRecordset refusing(&db.Db());
    CColumnMap untouched;
    EXPECT_EQ(refusing.ScanTableConfiguration(&untouched.map), 1);
    EXPECT_TRUE(untouched.map.IsEmpty());
    EXPECT_TRUE(host.GetMessages().empty());

    // A table missing from the file: the driver's message is shown once, with OK only.
    db->ExecuteSQL("DROP TABLE RoutineProfile");
    CZENDB_RoutineProfileRecordset broken(&db.Db());
    CColumnMap columns;
    columns.map.SetAt("Kept", new CODBCFieldInfo);
    EXPECT_EQ(broken.ScanTableConfiguration(&columns.map), 0);
    ASSERT_EQ(host.GetMessages().size(), 1u);
    EXPECT_EQ(host.GetMessages()[0].style, MB_OK);
    EXPECT_NE(host.GetMessages()[0].text.Find("RoutineProfile"), -1)
        << host.GetMessages()[0].text.GetString();
    EXPECT_EQ(columns.map.GetCount(), 1);
}

TEST_P(ScanOnEngine, BaseUpgradeHooksSucceedAndChangeNothing)
{
    rstest::CTestDatabase db(GetParam(), 6);
    const std::vector<std::string> samplesBefore = rstest::ColumnNames(db.Db(), "SELECT * FROM Samples");
    const std::vector<std::string> patternsBefore =
        rstest::ColumnNames(db.Db(), "SELECT * FROM Patterns");
    // Samples, Patterns, RoutineTypes and SystemTable have work of their own in
    // the steps to 1.7 .. 1.9; every other hook of every table is the base's.
    const auto hasOwnUpgrade = [](const CZENDB_Recordset& rs) {
        return dynamic_cast<const CZENDB_SamplesRecordset*>(&rs) != nullptr ||
               dynamic_cast<const CZENDB_PatternsRecordset*>(&rs) != nullptr ||
               dynamic_cast<const CZENDB_RoutineTypesRecordset*>(&rs) != nullptr ||
               dynamic_cast<const CZENDB_SystemTableRecordset*>(&rs) != nullptr;
    };
    int withAllBaseHooks = 0;
    for (const auto& rs : ConfigurationRecordsets(&db.Db())) {
        if (!hasOwnUpgrade(*rs)) {
            ++withAllBaseHooks;
            EXPECT_EQ(rs->UpdateToVer19(), 1);
            EXPECT_EQ(rs->UpdateToVer18(), 1);
            EXPECT_EQ(rs->UpdateToVer17(), 1);
        }
        EXPECT_EQ(rs->UpdateToVer16(), 1);
        EXPECT_EQ(rs->UpdateToVer15(), 1);
        EXPECT_EQ(rs->UpdateToVer14(), 1);
        EXPECT_EQ(rs->UpdateToVer13(), 1);
    }
    EXPECT_EQ(withAllBaseHooks, 9);
    EXPECT_EQ(rstest::ColumnNames(db.Db(), "SELECT * FROM Samples"), samplesBefore);
    EXPECT_EQ(rstest::ColumnNames(db.Db(), "SELECT * FROM Patterns"), patternsBefore);
    EXPECT_EQ(rstest::FirstColumn(db.Db(), "SELECT MinorVersion FROM SystemTable"),
              std::vector<std::string>{"6"});
}

INSTANTIATE_TEST_SUITE_P(Engines, ScanOnEngine, ::testing::ValuesIn(zentest::AllEngines()), rstest::EngineParamName);

} // namespace
