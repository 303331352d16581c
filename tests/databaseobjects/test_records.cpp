// Data model of the persistent records: initial values, the pattern's default
// layouts, and assignment with the KeepConnection and KeepKey flags.

#include "databaseobjects/CZENDB_Pattern.h"
#include "databaseobjects/CZENDB_RegistrationField.h"
#include "databaseobjects/CZENDB_Routine.h"
#include "databaseobjects/CZENDB_Sample.h"
#include "databaseobjects/CZENDB_SampleProfileRun.h"
#include "databaseobjects/CZENDB_User.h"

#include <gtest/gtest.h>

namespace {

// Stand-ins for two connections: records only store and compare the pointer.
CDatabase* const kDbA = reinterpret_cast<CDatabase*>(0x1000);
CDatabase* const kDbB = reinterpret_cast<CDatabase*>(0x2000);

TEST(RecordInitialValues, EveryClassStartsUnstoredWithItsDocumentedDefaults)
{
    CZENDB_Sample sample(kDbA, "S-1");
    EXPECT_EQ(sample.Database, kDbA);
    EXPECT_FALSE(sample.KeepConnection);
    EXPECT_FALSE(sample.KeepKey);
    EXPECT_EQ(sample.SampleID, -1);
    EXPECT_EQ(sample.UserSampleID, "S-1");
    EXPECT_EQ(sample.RegistrationDate.GetTime(), 0);
    EXPECT_EQ(sample.DueDate.GetTime(), 0);
    EXPECT_EQ(sample.MeasuredDate.GetTime(), 0);
    EXPECT_EQ(sample.Signed, FALSE);
    EXPECT_TRUE(sample.CustomField19.IsEmpty());
    EXPECT_EQ(sample.Trace.GetTotalNumberOfPoints(), 0u);
    EXPECT_EQ(CZENDB_Sample().Database, nullptr);
    EXPECT_TRUE(CZENDB_Sample().UserSampleID.IsEmpty());

    CZENDB_Pattern pattern;
    EXPECT_EQ(pattern.PatternID, -1);
    EXPECT_EQ(pattern.Deleted, FALSE);
    EXPECT_EQ(pattern.TestLoad, 0.0);
    EXPECT_EQ(pattern.NrOfIndents, 0);
    EXPECT_EQ(pattern.TestloadUnit, 0);

    CZENDB_IndentType indentType;
    EXPECT_EQ(indentType.PatternID, -1);
    EXPECT_EQ(indentType.TestLoad, 100.0);
    CZENDB_IndentType placed(kDbA, 1.5, -2.5, 300.0);
    EXPECT_EQ(placed.PatternID, -1);
    EXPECT_EQ(placed.XPos, 1.5);
    EXPECT_EQ(placed.YPos, -2.5);
    EXPECT_EQ(placed.TestLoad, 300.0);

    CZENDB_Routine routine;
    EXPECT_EQ(routine.RoutineTypeID, -1);
    EXPECT_EQ(routine.Deleted, FALSE);
    CZENDB_RoutineProfile routineProfile;
    EXPECT_EQ(routineProfile.RoutineProfileTypeID, -1);
    EXPECT_EQ(routineProfile.RoutineTypeID, -1);
    EXPECT_EQ(routineProfile.PatternID, -1);
    EXPECT_EQ(routineProfile.UsePrestoredCoordinates, 0);

    CZENDB_SampleProfileRun run;
    EXPECT_EQ(run.ProfileID, -1);
    EXPECT_EQ(run.SampleID, -1);
    EXPECT_EQ(run.ProfileNr, -1);
    CZENDB_MadeIndent indent;
    EXPECT_EQ(indent.IndentID, -1);
    EXPECT_EQ(indent.ProfileID, -1);
    EXPECT_EQ(indent.ActualTypeOfIndentor, 1);
    EXPECT_EQ(indent.D1, 0.0);

    CZENDB_User user;
    EXPECT_EQ(user.Field2, -1);
    CZENDB_RegistrationField field;
    EXPECT_EQ(field.Database, nullptr);
    EXPECT_EQ(field.Visible, FALSE);
    EXPECT_EQ(field.DisplayOrder, -1);
}

TEST(PatternLayout, DefaultPlansOfElevenIndentsSpanTheTraverse)
{
    struct Case {
        int layout;
        double zigzag, spacing, traverse, xOffset, lineSpacing;
    };
    const Case cases[] = {
        {1, 0.1, 0.1, 1.05, 0.05, 0.25},
        {7, 0.1, 0.1, 1.05, 0.05, 0.25},
        {0, 0.3937007874015748, 0.1968503937007874, 2.1653543307086616, 0.1968503937007874,
         0.1968503937007874},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        CZENDB_Pattern pattern(kDbA, c.layout);
        EXPECT_EQ(pattern.Database, kDbA);
        EXPECT_EQ(pattern.PatternID, -1);
        EXPECT_EQ(pattern.TestLoad, 1000.0);
        EXPECT_EQ(pattern.NrOfIndents, 11);
        EXPECT_EQ(pattern.NrOfLines, 1);
        EXPECT_DOUBLE_EQ(pattern.ZigZagSpacing, c.zigzag);
        EXPECT_DOUBLE_EQ(pattern.SpacingBetweenIndents, c.spacing);
        EXPECT_DOUBLE_EQ(pattern.TotalTraverse, c.traverse);
        EXPECT_DOUBLE_EQ(pattern.XOffset, c.xOffset);
        EXPECT_DOUBLE_EQ(pattern.LineSpacing, c.lineSpacing);
        EXPECT_NEAR(pattern.TotalTraverse, pattern.XOffset + 10 * pattern.SpacingBetweenIndents,
                    1e-12);
        EXPECT_EQ(pattern.YOffset, 0.0);
    }
}

// Runs the three assignment cases on one record class: plain (connection and
// key copied), KeepConnection (connection kept), KeepKey (key kept); the flags
// themselves are never copied. `key` reads the record's key field.
template <class TRecord, class Fill, class Key, class SameContent>
void CheckAssignment(Fill fill, Key key, SameContent sameContent)
{
    TRecord source(kDbB);
    fill(source);
    source.KeepConnection = true;
    source.KeepKey = true;

    TRecord plain(kDbA);
    plain = source;
    EXPECT_EQ(plain.Database, kDbB);
    EXPECT_EQ(key(plain), key(source));
    EXPECT_FALSE(plain.KeepConnection);
    EXPECT_FALSE(plain.KeepKey);
    EXPECT_TRUE(sameContent(plain, source));

    TRecord keepConnection(kDbA);
    keepConnection.KeepConnection = true;
    keepConnection = source;
    EXPECT_EQ(keepConnection.Database, kDbA);
    EXPECT_EQ(key(keepConnection), key(source));
    EXPECT_TRUE(sameContent(keepConnection, source));

    TRecord keepKey(kDbA);
    keepKey.KeepKey = true;
    const auto ownKey = key(keepKey);
    keepKey = source;
    EXPECT_EQ(keepKey.Database, kDbB);
    EXPECT_EQ(key(keepKey), ownKey);
    EXPECT_TRUE(sameContent(keepKey, source));

    // A copy is a new object: same content and connection, flags cleared.
    TRecord copy(source);
    EXPECT_EQ(copy.Database, kDbB);
    EXPECT_EQ(key(copy), key(source));
    EXPECT_FALSE(copy.KeepConnection);
    EXPECT_FALSE(copy.KeepKey);
    EXPECT_TRUE(sameContent(copy, source));

    // Through the base class only the connection moves.
    TRecord viaBase(kDbA);
    const auto baseKey = key(viaBase);
    static_cast<CZENDB_Object&>(viaBase) = static_cast<const CZENDB_Object&>(source);
    EXPECT_EQ(viaBase.Database, kDbB);
    EXPECT_EQ(key(viaBase), baseKey);
}

TEST(RecordAssignment, SampleCopiesEveryFieldIncludingTraceAndListingNames)
{
    CheckAssignment<CZENDB_Sample>(
        [](CZENDB_Sample& s) {
            s.SampleID = 42;
            s.UserSampleID = "S-42";
            s.WorkOrder = "WO";
            s.Customer = "Cliente";
            s.RegistrationDate = CTime(2014, 3, 5, 10, 0, 0);
            s.MeasuredDate = CTime(2014, 3, 7, 11, 0, 0);
            s.Signed = TRUE;
            s.PatternName = "P";
            s.RoutineName = "R";
            s.CustomField1 = "c1";
            s.CustomField19 = "c19";
            s.Trace.AddPoint({1.0, 2.0});
            s.Trace.AddPoint({3.0, 4.0});
        },
        [](const CZENDB_Sample& s) { return s.SampleID; },
        [](const CZENDB_Sample& a, const CZENDB_Sample& b) {
            return a.UserSampleID == b.UserSampleID && a.WorkOrder == b.WorkOrder &&
                   a.Customer == b.Customer && a.RegistrationDate == b.RegistrationDate &&
                   a.MeasuredDate == b.MeasuredDate && a.Signed == b.Signed &&
                   a.PatternName == b.PatternName && a.RoutineName == b.RoutineName &&
                   a.CustomField1 == b.CustomField1 && a.CustomField19 == b.CustomField19 &&
                   a.Trace == b.Trace;
        });
}

TEST(RecordAssignment, PatternAndIndentTypeCopySettingsAndDeletedMark)
{
    CheckAssignment<CZENDB_Pattern>(
        [](CZENDB_Pattern& p) {
            p.PatternID = 7;
            p.Name = "Nitrided";
            p.Deleted = TRUE;
            p.AutomaticallyEdgeAlignment = TRUE;
            p.FocusAfterEvery = 2.5;
            p.ECD4At = 550;
            p.GaussianOutlierLimit = 3;
            p.DiagramYMax = 900;
            p.TestloadUnit = 2;
        },
        [](const CZENDB_Pattern& p) { return p.PatternID; },
        [](const CZENDB_Pattern& a, const CZENDB_Pattern& b) {
            return a.Name == b.Name && a.Deleted == b.Deleted &&
                   a.AutomaticallyEdgeAlignment == b.AutomaticallyEdgeAlignment &&
                   a.FocusAfterEvery == b.FocusAfterEvery && a.ECD4At == b.ECD4At &&
                   a.GaussianOutlierLimit == b.GaussianOutlierLimit &&
                   a.DiagramYMax == b.DiagramYMax && a.TestloadUnit == b.TestloadUnit;
        });
    CheckAssignment<CZENDB_IndentType>(
        [](CZENDB_IndentType& t) {
            t.PatternID = 3;
            t.XPos = 0.5;
            t.YPos = 0.25;
            t.TestLoad = 500.0;
        },
        [](const CZENDB_IndentType& t) { return t.PatternID; },
        [](const CZENDB_IndentType& a, const CZENDB_IndentType& b) {
            return a.XPos == b.XPos && a.YPos == b.YPos && a.TestLoad == b.TestLoad;
        });
}

TEST(RecordAssignment, RoutinesRunsAndIndentsKeepTheirKeyOnRequest)
{
    CheckAssignment<CZENDB_Routine>(
        [](CZENDB_Routine& r) {
            r.RoutineTypeID = 9;
            r.Name = "Gear";
            r.Deleted = TRUE;
        },
        [](const CZENDB_Routine& r) { return r.RoutineTypeID; },
        [](const CZENDB_Routine& a, const CZENDB_Routine& b) {
            return a.Name == b.Name && a.Deleted == b.Deleted;
        });
    CheckAssignment<CZENDB_RoutineProfile>(
        [](CZENDB_RoutineProfile& p) {
            p.RoutineProfileTypeID = 11;
            p.RoutineTypeID = 9;
            p.PatternID = 7;
            p.Position = "Tooth 1";
            p.UsePrestoredCoordinates = 1;
            p.Direction = 90.0;
        },
        [](const CZENDB_RoutineProfile& p) { return p.RoutineProfileTypeID; },
        [](const CZENDB_RoutineProfile& a, const CZENDB_RoutineProfile& b) {
            return a.RoutineTypeID == b.RoutineTypeID && a.PatternID == b.PatternID &&
                   a.Position == b.Position &&
                   a.UsePrestoredCoordinates == b.UsePrestoredCoordinates &&
                   a.Direction == b.Direction;
        });
    CheckAssignment<CZENDB_SampleProfileRun>(
        [](CZENDB_SampleProfileRun& r) {
            r.ProfileID = 21;
            r.SampleID = 42;
            r.ProfileNr = 2;
            r.ProfileName = "Flank";
            r.CalcCoreHardness = TRUE;
            r.DIN50190Part2SurfacePercentage = 80.0;
            r.ECDToleranceMax = 0.8;
        },
        [](const CZENDB_SampleProfileRun& r) { return r.ProfileID; },
        [](const CZENDB_SampleProfileRun& a, const CZENDB_SampleProfileRun& b) {
            return a.SampleID == b.SampleID && a.ProfileNr == b.ProfileNr &&
                   a.ProfileName == b.ProfileName && a.CalcCoreHardness == b.CalcCoreHardness &&
                   a.DIN50190Part2SurfacePercentage == b.DIN50190Part2SurfacePercentage &&
                   a.ECDToleranceMax == b.ECDToleranceMax;
        });
    CheckAssignment<CZENDB_MadeIndent>(
        [](CZENDB_MadeIndent& m) {
            m.IndentID = 100;
            m.ProfileID = 21;
            m.ActualDistanceFromEdge = 0.05;
            m.D1 = 30.1;
            m.D2 = 30.3;
            m.ActualTypeOfIndentor = 2;
            m.Objective = "50x";
            m.CalibrationData = 0.125;
        },
        [](const CZENDB_MadeIndent& m) { return m.IndentID; },
        [](const CZENDB_MadeIndent& a, const CZENDB_MadeIndent& b) {
            return a.ProfileID == b.ProfileID &&
                   a.ActualDistanceFromEdge == b.ActualDistanceFromEdge && a.D1 == b.D1 &&
                   a.D2 == b.D2 && a.ActualTypeOfIndentor == b.ActualTypeOfIndentor &&
                   a.Objective == b.Objective && a.CalibrationData == b.CalibrationData;
        });
}

TEST(RecordAssignment, UsersAndRegistrationFieldsHaveNoKeyToKeep)
{
    CZENDB_User source(kDbB);
    source.Field0 = "Z1:name";
    source.Field1 = "Z1:password";
    source.Field2 = 2;
    CZENDB_User target(kDbA);
    target.KeepKey = true; // has no effect: the stored name is copied
    target = source;
    EXPECT_EQ(target.Field0, "Z1:name");
    EXPECT_EQ(target.Field1, "Z1:password");
    EXPECT_EQ(target.Field2, 2);
    EXPECT_EQ(target.Database, kDbB);

    CZENDB_RegistrationField field(kDbB);
    field.Control = "CustomField3";
    field.Visible = TRUE;
    field.DisplayOrder = 10;
    CZENDB_RegistrationField definition;
    definition.KeepKey = true;
    definition.KeepConnection = true;
    definition = field;
    EXPECT_EQ(definition.Control, "CustomField3");
    EXPECT_EQ(definition.Visible, TRUE);
    EXPECT_EQ(definition.DisplayOrder, 10);
    EXPECT_EQ(definition.Database, nullptr);
}

TEST(SampleRegistrationField, ConstructorsCopyTheDefinitionWithItsConnection)
{
    CZENDB_RegistrationField definition(kDbB);
    definition.Control = "DueDate";
    definition.Visible = TRUE;
    definition.DisplayOrder = 6;
    const CTime from(2014, 3, 5, 0, 0, 0);
    const CTime to(2014, 3, 7, 0, 0, 0);

    const CSampleRegistrationField text(5, definition, CString("A12"));
    const CSampleRegistrationField date(5, definition, from);
    const CSampleRegistrationField range(-1, definition, from, to);

    for (const CSampleRegistrationField* value : {&text, &date, &range}) {
        EXPECT_EQ(value->Field.Control, "DueDate");
        EXPECT_EQ(value->Field.DisplayOrder, 6);
        EXPECT_EQ(value->Field.Database, kDbB);
    }
    EXPECT_EQ(text.SampleID, 5);
    EXPECT_EQ(text.Text, "A12");
    EXPECT_EQ(text.Date.GetTime(), 0);
    EXPECT_EQ(text.Date2.GetTime(), 0);
    EXPECT_EQ(text.IsText, TRUE);
    EXPECT_TRUE(date.Text.IsEmpty());
    EXPECT_EQ(date.Date, from);
    EXPECT_EQ(date.Date2.GetTime(), 0);
    EXPECT_EQ(date.IsText, FALSE);
    EXPECT_EQ(range.SampleID, -1);
    EXPECT_EQ(range.Date, from);
    EXPECT_EQ(range.Date2, to);
    EXPECT_EQ(range.IsText, FALSE);
}

} // namespace
