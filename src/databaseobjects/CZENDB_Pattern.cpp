// Test patterns and planned indents: construction, assignment, the settings
// blocks as records, and their database operations.

#include "databaseobjects/CZENDB_Pattern.h"

#include "databaseobjects/internal/SettingsFields.h"

#include "databaseobjects/internal/RecordOps.h"
#include "recordsets/CZENDB_PatternRecordsets.h"

CZENDB_Pattern::CZENDB_Pattern(CDatabase* database)
    : CZENDB_Object(database), PatternID(-1), Deleted(FALSE), PatternType(0), SpacingType(0),
      ZigZagSpacing(0.0), NrOfIndents(0), SpacingBetweenIndents(0.0), TotalTraverse(0.0),
      XOffset(0.0), YOffset(0.0), TestLoadMethod(0), TestLoad(0.0), NrOfLines(0),
      LineSpacing(0.0), AutomaticallyEdgeAlignment(FALSE), FocusStrategy(0),
      FocusAfterEvery(0.0), MakeAndMeasureStrategy(0), StopXindentsAfterECD(0), Standard(0),
      ECD1At(0), ECD2At(0), ECD3At(0), ECD4At(0), ECDAtUnitConv(0), ECD2AtUnitConv(0),
      CalcECD1(FALSE), CalcECD2(FALSE), CalcCoreHardness(FALSE), DIN50190Part2ECDMethod(0),
      DIN50190Part2SurfacePercentage(0.0), DIN50190Part2FixHardness(0),
      DIN50190Part2FixHardnessUnitConv(0), DIN50190Part3AddToCore(0), CoreHardnessNofIndents(0),
      MultilaneAverageMethod(0), CurveType(0), GaussianIgnoreSoftDueToCarbonLoss(FALSE),
      GaussianIgnoreIndentOverHardnessLimit(FALSE), GaussianIgnoreIndentIfOutlier(FALSE),
      GaussianHardnessLimitInputUnit(0), GaussianHardnessLimit(0), GaussianOutlierLimit(0),
      DiagramXAxisUnit(0), DiagramXAutomatic(FALSE), DiagramYAutomatic(FALSE), DiagramXMin(0.0),
      DiagramYMin(0), DiagramXMax(0.0), DiagramYMax(0), DiagramShowIndentHardness(FALSE),
      DiagramShowShowAsRockwell(FALSE), DiagramShowResults(FALSE),
      DiagramShowECDTolerances(FALSE), ECDToleranceMin(0.0), ECDToleranceMax(0.0),
      TestloadUnit(0)
{
}

CZENDB_Pattern::CZENDB_Pattern(CDatabase* database, int layout) : CZENDB_Pattern(database)
{
    TestLoad = 1000.0;
    NrOfIndents = 11;
    NrOfLines = 1;
    if (layout != 0) {
        ZigZagSpacing = 0.1;
        SpacingBetweenIndents = 0.1;
        TotalTraverse = 1.05;
        XOffset = 0.05;
        LineSpacing = 0.25;
    } else {
        ZigZagSpacing = 10.0 / 25.4;
        SpacingBetweenIndents = 5.0 / 25.4;
        TotalTraverse = 55.0 / 25.4;
        XOffset = 5.0 / 25.4;
        LineSpacing = 5.0 / 25.4;
    }
}

CZENDB_Pattern& CZENDB_Pattern::operator=(const CZENDB_Pattern& other)
{
    if (this == &other)
        return *this;
    CZENDB_Object::operator=(other);
    if (!KeepKey)
        PatternID = other.PatternID;
    Name = other.Name;
    Comment = other.Comment;
    Deleted = other.Deleted;
    PatternType = other.PatternType;
    SpacingType = other.SpacingType;
    ZigZagSpacing = other.ZigZagSpacing;
    NrOfIndents = other.NrOfIndents;
    SpacingBetweenIndents = other.SpacingBetweenIndents;
    TotalTraverse = other.TotalTraverse;
    XOffset = other.XOffset;
    YOffset = other.YOffset;
    TestLoadMethod = other.TestLoadMethod;
    TestLoad = other.TestLoad;
    NrOfLines = other.NrOfLines;
    LineSpacing = other.LineSpacing;
    AutomaticallyEdgeAlignment = other.AutomaticallyEdgeAlignment;
    SetStrategySettings(other.GetStrategySettings());
    SetCalculationSettings(other.GetCalculationSettings());
    SetDiagramSettings(other.GetDiagramSettings());
    return *this;
}

ProfileCalculationSettings CZENDB_Pattern::GetCalculationSettings() const
{
    ProfileCalculationSettings s;
    zen::records::PairCalculationFields(s, *this, zen::records::CAssignToSettings());
    return s;
}

