// Database operations of profile runs and made indents, users and registration
// field definitions over a real database of each engine, and how every
// operation reports a missing connection and a database error.

#include "OpsTestSupport.h"

#include "companions/Obvra.h"
#include "databaseobjects/CZENDB_Pattern.h"
#include "databaseobjects/CZENDB_RegistrationField.h"
#include "databaseobjects/CZENDB_Routine.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "databaseobjects/CZENDB_SampleProfileRun.h"
#include "databaseobjects/CZENDB_User.h"
#include "framework/Exceptions.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using opstest::COpsTest;
using opstest::COwnedList;
using opstest::Elements;

class RunOps : public COpsTest {};

TEST_P(RunOps, RunSavesAndLoadsItsSettings)
{
    CZENDB_SampleProfileRun run(&m_db);
    run.SampleID = 7;
    run.ProfileNr = 2;
    run.Position = "tooth 3";
    run.StagePosX = 12.5;
    run.ProfileName = "P2";
    run.ECD3At = 450;
    run.CalcCoreHardness = TRUE;
    run.DiagramYMax = 800;
    run.TestloadUnit = 1;
    ASSERT_TRUE(run.Save());
    ASSERT_GT(run.ProfileID, 0);
    run.ProfileName = "P2b";
    const int32_t key = run.ProfileID;
    ASSERT_TRUE(run.Save());
    EXPECT_EQ(run.ProfileID, key);
    EXPECT_EQ(Count("SampleProfilesRun"), 1);

    CZENDB_SampleProfileRun loaded(&m_db);
    ASSERT_TRUE(loaded.Load(key));
    EXPECT_TRUE(loaded.KeepConnection);
    EXPECT_EQ(loaded.SampleID, 7);
    EXPECT_EQ(loaded.ProfileNr, 2);
    EXPECT_EQ(loaded.Position, "tooth 3");
    EXPECT_EQ(loaded.StagePosX, 12.5);
    EXPECT_EQ(loaded.ProfileName, "P2b");
    EXPECT_EQ(loaded.ECD3At, 450);
    EXPECT_EQ(loaded.CalcCoreHardness, TRUE);
    EXPECT_EQ(loaded.DiagramYMax, 800);
    EXPECT_EQ(loaded.TestloadUnit, 1);
    EXPECT_FALSE(loaded.Load(key + 1));
    EXPECT_EQ(loaded.ProfileName, "P2b");
}

TEST_P(RunOps, MadeIndentsListInDepthOrderOrByKey)
{
    CZENDB_SampleProfileRun run(&m_db);
    ASSERT_TRUE(run.Save());
    CZENDB_SampleProfileRun empty(&m_db);
    ASSERT_TRUE(empty.Save());
    // Made in this order; two share a depth.
    const double depths[] = {0.30, 0.10, 0.20, 0.10};
    std::vector<int32_t> keys;
    for (double depth : depths) {
        CZENDB_MadeIndent indent(&m_db);
        indent.ProfileID = run.ProfileID;
        indent.ActualDistanceFromEdge = depth;
        indent.D1 = 20.0 + depth;
        ASSERT_TRUE(indent.Save());
        keys.push_back(indent.IndentID);
    }

    const struct {
        int byDistance;
        std::vector<int> order; // indexes into depths
    } cases[] = {{1, {1, 3, 2, 0}}, {-3, {1, 3, 2, 0}}, {0, {0, 1, 2, 3}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.byDistance);
        COwnedList indents;
        ASSERT_TRUE(run.GetAllMadeIndents(indents, c.byDistance));
        const auto listed = Elements<CZENDB_MadeIndent>(indents);
        ASSERT_EQ(listed.size(), c.order.size());
        for (size_t i = 0; i < listed.size(); ++i) {
            EXPECT_EQ(listed[i]->IndentID, keys[c.order[i]]);
            EXPECT_EQ(listed[i]->ActualDistanceFromEdge, depths[c.order[i]]);
            EXPECT_TRUE(listed[i]->KeepConnection);
            EXPECT_EQ(listed[i]->Database, &m_db);
        }
    }

    int hasIndents = -1;
    ASSERT_TRUE(run.GetHasMadeIndents(hasIndents));
    EXPECT_EQ(hasIndents, 1);
    ASSERT_TRUE(empty.GetHasMadeIndents(hasIndents));
    EXPECT_EQ(hasIndents, 0);
    COwnedList none;
    ASSERT_TRUE(empty.GetAllMadeIndents(none, 1));
    EXPECT_EQ(none.GetCount(), 0);

    ASSERT_TRUE(run.DeleteAllMadeIndents());
    ASSERT_TRUE(run.GetHasMadeIndents(hasIndents));
    EXPECT_EQ(hasIndents, 0);
    EXPECT_EQ(Count("IndentsRun"), 0);
}

