// Profiles and templates stored in a real database (a file, or a database on
// the test server) and read back: made
// profiles (single-lane and three-lane, Vickers and Knoop) evaluated by
// interpolation and by the Gaussian, runs found by sample and profile number,
// and teach-in and computed patterns saved through their templates.
// The bodies are templates over the record classes, so that they are compiled
// against the records' database operations only where those exist; until then
// the tests report themselves skipped.

#include "ProfileTestSupport.h"

#include "EngineTestSupport.h"
#include "TestSupport.h"

#include "database/Schema.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "framework/sql/Database.h"
#include "profile/ProfileTemplate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>

using namespace proftest;
using zentest::ETestEngine;

namespace {

template <class TRun, class TMade, class TSample, class TPattern>
concept PersistentRecords = requires(TRun& run, TMade& made, TSample& sample, TPattern& pattern,
                                     CObList& list) {
    run.Save();
    run.Load(1);
    run.GetAllMadeIndents(list, 1);
    made.Save();
    sample.Save();
    sample.Load(1);
    sample.GetProfiles(1, list);
    pattern.Save();
    pattern.Load(1);
    pattern.AddIndent(0.1, 0.0, 100.0);
    pattern.GetAllIndentTypes(list);
};

constexpr const char* kNotYet = "the persistent records offer no database operations yet";

// A new station database of an engine at the current schema version, opened.
class CStationDatabase {
public:
    explicit CStationDatabase(ETestEngine engine) : m_database(engine)
    {
        CString error;
        if (!ZenCreateDatabaseSchema(m_database.ConnectString(), 1, 9, &error))
            throw std::runtime_error(std::string("database not created: ") + error.GetString());
        m_db.OpenEx(m_database.ConnectString(), CDatabase::noOdbcDialog);
    }
    CDatabase* Db() { return &m_db; }

private:
    zentest::CTestDatabase m_database;
    CDatabase m_db;
};

struct StoredCase {
    const char* name;
    int lanes;
    IndentorType indentor;
    int curveType;
};

template <class TRun = CZENDB_SampleProfileRun, class TMade = CZENDB_MadeIndent,
          class TSample = CZENDB_Sample, class TPattern = CZENDB_Pattern>
void StoredProfilesEvaluate(ETestEngine engine)
{
    if constexpr (!PersistentRecords<TRun, TMade, TSample, TPattern>) {
        GTEST_SKIP() << kNotYet;
    } else {
        const StoredCase cases[] = {
            {"single lane, Vickers, interpolation", 1, Vickers, 0},
            {"single lane, Knoop, Gaussian", 1, Knoop, 1},
            {"three lanes, Vickers, Gaussian", 3, Vickers, 1},
            {"three lanes, Knoop, interpolation", 3, Knoop, 0},
        };
        for (const StoredCase& c : cases) {
            SCOPED_TRACE(c.name);
            CStationDatabase db(engine);
            TSample sample(db.Db(), CString("S-1"));
            ASSERT_TRUE(sample.Save());

            // Profile 1 is a decoy; profile 2 carries the bell.
            int32_t profileID = -1;
            for (int nr = 1; nr <= 2; ++nr) {
                TRun run(db.Db());
                run.SampleID = sample.SampleID;
                run.ProfileNr = nr;
                run.Standard = 0;
                run.CalcECD1 = TRUE;
                run.ECD1At = 550;
                run.CurveType = c.curveType;
                run.MultilaneAverageMethod = 0;
                ASSERT_TRUE(run.Save());
                if (nr == 2)
                    profileID = run.ProfileID;
            }

            // Stored from the core outwards: the load orders them by depth.
            const double A = 300.0, w = 0.5, y0 = 400.0;
            for (int i = 30; i >= 1; --i) {
                const double x = i * 0.05;
                const double h = A * std::exp(-(x * x) / (w * w)) + y0;
                for (int j = 0; j < c.lanes; ++j) {
                    const double laneH = c.lanes == 1 ? h : h + (j - 1) * 5.0;
                    TMade made(db.Db());
                    static_cast<CZENDB_MadeIndent&>(made) =
                        MadeRecord(x, laneH, c.indentor, 500.0, j * 0.1);
                    made.Database = db.Db();
                    made.ProfileID = profileID;
                    ASSERT_TRUE(made.Save());
                }
            }

            CProfile profile;
            ASSERT_EQ(profile.LoadFromDB(sample.SampleID, 2, db.Db()), 1);
            EXPECT_EQ(profile.GetSampleProfileRun()->ProfileID, profileID);
            ASSERT_EQ(profile.GetIndentList()->GetCount(), 30 * c.lanes);
            IndentorType indentor = Vickers;
            ASSERT_EQ(profile.GetIndentorType(indentor), 1);
            EXPECT_EQ(indentor, c.indentor);
            auto* first = static_cast<CIndent*>(profile.GetIndentList()->GetHead());
            EXPECT_NEAR(first->GetXPos(), 0.05, 1e-12);
            EXPECT_EQ(first->IsMade(), 1);

            const double expected = w * std::sqrt(std::log(A / (550.0 - y0)));
            EXPECT_NEAR(profile.CalcCHD(false, 0), expected, c.curveType == 0 ? 2e-3 : 1e-4);

            CProfile byKey;
            ASSERT_EQ(byKey.LoadFromDB(profileID, db.Db()), 1);
            EXPECT_EQ(byKey.GetIndentList()->GetCount(), 30 * c.lanes);
            EXPECT_EQ(byKey.CalcCHD(false, 0), profile.CalcCHD(false, 0));

            CProfile none;
            EXPECT_EQ(none.LoadFromDB(sample.SampleID, 7, db.Db()), 0);
            EXPECT_EQ(none.LoadFromDB(sample.SampleID + 100, 2, db.Db()), 0);
            EXPECT_EQ(none.LoadFromDB(profileID + 100, db.Db()), 0);
        }
    }
}

template <class TRun = CZENDB_SampleProfileRun, class TMade = CZENDB_MadeIndent,
          class TSample = CZENDB_Sample, class TPattern = CZENDB_Pattern>
void TemplatesSaveAndLoad(ETestEngine engine)
{
    if constexpr (!PersistentRecords<TRun, TMade, TSample, TPattern>) {
        GTEST_SKIP() << kNotYet;
    } else {
        CStationDatabase db(engine);
        CProfileTemplate taught;
        TPattern& p = *taught.GetPattern();
        p.Name = "Taught";
        p.PatternType = 1;
        p.SpacingType = 2;
        p.TestLoadMethod = 2;
        p.NrOfLines = 1;
        p.TestLoad = 1000.0;
        p.ZigZagSpacing = 0.02;
        taught.GetIndentList()->AddTail(new CZENDB_IndentType(nullptr, 0.3, 0.04, 300.0));
        taught.GetIndentList()->AddTail(new CZENDB_IndentType(nullptr, 0.1, 0.05, 200.0));
        taught.GetIndentList()->AddTail(new CZENDB_IndentType(nullptr, 0.2, 0.06, 250.0));
        ASSERT_EQ(taught.SaveToDB(db.Db()), 1);
        const int32_t patternID = p.PatternID;
        ASSERT_GE(patternID, 1);

        struct Case {
            int spacingType, loadMethod;
            double y[3], load[3];
        };
        const Case cases[] = {
            {2, 2, {0.05, 0.06, 0.04}, {200.0, 250.0, 300.0}},
            {0, 1, {0.0, 0.0, 0.0}, {1000.0, 1000.0, 1000.0}},
            {1, 0, {0.0, 0.02, 0.0}, {-1.0, -1.0, -1.0}},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.spacingType);
            TPattern stored(db.Db());
            ASSERT_TRUE(stored.Load(patternID));
            stored.SpacingType = c.spacingType;
            stored.TestLoadMethod = c.loadMethod;
            ASSERT_TRUE(stored.Save());

            CProfileTemplate loaded(patternID, db.Db());
            ASSERT_EQ(loaded.GetIndentList()->GetCount(), 3);
            POSITION pos = loaded.GetIndentList()->GetHeadPosition();
            for (int k = 0; k < 3; ++k) {
                auto* type = static_cast<CZENDB_IndentType*>(loaded.GetIndentList()->GetNext(pos));
                EXPECT_NEAR(type->XPos, 0.1 * (k + 1), 1e-12);  // ordered by XPos
                EXPECT_NEAR(type->YPos, c.y[k], 1e-12);
                EXPECT_EQ(type->TestLoad, c.load[k]);
                EXPECT_EQ(type->PatternID, patternID);
            }
        }

        // Saved as a computed pattern, it keeps no stored indent types.
        CProfileTemplate computed(patternID, db.Db());
        computed.GetPattern()->PatternType = 0;
        ASSERT_EQ(computed.SaveToDB(db.Db()), 1);
        TPattern check(db.Db());
        ASSERT_TRUE(check.Load(patternID));
        CObList types;
        ASSERT_TRUE(check.GetAllIndentTypes(types));
        EXPECT_EQ(types.GetCount(), 0);
        while (!types.IsEmpty())
            delete types.RemoveHead();

        CProfileTemplate missing(patternID + 50, db.Db());
        EXPECT_EQ(missing.GetIndentList()->GetCount(), 0);
    }
}

}  // namespace

