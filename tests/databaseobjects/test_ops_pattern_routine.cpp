// Database operations of patterns and their planned indents, and of routines
// and their profiles, over a real database of each engine: save and load by
// key, the deleted mark (which hides patterns but not routines), child rows.

#include "OpsTestSupport.h"

#include "databaseobjects/CZENDB_Pattern.h"
#include "databaseobjects/CZENDB_Routine.h"

#include <gtest/gtest.h>

namespace {

using opstest::COpsTest;
using opstest::COwnedList;
using opstest::Elements;

class PatternOps : public COpsTest {};

TEST_P(PatternOps, SaveInsertsThenUpdatesAndLoadReadsEveryBlock)
{
    CZENDB_Pattern pattern(&m_db, 1);
    pattern.Name = "Case 0.3";
    pattern.Comment = "nitrided";
    pattern.AutomaticallyEdgeAlignment = TRUE;
    pattern.FocusAfterEvery = 2.5;
    pattern.ECD4At = 550;
    pattern.GaussianOutlierLimit = 30;
    pattern.DiagramXMax = 1.5;
    pattern.TestloadUnit = 2;
    ASSERT_TRUE(pattern.Save());
    ASSERT_GT(pattern.PatternID, 0);

    pattern.Name = "Case 0.4";
    const int32_t key = pattern.PatternID;
    ASSERT_TRUE(pattern.Save());
    EXPECT_EQ(pattern.PatternID, key);
    EXPECT_EQ(Count("Patterns"), 1);

    CZENDB_Pattern loaded(&m_db);
    ASSERT_TRUE(loaded.Load(key));
    EXPECT_TRUE(loaded.KeepConnection);
    EXPECT_EQ(loaded.PatternID, key);
    EXPECT_EQ(loaded.Name, "Case 0.4");
    EXPECT_EQ(loaded.Comment, "nitrided");
    EXPECT_EQ(loaded.TotalTraverse, 1.05);
    EXPECT_EQ(loaded.NrOfIndents, 11);
    EXPECT_EQ(loaded.AutomaticallyEdgeAlignment, TRUE);
    EXPECT_EQ(loaded.FocusAfterEvery, 2.5);
    EXPECT_EQ(loaded.ECD4At, 550);
    EXPECT_EQ(loaded.GaussianOutlierLimit, 30);
    EXPECT_EQ(loaded.DiagramXMax, 1.5);
    EXPECT_EQ(loaded.TestloadUnit, 2);
    EXPECT_EQ(loaded.Deleted, FALSE);
}

TEST_P(PatternOps, ADeletedPatternCannotBeLoadedDeletedOrUpdated)
{
    CZENDB_Pattern pattern(&m_db, 0);
    pattern.Name = "old";
    ASSERT_TRUE(pattern.Save());
    const int32_t key = pattern.PatternID;

    EXPECT_TRUE(pattern.Delete());
    EXPECT_EQ(pattern.Deleted, FALSE) << "only the row is marked";
    EXPECT_FALSE(pattern.Delete());
    CZENDB_Pattern loaded(&m_db);
    loaded.Name = "untouched";
    EXPECT_FALSE(loaded.Load(key));
    EXPECT_EQ(loaded.Name, "untouched");
    EXPECT_FALSE(loaded.KeepConnection);

    // Saving the object again inserts a new row; the marked one stays.
    pattern.Name = "new";
    ASSERT_TRUE(pattern.Save());
    EXPECT_GT(pattern.PatternID, key);
    EXPECT_EQ(Count("Patterns"), 2);
    EXPECT_EQ(Count("Patterns", "WHERE Deleted <> 0"), 1);
    ASSERT_TRUE(loaded.Load(pattern.PatternID));
    EXPECT_EQ(loaded.Name, "new");
    EXPECT_TRUE(Messages().empty());
}

TEST_P(PatternOps, TeachInPatternKeepsItsKeySoSaveOverwritesTheStoredOne)
{
    CZENDB_Pattern pattern(&m_db, 1);
    pattern.Name = "plan";
    pattern.Comment = "c";
    ASSERT_TRUE(pattern.Save());
    const int32_t key = pattern.PatternID;
    pattern.CreateAsTeachInPattern();
    EXPECT_EQ(pattern.PatternID, key);
    EXPECT_EQ(pattern.PatternType, 1);
    EXPECT_EQ(pattern.SpacingType, 2);
    EXPECT_EQ(pattern.TestLoadMethod, 2);
    EXPECT_EQ(pattern.NrOfIndents, 11);
    ASSERT_TRUE(pattern.Save());
    CZENDB_Pattern loaded(&m_db);
    ASSERT_TRUE(loaded.Load(key));
    EXPECT_TRUE(loaded.Name.IsEmpty());
    EXPECT_TRUE(loaded.Comment.IsEmpty());
    EXPECT_EQ(Count("Patterns"), 1);
}

TEST_P(PatternOps, PlannedIndentsAreAddedListedByPositionAndDeletedTogether)
{
    CZENDB_Pattern unsaved(&m_db);
    EXPECT_FALSE(unsaved.AddIndent(1.0, 0.0, 300.0));
    EXPECT_FALSE(CZENDB_Pattern().AddIndent(1.0, 0.0, 300.0));
    EXPECT_EQ(Count("IndentType"), 0);

    CZENDB_Pattern pattern(&m_db);
    ASSERT_TRUE(pattern.Save());
    CZENDB_Pattern other(&m_db);
    ASSERT_TRUE(other.Save());
    for (double x : {0.3, 0.1, 0.2})
        ASSERT_TRUE(pattern.AddIndent(x, -x, 100.0 * x));
    ASSERT_TRUE(other.AddIndent(0.05, 0.0, 10.0));

    COwnedList indents;
    ASSERT_TRUE(pattern.GetAllIndentTypes(indents));
    const auto listed = Elements<CZENDB_IndentType>(indents);
    ASSERT_EQ(listed.size(), 3u);
    for (size_t i = 0; i < listed.size(); ++i) {
        const double x = 0.1 * double(i + 1);
        EXPECT_DOUBLE_EQ(listed[i]->XPos, x);
        EXPECT_DOUBLE_EQ(listed[i]->YPos, -x);
        EXPECT_DOUBLE_EQ(listed[i]->TestLoad, 100.0 * x);
        EXPECT_EQ(listed[i]->PatternID, pattern.PatternID);
        EXPECT_EQ(listed[i]->Database, &m_db);
        EXPECT_TRUE(listed[i]->KeepConnection);
    }

    // An indent type is only ever added: saving it twice stores two rows.
    CZENDB_IndentType twice(&m_db, 0.4, 0.0, 50.0);
    twice.PatternID = pattern.PatternID;
    ASSERT_TRUE(twice.Save());
    ASSERT_TRUE(twice.Save());
    EXPECT_EQ(Count("IndentType"), 6);

    ASSERT_TRUE(pattern.DeleteAllIndentTypes());
    EXPECT_EQ(Count("IndentType"), 1) << "the other pattern's indent stays";
}

class RoutineOps : public COpsTest {};

// A stored routine with three profiles on patterns 11, 12 and 13.
struct RoutineWithProfiles {
    explicit RoutineWithProfiles(CDatabase* db) : routine(db)
    {
        routine.Name = "crank";
        EXPECT_TRUE(routine.Save());
        for (int i = 0; i < 3; ++i) {
            CZENDB_RoutineProfile profile(db);
            profile.RoutineTypeID = routine.RoutineTypeID;
            profile.PatternID = 11 + i;
            profile.Position = "pin";
            EXPECT_TRUE(profile.Save());
            keys.push_back(profile.RoutineProfileTypeID);
        }
    }
    std::vector<int32_t> PatternsListed()
    {
        COwnedList profiles;
        EXPECT_TRUE(routine.GetAllRoutineProfiles(profiles));
        std::vector<int32_t> patterns;
        for (const auto* profile : Elements<CZENDB_RoutineProfile>(profiles))
            patterns.push_back(profile->PatternID);
        return patterns;
    }