TEST_P(RunOps, MadeIndentSaveUpdatesItsRowAndLeavesTheHardnessColumns)
{
    CZENDB_MadeIndent indent(&m_db);
    indent.ProfileID = 3;
    indent.D1 = 21.5;
    indent.D2 = 22.5;
    indent.ActualTypeOfIndentor = 2;
    indent.ActualTestload = 300.0;
    indent.Objective = "50x";
    indent.CalibrationData = 0.125;
    ASSERT_TRUE(indent.Save());
    const int32_t key = indent.IndentID;
    ASSERT_GT(key, 0);
    const std::string where = "WHERE IndentID=" + std::to_string(key);
    EXPECT_EQ(Count("IndentsRun", (where + " AND [Hardness] IS NULL AND [Hardness unit] IS NULL").c_str()), 1);

    m_db.ExecuteSQL(("UPDATE IndentsRun SET [Hardness]=612, [Hardness unit]='HV' " + where).c_str());
    indent.D2 = 23.0;
    ASSERT_TRUE(indent.Save());
    EXPECT_EQ(indent.IndentID, key);
    EXPECT_EQ(Count("IndentsRun"), 1);
    EXPECT_EQ(Count("IndentsRun", "WHERE [Hardness]=612 AND [Hardness unit]='HV' AND D2=23.0 AND "
                                  "Objective='50x'"),
              1);
}

class UserOps : public COpsTest {};

TEST_P(UserOps, SaveUpdatesTheStoredNameOrAddsIt)
{
    const struct {
        const char* name;
        const char* password;
        int role;
    } users[] = {{"ana", "secret", 1}, {"o'neil", "p'w", 2}, {"ana", "changed", 3}};
    for (const auto& u : users) {
        CZENDB_User user(&m_db);
        user.Field0 = Obvra_encode(u.name);
        user.Field1 = Obvra_encode(u.password);
        user.Field2 = u.role;
        ASSERT_TRUE(user.Save()) << u.name;
    }
    EXPECT_EQ(Count("Table1"), 2);

    // The stored forms read back decode to the last values saved.
    CRecordset rs(&m_db);
    rs.Open(CRecordset::dynaset, "SELECT Field0, Field1, Field2 FROM Table1 ORDER BY Field2");
    std::vector<std::string> rows;
    while (!rs.IsEOF()) {
        CString name;
        CString password;
        CString role;
        rs.GetFieldValue("Field0", name);
        rs.GetFieldValue("Field1", password);
        rs.GetFieldValue("Field2", role);
        rows.push_back(std::string(Obvra_decode(name).GetString()) + "/" +
                       Obvra_decode(password).GetString() + "/" + role.GetString());
        rs.MoveNext();
    }
    EXPECT_EQ(rows, (std::vector<std::string>{"o'neil/p'w/2", "ana/changed/3"}));

    // Stored forms are saved as they are, quotes included (never an SQL error).
    CZENDB_User plain(&m_db);
    plain.Field0 = "d'Arcy";
    plain.Field2 = 0;
    ASSERT_TRUE(plain.Save());
    plain.Field2 = 4;
    ASSERT_TRUE(plain.Save());
    EXPECT_EQ(Count("Table1", "WHERE Field0='d''Arcy' AND Field2=4"), 1);
    EXPECT_TRUE(Messages().empty());
}

class RegistrationFieldOps : public COpsTest {};

