// A sample's life on both engines through the persistent records: save
// (the key the database assigns), load by key and by identifier in any ASCII
// letter case, update with its trace, a second sample with the identifier
// refused, default test rows, delete. The server's database gets the station
// schema by its connection string; SQLite's is a new file.
#include "EngineTestSupport.h"

#include "database/Schema.h"
#include "databaseobjects/CZENDB_Pattern.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "framework/CObList.h"
#include "framework/CTime.h"
#include "framework/UIHost.h"
#include "framework/sql/Database.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using zentest::ETestEngine;

namespace {

class EngineSample : public ::testing::TestWithParam<ETestEngine> {
protected:
    EngineSample() : m_scope(&m_host) {}
    void SetUp() override
    {
        ZEN_REQUIRE_ENGINE(GetParam());
        m_database = std::make_unique<zentest::CTestDatabase>(GetParam());
        CString error;
        ASSERT_TRUE(ZenCreateDatabaseSchema(m_database->ConnectString(), 1, 9, &error)) << error.Str();
        m_db.OpenEx(m_database->ConnectString(), CDatabase::noOdbcDialog);
    }
    void TearDown() override { m_db.Close(); }

    CZENDB_Sample MakeSample(const char* userSampleID)
    {
        CZENDB_Sample sample(&m_db, userSampleID);
        sample.WorkOrder = "WO-17";
        sample.Detail = "Zahnrad, Zahn 3 – ø 40";
        sample.RegistrationDate = CTime(2014, 3, 5, 10, 20, 30);
        sample.MeasuredDate = CTime(2014, 3, 6, 8, 0, 5);
        sample.Signed = TRUE;
        sample.CustomField19 = "last";
        sample.Trace.AddPoint({1.0, 2.0});
        sample.Trace.AddPoint({3.5, -4.25});
        sample.Trace.AddTrace();
        sample.Trace.AddPoint({7.0, 8.0});
        return sample;
    }

    std::unique_ptr<zentest::CTestDatabase> m_database;
    CDatabase m_db;
    CScriptedUIHost m_host;
    CUIHostScope m_scope;
};

void ExpectSameStoredFields(const CZENDB_Sample& actual, const CZENDB_Sample& expected)
{
    EXPECT_EQ(actual.SampleID, expected.SampleID);
    EXPECT_EQ(actual.UserSampleID, expected.UserSampleID);
    EXPECT_EQ(actual.WorkOrder, expected.WorkOrder);
    EXPECT_EQ(actual.Detail, expected.Detail);
    EXPECT_EQ(actual.RegistrationDate.GetTime(), expected.RegistrationDate.GetTime());
    EXPECT_EQ(actual.DueDate.GetTime(), expected.DueDate.GetTime());
    EXPECT_EQ(actual.MeasuredDate.GetTime(), expected.MeasuredDate.GetTime());
    EXPECT_EQ(actual.Signed, expected.Signed);
    EXPECT_EQ(actual.CustomField19, expected.CustomField19);
    EXPECT_TRUE(actual.Trace == expected.Trace);
}

TEST_P(EngineSample, IsSavedLoadedUpdatedAndDeleted)
{
    CZENDB_Sample sample = MakeSample("S-1");
    ASSERT_TRUE(sample.Save());
    EXPECT_EQ(sample.SampleID, 1) << "the key the database assigned";

    CZENDB_Sample byKey(&m_db);
    ASSERT_TRUE(byKey.Load(sample.SampleID));
    ExpectSameStoredFields(byKey, sample);
    CZENDB_Sample byIdentifier(&m_db);
    ASSERT_TRUE(byIdentifier.Load(CString("s-1")));
    EXPECT_EQ(byIdentifier.UserSampleID, CString("S-1")) << "the stored spelling";

    sample.WorkOrder = "WO-18";
    sample.Trace.AddPoint({9.0, 9.5});
    ASSERT_TRUE(sample.Save());
    EXPECT_EQ(sample.SampleID, 1);
    ASSERT_TRUE(byKey.Load(1));
    ExpectSameStoredFields(byKey, sample);

    CZENDB_Sample second = MakeSample("s-1");
    ESampleSaveOutcome outcome = ESampleSaveOutcome::Saved;
    EXPECT_FALSE(second.Save(outcome));
    EXPECT_EQ(outcome, ESampleSaveOutcome::IdentifierTaken);
    CZENDB_Sample other = MakeSample("S-2");
    ASSERT_TRUE(other.Save());
    EXPECT_EQ(other.SampleID, 2);

    ASSERT_TRUE(sample.SetDefaultProfileOrRoutine(true, 7));
    ASSERT_TRUE(sample.SetDefaultProfileOrRoutine(true, 8));
    bool isRoutine = false;
    int32_t id = 0;
    ASSERT_TRUE(sample.GetDefaultProfileOrRoutine(isRoutine, id));
    EXPECT_TRUE(isRoutine);
    EXPECT_EQ(id, 8);

    ASSERT_TRUE(sample.Delete());
    EXPECT_FALSE(byKey.Load(1));
    ASSERT_TRUE(byKey.Load(2));
    EXPECT_TRUE(m_host.GetMessages().empty()) << m_host.GetMessages().front().text.Str();
}

// The planned indents' statement spells a column otherwise than the schema.
TEST_P(EngineSample, PlannedIndentsOfAPatternAreStoredAndListed)
{
    CZENDB_Pattern pattern(&m_db);
    ASSERT_TRUE(pattern.Save());
    EXPECT_EQ(pattern.PatternID, 1);
    for (double x : {0.3, 0.1, 0.2})
        ASSERT_TRUE(pattern.AddIndent(x, -x, 100.0 * x));
    CObList indents;
    ASSERT_TRUE(pattern.GetAllIndentTypes(indents));
    std::vector<double> loads;
    POSITION pos = indents.GetHeadPosition();
    while (pos != nullptr) {
        auto* indent = static_cast<CZENDB_IndentType*>(indents.GetNext(pos));
        loads.push_back(indent->TestLoad);
        delete indent;
    }
    ASSERT_EQ(loads.size(), 3u);
    EXPECT_DOUBLE_EQ(loads[0], 10.0);
    EXPECT_DOUBLE_EQ(loads[1], 20.0);
    EXPECT_DOUBLE_EQ(loads[2], 30.0);
    EXPECT_TRUE(m_host.GetMessages().empty()) << m_host.GetMessages().front().text.Str();
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineSample, ::testing::ValuesIn(zentest::AllEngines()),
                         [](const ::testing::TestParamInfo<ETestEngine>& engine) {
                             return std::string(zentest::EngineName(engine.param));
                         });

} // namespace