void CZENDB_Pattern::SetCalculationSettings(const ProfileCalculationSettings& s)
{
    zen::records::PairCalculationFields(s, *this, zen::records::CAssignToRecord());
}

ProfileStrategySettings CZENDB_Pattern::GetStrategySettings() const
{
    ProfileStrategySettings s;
    zen::records::PairStrategyFields(s, *this, zen::records::CAssignToSettings());
    return s;
}

void CZENDB_Pattern::SetStrategySettings(const ProfileStrategySettings& s)
{
    zen::records::PairStrategyFields(s, *this, zen::records::CAssignToRecord());
}

ProfileDiagramSettings CZENDB_Pattern::GetDiagramSettings() const
{
    ProfileDiagramSettings s;
    zen::records::PairDiagramFields(s, *this, zen::records::CAssignToSettings());
    return s;
}

void CZENDB_Pattern::SetDiagramSettings(const ProfileDiagramSettings& s)
{
    zen::records::PairDiagramFields(s, *this, zen::records::CAssignToRecord());
}

CZENDB_IndentType::CZENDB_IndentType(CDatabase* database)
    : CZENDB_IndentType(database, 0.0, 0.0, 100.0)
{
}

CZENDB_IndentType::CZENDB_IndentType(CDatabase* database, double xPos, double yPos,
                                     double testLoad)
    : CZENDB_Object(database), PatternID(-1), XPos(xPos), YPos(yPos), TestLoad(testLoad)
{
}

CZENDB_IndentType& CZENDB_IndentType::operator=(const CZENDB_IndentType& other)
{
    if (this == &other)
        return *this;
    CZENDB_Object::operator=(other);
    if (!KeepKey)
        PatternID = other.PatternID;
    XPos = other.XPos;
    YPos = other.YPos;
    TestLoad = other.TestLoad;
    return *this;
}

bool CZENDB_Pattern::Save()
{
    const zendb_ops::CAuditTarget audit{"pattern", "Patterns", "PatternID", Name, CString(), {}};
    return zendb_ops::SaveByKey(*this, &CZENDB_PatternsRecordset::m_Pattern, &CZENDB_Pattern::PatternID, &audit);
}

void CZENDB_Pattern::CreateAsTeachInPattern()
{
    Name.Empty();
    Comment.Empty();
    PatternType = 1;
    SpacingType = 2;
    TestLoadMethod = 2;
}

bool CZENDB_Pattern::Load(int32_t patternID)
{
    return zendb_ops::LoadByKey(*this, &CZENDB_PatternsRecordset::m_Pattern,
                                &CZENDB_Pattern::PatternID, patternID);
}

bool CZENDB_Pattern::Delete()
{
    const zendb_ops::CAuditTarget audit{"pattern", "Patterns", "PatternID", Name, CString(), {}};
    return zendb_ops::MarkDeletedByKey(*this, &CZENDB_PatternsRecordset::m_Pattern, PatternID, &audit);
}

bool CZENDB_Pattern::AddIndent(double xPos, double yPos, double testLoad)
{
    if (Database == nullptr)
        return false;
    CZENDB_IndentType indent(Database, xPos, yPos, testLoad);
    indent.PatternID = PatternID;
    return indent.Save();
}

bool CZENDB_Pattern::DeleteAllIndentTypes()
{
    CString sql;
    sql.Format("%s WHERE PatternID=%d", CZENDB_IndentTypeRecordset().GetDefaultSQL().GetString(),
               PatternID);
    return zendb_ops::DeleteAllRows<CZENDB_IndentTypeRecordset>(Database, sql);
}

bool CZENDB_Pattern::GetAllIndentTypes(CObList& indents)
{
    CString sql;
    sql.Format("%s WHERE PatternID=%d ORDER BY [XPos]",
               CZENDB_IndentTypeRecordset().GetDefaultSQL().GetString(), PatternID);
    return zendb_ops::ListRows(Database, sql, &CZENDB_IndentTypeRecordset::m_IndentType, indents,
                               true);
}

bool CZENDB_IndentType::Save()
{
    if (Database == nullptr || PatternID < 1)
        return false;
    try {
        CZENDB_IndentTypeRecordset rs(Database);
        if (!zendb_ops::OpenDynaset(rs, rs.GetDefaultSQL()))
            return false;
        rs.AddNew();
        rs.m_IndentType.KeepKey = false;
        rs.m_IndentType = *this;
        rs.Update();
        rs.Close();
        return true;
    } catch (CDBException& e) {
        zendb_ops::ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}