TEST_P(RegistrationFieldOps, LoadSaveVisibleAndDescriptions)
{
    CZENDB_RegistrationField field(&m_db);
    ASSERT_TRUE(field.Load("CustomField7"));
    EXPECT_TRUE(field.KeepConnection);
    EXPECT_EQ(field.Control, "CustomField7");
    EXPECT_EQ(field.Visible, FALSE);
    EXPECT_EQ(field.DisplayOrder, 14);

    field.Visible = TRUE;
    field.DisplayOrder = 99;
    ASSERT_TRUE(field.Save());
    CZENDB_RegistrationField reread(&m_db);
    ASSERT_TRUE(reread.Load("CustomField7"));
    EXPECT_EQ(reread.Visible, TRUE);
    EXPECT_EQ(reread.DisplayOrder, 14) << "Save writes Visible only";

    ASSERT_TRUE(field.SetDescription("Hardening batch"));
    EXPECT_EQ(field.GetDescription(), "Hardening batch");
    ASSERT_TRUE(field.SetDescription("Batch   "));
    EXPECT_EQ(field.GetDescription(), "Batch") << "trailing blanks cut";

    // A definition without description row: its own name, and no row added.
    m_db.ExecuteSQL("DELETE FROM RegistrationDescriptions WHERE Control='CustomField7'");
    EXPECT_EQ(field.GetDescription(), "CustomField7");
    EXPECT_FALSE(field.SetDescription("x"));
    EXPECT_EQ(Count("RegistrationDescriptions", "WHERE Control='CustomField7'"), 0);
    field.Control = "CustomField7  ";
    EXPECT_EQ(field.GetDescription(), "CustomField7");

    // Unknown, empty and quoted names find nothing and write nothing.
    for (const char* control : {"", "NoSuchField", "Work'Order"}) {
        SCOPED_TRACE(control);
        CZENDB_RegistrationField other(&m_db);
        other.Control = control;
        other.Visible = TRUE;
        EXPECT_FALSE(other.Save());
        EXPECT_FALSE(other.SetDescription("x"));
        EXPECT_FALSE(other.Load(control));
        EXPECT_FALSE(other.KeepConnection);
    }
    EXPECT_EQ(Count("Registration", "WHERE Visible <> 0"), 9);
    EXPECT_TRUE(Messages().empty());
}

TEST(RecordOpsWithoutConnection, EveryOperationFailsAtOnce)
{
    CZENDB_Sample sample;
    sample.SampleID = 1;
    CZENDB_Pattern pattern;
    pattern.PatternID = 1;
    CZENDB_IndentType indentType;
    indentType.PatternID = 1;
    CZENDB_Routine routine;
    routine.RoutineTypeID = 1;
    CZENDB_RoutineProfile profile;
    CZENDB_SampleProfileRun run;
    CZENDB_MadeIndent indent;
    CZENDB_User user;
    user.Field0 = "u";
    CZENDB_RegistrationField field;
    field.Control = "WorkOrder";
    CObList list;
    bool isRoutine = false;
    int32_t id = 0;
    int flag = 0;
    const std::vector<std::pair<const char*, std::function<bool()>>> ops = {
        {"sample Save", [&] { return sample.Save(); }},
        {"sample DeleteAllSampleProfilesRun", [&] { return sample.DeleteAllSampleProfilesRun(); }},
        {"sample GetProfiles", [&] { return sample.GetProfiles(1, list); }},
        {"sample GetDefault", [&] { return sample.GetDefaultProfileOrRoutine(isRoutine, id); }},
        {"sample SetDefault", [&] { return sample.SetDefaultProfileOrRoutine(true, 1); }},
        {"pattern Save", [&] { return pattern.Save(); }},
        {"pattern Load", [&] { return pattern.Load(1); }},
        {"pattern Delete", [&] { return pattern.Delete(); }},
        {"pattern DeleteAllIndentTypes", [&] { return pattern.DeleteAllIndentTypes(); }},
        {"pattern GetAllIndentTypes", [&] { return pattern.GetAllIndentTypes(list); }},
        {"indent type Save", [&] { return indentType.Save(); }},
        {"routine Save", [&] { return routine.Save(); }},
        {"routine Load", [&] { return routine.Load(1); }},
        {"routine Delete", [&] { return routine.Delete(); }},
        {"routine GetAll", [&] { return routine.GetAllRoutineProfiles(list); }},
        {"routine Add", [&] { return routine.AddRoutineProfile(profile); }},
        {"routine DeleteProfile", [&] { return routine.DeleteRoutineProfile(profile); }},
        {"profile Save", [&] { return profile.Save(); }},
        {"profile Load", [&] { return profile.Load(1); }},
        {"profile Delete", [&] { return profile.Delete(); }},
        {"run Save", [&] { return run.Save(); }},
        {"run Load", [&] { return run.Load(1); }},
        {"run DeleteAllMadeIndents", [&] { return run.DeleteAllMadeIndents(); }},
        {"run GetAllMadeIndents", [&] { return run.GetAllMadeIndents(list, 1); }},
        {"run GetHasMadeIndents", [&] { return run.GetHasMadeIndents(flag); }},
        {"indent Save", [&] { return indent.Save(); }},
        {"user Save", [&] { return user.Save(); }},
        {"field Save", [&] { return field.Save(); }},
        {"field Load", [&] { return field.Load("WorkOrder"); }},
        {"field SetDescription", [&] { return field.SetDescription("d"); }},
    };
    for (const auto& [name, op] : ops)
        EXPECT_FALSE(op()) << name;
    EXPECT_TRUE(field.GetDescription().IsEmpty());
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(pattern.PatternID, 1);
    EXPECT_FALSE(CZENDB_Pattern().CZENDB_Object::Save()) << "the base reports the connection";
}