namespace {

// The suite runs on every engine; those not available here skip.
class ProfileDatabase : public ::testing::TestWithParam<ETestEngine> {
protected:
    void SetUp() override { ZEN_REQUIRE_ENGINE(GetParam()); }
};

} // namespace

TEST_P(ProfileDatabase, StoredProfilesLoadAndEvaluate)
{
    StoredProfilesEvaluate<>(GetParam());
}

TEST_P(ProfileDatabase, TemplatesSaveAndLoad)
{
    TemplatesSaveAndLoad<>(GetParam());
}

namespace {

// Stores a run of sample S-1 with one made indent per point (a negative
// hardness: zero diagonals, a failed indent) and returns its key.
int32_t StoreRun(CDatabase* db, const std::vector<Point>& points, int ecd1, int ecd2, int ecd3)
{
    CZENDB_Sample sample(db, CString("S-1"));
    EXPECT_TRUE(sample.Save());
    CZENDB_SampleProfileRun run(db);
    run.SampleID = sample.SampleID;
    run.ProfileNr = 1;
    run.Standard = 0;
    run.CalcECD1 = TRUE;
    run.ECD1At = ecd1;
    run.ECD2At = ecd2;
    run.ECD3At = ecd3;
    EXPECT_TRUE(run.Save());
    for (const Point& p : points) {
        CZENDB_MadeIndent made = MadeRecord(p.x, p.h);
        made.Database = db;
        made.ProfileID = run.ProfileID;
        EXPECT_TRUE(made.Save());
    }
    return run.ProfileID;
}

}  // namespace