    CZENDB_Routine routine;
    std::vector<int32_t> keys;
};

TEST_P(RoutineOps, ADeletedRoutineStillLoadsAndKeepsItsProfiles)
{
    RoutineWithProfiles r(&m_db);
    EXPECT_TRUE(r.routine.Delete());
    EXPECT_TRUE(r.routine.Delete()) << "marking again finds the row";
    EXPECT_EQ(r.routine.Deleted, FALSE);

    CZENDB_Routine loaded(&m_db);
    ASSERT_TRUE(loaded.Load(r.routine.RoutineTypeID));
    EXPECT_EQ(loaded.Deleted, TRUE);
    EXPECT_EQ(loaded.Name, "crank");
    EXPECT_TRUE(loaded.KeepConnection);
    EXPECT_EQ(r.PatternsListed(), (std::vector<int32_t>{11, 12, 13}));

    // A marked routine can be saved (updated, not re-inserted).
    loaded.Name = "crank v2";
    ASSERT_TRUE(loaded.Save());
    EXPECT_EQ(Count("RoutineTypes"), 1);

    CZENDB_Routine missing(&m_db);
    missing.RoutineTypeID = 999;
    EXPECT_FALSE(missing.Delete());
    EXPECT_FALSE(missing.Load(999));
    EXPECT_TRUE(Messages().empty());
}

TEST_P(RoutineOps, DeleteRoutineProfileDeletesOnlyTheGivenKeyWhereverItStands)
{
    for (int position = 0; position < 3; ++position) {
        SCOPED_TRACE(position);
        RoutineWithProfiles r(&m_db);
        CZENDB_RoutineProfile victim(&m_db);
        victim.RoutineProfileTypeID = r.keys[position];
        ASSERT_TRUE(r.routine.DeleteRoutineProfile(victim));
        std::vector<int32_t> expected = {11, 12, 13};
        expected.erase(expected.begin() + position);
        EXPECT_EQ(r.PatternsListed(), expected);
    }
    RoutineWithProfiles r(&m_db);
    CZENDB_RoutineProfile stranger(&m_db);
    stranger.RoutineProfileTypeID = 123456;
    EXPECT_TRUE(r.routine.DeleteRoutineProfile(stranger));
    EXPECT_EQ(r.PatternsListed(), (std::vector<int32_t>{11, 12, 13}));
}

TEST_P(RoutineOps, AddRoutineProfileFilesACopyUnderTheRoutine)
{
    RoutineWithProfiles r(&m_db);
    CZENDB_RoutineProfile profile(&m_db);
    profile.PatternID = 21;
    profile.UsePrestoredCoordinates = 1;
    profile.XPos = 4.5;
    profile.Direction = 90.0;
    ASSERT_TRUE(r.routine.AddRoutineProfile(profile));
    // Two new profiles in a row: the database gives each its own key.
    profile.PatternID = 22;
    ASSERT_TRUE(r.routine.AddRoutineProfile(profile));
    EXPECT_EQ(profile.RoutineTypeID, -1) << "the given object is not changed";
    EXPECT_EQ(profile.RoutineProfileTypeID, -1);
    EXPECT_TRUE(Messages().empty());

    COwnedList profiles;
    ASSERT_TRUE(r.routine.GetAllRoutineProfiles(profiles));
    const auto listed = Elements<CZENDB_RoutineProfile>(profiles);
    ASSERT_EQ(listed.size(), 5u);
    EXPECT_EQ(listed[3]->PatternID, 21);
    EXPECT_EQ(listed[4]->PatternID, 22);
    EXPECT_NE(listed[3]->RoutineProfileTypeID, listed[4]->RoutineProfileTypeID);
    EXPECT_GT(listed[3]->RoutineProfileTypeID, 0);
    for (const auto* listedProfile : listed) {
        EXPECT_EQ(listedProfile->RoutineTypeID, r.routine.RoutineTypeID);
        EXPECT_EQ(listedProfile->Database, &m_db);
        EXPECT_FALSE(listedProfile->KeepConnection);
    }
    EXPECT_EQ(listed[3]->UsePrestoredCoordinates, 1);
    EXPECT_EQ(listed[3]->XPos, 4.5);
    EXPECT_EQ(listed[3]->Direction, 90.0);

    // A stored profile's key goes into the new row as it stands.
    CZENDB_RoutineProfile withKey(&m_db);
    withKey.RoutineProfileTypeID = 500;
    withKey.PatternID = 23;
    ASSERT_TRUE(r.routine.AddRoutineProfile(withKey));
    CZENDB_RoutineProfile loaded(&m_db);
    ASSERT_TRUE(loaded.Load(500));
    EXPECT_EQ(loaded.PatternID, 23);

    // A routine not stored yet has no key to file a profile under.
    CZENDB_Routine unsaved(&m_db);
    EXPECT_FALSE(unsaved.AddRoutineProfile(profile));
    EXPECT_EQ(Count("RoutineProfile"), 6);
}

TEST_P(RoutineOps, ARoutineProfileSavesLoadsAndDeletesItsOwnRow)
{
    RoutineWithProfiles r(&m_db);
    CZENDB_RoutineProfile profile(&m_db);
    profile.RoutineTypeID = r.routine.RoutineTypeID;
    profile.Position = "flank";
    ASSERT_TRUE(profile.Save());
    const int32_t key = profile.RoutineProfileTypeID;
    ASSERT_GT(key, r.keys.back());
    profile.Position = "root";
    ASSERT_TRUE(profile.Save());
    EXPECT_EQ(profile.RoutineProfileTypeID, key);

    CZENDB_RoutineProfile loaded(&m_db);
    ASSERT_TRUE(loaded.Load(key));
    EXPECT_EQ(loaded.Position, "root");
    EXPECT_TRUE(loaded.Delete());
    EXPECT_FALSE(loaded.Delete());
    EXPECT_EQ(Count("RoutineProfile"), 3);
    EXPECT_EQ(Count("RoutineProfile", ("WHERE RoutineProfileTypeID=" + std::to_string(key)).c_str()), 0);
}

INSTANTIATE_TEST_SUITE_P(Engines, PatternOps, ::testing::ValuesIn(zentest::AllEngines()), opstest::EngineParamName);
INSTANTIATE_TEST_SUITE_P(Engines, RoutineOps, ::testing::ValuesIn(zentest::AllEngines()), opstest::EngineParamName);

} // namespace