// Each operation on a table that has gone: the engine's error text is shown
// once (or not at all where the operation is silent) and the result is false.
class DatabaseErrors : public COpsTest {};

TEST_P(DatabaseErrors, OperationsShowTheErrorOnceAndFail)
{
    CZENDB_Sample sample(&m_db, "S");
    ASSERT_TRUE(sample.Save());
    CZENDB_Pattern pattern(&m_db);
    ASSERT_TRUE(pattern.Save());
    CZENDB_Routine routine(&m_db);
    ASSERT_TRUE(routine.Save());
    CZENDB_RoutineProfile profile(&m_db);
    ASSERT_TRUE(profile.Save());
    CZENDB_SampleProfileRun run(&m_db);
    ASSERT_TRUE(run.Save());
    CZENDB_User user(&m_db);
    user.Field0 = "u";
    CZENDB_RegistrationField field(&m_db);
    field.Control = "WorkOrder";
    COwnedList list;
    int flag = 0;

    const struct {
        const char* table;
        std::function<bool()> op;
        size_t messages;
    } cases[] = {
        {"SampleProfilesRun", [&] { return run.Save(); }, 1},
        {"SampleProfilesRun", [&] { return run.Load(run.ProfileID); }, 1},
        {"SampleProfilesRun", [&] { return sample.GetProfiles(sample.SampleID, list); }, 1},
        {"SampleProfilesRun", [&] { return sample.DeleteAllSampleProfilesRun(); }, 1},
        {"IndentsRun", [&] { return run.DeleteAllMadeIndents(); }, 1},
        {"IndentsRun", [&] { return run.GetAllMadeIndents(list, 0); }, 1},
        {"IndentsRun", [&] { return run.GetHasMadeIndents(flag); }, 1},
        {"IndentsRun", [&] { return CZENDB_MadeIndent(&m_db).Save(); }, 1},
        {"IndentType", [&] { return pattern.AddIndent(1.0, 1.0, 1.0); }, 1},
        {"IndentType", [&] { return pattern.GetAllIndentTypes(list); }, 1},
        {"IndentType", [&] { return pattern.DeleteAllIndentTypes(); }, 1},
        {"RoutineProfile", [&] { return routine.GetAllRoutineProfiles(list); }, 1},
        {"RoutineProfile", [&] { return routine.AddRoutineProfile(profile); }, 1},
        {"RoutineProfile", [&] { return routine.DeleteRoutineProfile(profile); }, 1},
        {"RoutineProfile", [&] { return profile.Load(profile.RoutineProfileTypeID); }, 1},
        {"RoutineProfile", [&] { return profile.Delete(); }, 1},
        {"RoutineProfile", [&] { return profile.Save(); }, 1},
        {"Patterns", [&] { return pattern.Save(); }, 1},
        {"Patterns", [&] { return pattern.Load(pattern.PatternID); }, 1},
        {"Patterns", [&] { return pattern.Delete(); }, 1},
        {"RoutineTypes", [&] { return routine.Save(); }, 1},
        {"RoutineTypes", [&] { return routine.Load(routine.RoutineTypeID); }, 1},
        {"RoutineTypes", [&] { return routine.Delete(); }, 1},
        {"Table1", [&] { return user.Save(); }, 1},
        {"RegistrationDescriptions", [&] { return field.SetDescription("d"); }, 1},
        {"RegistrationDescriptions", [&] { return !field.GetDescription().IsEmpty(); }, 1},
        {"Registration", [&] { return field.Save(); }, 1},
        {"Registration", [&] { return field.Load("WorkOrder"); }, 1},
        {"Registration", [&] { return sample.GetSampleRegistrationData(list); }, 0},
        {"Samples", [&] { return sample.Save(); }, 1},
        {"Samples", [&] { return sample.Load(sample.SampleID); }, 1},
        {"Samples", [&] { return sample.Load(CString("S")); }, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        // Each case runs in a transaction that is rolled back, so the table
        // comes back for the next one.
        m_db.BeginTrans();
        m_db.ExecuteSQL(CString("DROP TABLE ") + c.table);
        m_host.Reset();
        EXPECT_FALSE(c.op());
        ASSERT_EQ(Messages().size(), c.messages);
        if (c.messages > 0) {
            EXPECT_NE(Messages()[0].find(c.table), std::string::npos) << Messages()[0];
        }
        m_db.Rollback();
    }
    EXPECT_EQ(list.GetCount(), 0);
}

TEST_P(DatabaseErrors, SampleDeleteShowsTheErrorAndRollsBack)
{
    CZENDB_Sample sample(&m_db, "S");
    ASSERT_TRUE(sample.Save());
    ASSERT_TRUE(sample.SetDefaultProfileOrRoutine(false, 1));
    m_db.ExecuteSQL("DROP TABLE DefaultRoutineToUse");
    EXPECT_FALSE(sample.Delete());
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("DefaultRoutineToUse"), std::string::npos) << Messages()[0];
    EXPECT_FALSE(m_db.IsInTransaction());
    EXPECT_EQ(Count("DefaultProfileToUse"), 1);
    EXPECT_EQ(Count("Samples"), 1);
}