TEST_P(ProfileDatabase, StoredFailedIndentsStayOutOfTheStatistics)
{
    CStationDatabase db(GetParam());
    const int32_t key = StoreRun(db.Db(), {{0.1, 600.0}, {0.2, 580.0}, {0.3, -1.0}}, 550, 0, 0);
    CProfile profile;
    ASSERT_EQ(profile.LoadFromDB(key, db.Db()), 1);
    ASSERT_EQ(profile.GetIndentList()->GetCount(), 3);
    EXPECT_NEAR(profile.GetMeanHardness(false).GetHVHKHardness(), 590.0, 1e-6);
    EXPECT_NEAR(profile.GetHardnessStandardDeviation(false).GetHardness(false), std::sqrt(200.0),
                1e-6);
    EXPECT_NEAR(profile.GetMinHardness().GetHVHKHardness(), 580.0, 1e-6);
    EXPECT_NEAR(profile.GetMaxHardness().GetHVHKHardness(), 600.0, 1e-6);
    const double hrcMean = (CHardnessValue::HVToHRC(600.0) + CHardnessValue::HVToHRC(580.0)) / 2.0;
    EXPECT_NEAR(profile.GetMeanHardness(true).GetHardness(true), hrcMean, 1e-4);
}

TEST_P(ProfileDatabase, StoredLimitAfterAnUnusedFieldIsEvaluated)
{
    CStationDatabase db(GetParam());
    // 550 HV between (0.5, 560) and (0.7, 500); 400 HV between (0.9, 420) and (1.1, 380).
    const int32_t key =
        StoreRun(db.Db(), {{0.1, 700.0}, {0.3, 650.0}, {0.5, 560.0}, {0.7, 500.0}, {0.9, 420.0}, {1.1, 380.0}},
                 550, 0, 400);
    CProfile profile;
    ASSERT_EQ(profile.LoadFromDB(key, db.Db()), 1);
    ASSERT_EQ(profile.GetNofECDAtValues(), 2);
    EXPECT_NEAR(profile.CalcCHD(false, 0), 0.5 + 10.0 / 60.0 * 0.2, 1e-6);
    EXPECT_NEAR(profile.CalcCHD(false, 1), 0.9 + 20.0 / 40.0 * 0.2, 1e-6);
    EXPECT_EQ(profile.GetECDAtSlot(1), 3);

    // The stored settings are read, not rewritten.
    CZENDB_SampleProfileRun stored(db.Db());
    ASSERT_TRUE(stored.Load(key));
    EXPECT_EQ(stored.ECD1At, 550);
    EXPECT_EQ(stored.ECD2At, 0);
    EXPECT_EQ(stored.ECD3At, 400);
}

INSTANTIATE_TEST_SUITE_P(Engines, ProfileDatabase, ::testing::ValuesIn(zentest::AllEngines()),
                         [](const ::testing::TestParamInfo<ETestEngine>& engine) {
                             return std::string(zentest::EngineName(engine.param));
                         });