TEST_P(DatabaseErrors, DefaultTestOperationsLetTheErrorPass)
{
    CZENDB_Sample sample(&m_db, "S");
    ASSERT_TRUE(sample.Save());
    m_db.ExecuteSQL("DROP TABLE DefaultProfileToUse");
    bool isRoutine = false;
    int32_t id = 0;
    EXPECT_THROW(sample.GetDefaultProfileOrRoutine(isRoutine, id), CDBException);
    EXPECT_THROW(sample.SetDefaultProfileOrRoutine(false, 1), CDBException);
    EXPECT_TRUE(sample.SetDefaultProfileOrRoutine(true, 1)) << "the other table is not touched";
    EXPECT_TRUE(Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Engines, RunOps, ::testing::ValuesIn(zentest::AllEngines()), opstest::EngineParamName);
INSTANTIATE_TEST_SUITE_P(Engines, UserOps, ::testing::ValuesIn(zentest::AllEngines()), opstest::EngineParamName);
INSTANTIATE_TEST_SUITE_P(Engines, RegistrationFieldOps,
                         ::testing::ValuesIn(zentest::AllEngines()), opstest::EngineParamName);
INSTANTIATE_TEST_SUITE_P(Engines, DatabaseErrors, ::testing::ValuesIn(zentest::AllEngines()), opstest::EngineParamName);

} // namespace
