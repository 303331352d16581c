// Profile runs and made indents: construction, assignment, the settings
// blocks as records, and their database operations.

#include "databaseobjects/CZENDB_SampleProfileRun.h"

#include "databaseobjects/internal/RecordOps.h"
#include "recordsets/CZENDB_PatternRecordsets.h"

namespace {

// The made indents of one run, with the given tail (ordering) appended.
CString MadeIndentsSql(int32_t profileID, const char* tail)
{
    CString sql;
    sql.Format("%s WHERE ProfileID=%d%s", CZENDB_IndentsRunRecordset().GetDefaultSQL().GetString(),
               profileID, tail);
    return sql;
}

} // namespace

CZENDB_SampleProfileRun::CZENDB_SampleProfileRun(CDatabase* database)
    : CZENDB_Object(database), ProfileID(-1), SampleID(-1), ProfileNr(-1), StagePosX(0.0),
      StagePosY(0.0), Direction(0.0), Standard(0), ECD1At(0), ECD2At(0), ECD3At(0), ECD4At(0),
      ECDAtUnitConv(0), ECD2AtUnitConv(0), CalcECD1(FALSE), CalcECD2(FALSE),
      CalcCoreHardness(FALSE), DIN50190Part2ECDMethod(0), DIN50190Part2SurfacePercentage(0.0),
      DIN50190Part2FixHardness(0), DIN50190Part2FixHardnessUnitConv(0), DIN50190Part3AddToCore(0),
      CoreHardnessNofIndents(0), MultilaneAverageMethod(0), CurveType(0),
      GaussianIgnoreSoftDueToCarbonLoss(FALSE), GaussianIgnoreIndentOverHardnessLimit(FALSE),
      GaussianIgnoreIndentIfOutlier(FALSE), GaussianHardnessLimitInputUnit(0),
      GaussianHardnessLimit(0), GaussianOutlierLimit(0), DiagramXAxisUnit(0),
      DiagramXAutomatic(FALSE), DiagramYAutomatic(FALSE), DiagramXMin(0.0), DiagramYMin(0),
      DiagramXMax(0.0), DiagramYMax(0), DiagramShowIndentHardness(FALSE),
      DiagramShowShowAsRockwell(FALSE), DiagramShowResults(FALSE),
      DiagramShowECDTolerances(FALSE), ECDToleranceMin(0.0), ECDToleranceMax(0.0),
      TestloadUnit(0)
{
}

CZENDB_SampleProfileRun& CZENDB_SampleProfileRun::operator=(const CZENDB_SampleProfileRun& other)
{
    if (this == &other)
        return *this;
    CZENDB_Object::operator=(other);
    if (!KeepKey)
        ProfileID = other.ProfileID;
    SampleID = other.SampleID;
    ProfileNr = other.ProfileNr;
    Position = other.Position;
    StagePosX = other.StagePosX;
    StagePosY = other.StagePosY;
    Direction = other.Direction;
    ProfileName = other.ProfileName;
    SetCalculationSettings(other.GetCalculationSettings());
    SetDiagramSettings(other.GetDiagramSettings());
    return *this;
}

ProfileCalculationSettings CZENDB_SampleProfileRun::GetCalculationSettings() const
{
    ProfileCalculationSettings s;
    s.Standard = Standard;
    s.ECD1At = ECD1At;
    s.ECD2At = ECD2At;
    s.ECD3At = ECD3At;
    s.ECD4At = ECD4At;
    s.ECDAtUnitConv = ECDAtUnitConv;
    s.ECD2AtUnitConv = ECD2AtUnitConv;
    s.CalcECD1 = CalcECD1;
    s.CalcECD2 = CalcECD2;
    s.CalcCoreHardness = CalcCoreHardness;
    s.DIN50190Part2ECDMethod = DIN50190Part2ECDMethod;
    s.DIN50190Part2SurfacePercentage = DIN50190Part2SurfacePercentage;
    s.DIN50190Part2FixHardness = DIN50190Part2FixHardness;
    s.DIN50190Part2FixHardnessUnitConv = DIN50190Part2FixHardnessUnitConv;
    s.DIN50190Part3AddToCore = DIN50190Part3AddToCore;
    s.CoreHardnessNofIndents = CoreHardnessNofIndents;
    s.MultilaneAverageMethod = MultilaneAverageMethod;
    s.CurveType = CurveType;
    s.GaussianIgnoreSoftDueToCarbonLoss = GaussianIgnoreSoftDueToCarbonLoss;
    s.GaussianIgnoreIndentOverHardnessLimit = GaussianIgnoreIndentOverHardnessLimit;
    s.GaussianIgnoreIndentIfOutlier = GaussianIgnoreIndentIfOutlier;
    s.GaussianHardnessLimitInputUnit = GaussianHardnessLimitInputUnit;
    s.GaussianHardnessLimit = GaussianHardnessLimit;
    s.GaussianOutlierLimit = GaussianOutlierLimit;
    return s;
}

void CZENDB_SampleProfileRun::SetCalculationSettings(const ProfileCalculationSettings& s)
{
    Standard = s.Standard;
    ECD1At = s.ECD1At;
    ECD2At = s.ECD2At;
    ECD3At = s.ECD3At;
    ECD4At = s.ECD4At;
    ECDAtUnitConv = s.ECDAtUnitConv;
    ECD2AtUnitConv = s.ECD2AtUnitConv;
    CalcECD1 = s.CalcECD1;
    CalcECD2 = s.CalcECD2;
    CalcCoreHardness = s.CalcCoreHardness;
    DIN50190Part2ECDMethod = s.DIN50190Part2ECDMethod;
    DIN50190Part2SurfacePercentage = s.DIN50190Part2SurfacePercentage;
    DIN50190Part2FixHardness = s.DIN50190Part2FixHardness;
    DIN50190Part2FixHardnessUnitConv = s.DIN50190Part2FixHardnessUnitConv;
    DIN50190Part3AddToCore = s.DIN50190Part3AddToCore;
    CoreHardnessNofIndents = s.CoreHardnessNofIndents;
    MultilaneAverageMethod = s.MultilaneAverageMethod;
    CurveType = s.CurveType;
    GaussianIgnoreSoftDueToCarbonLoss = s.GaussianIgnoreSoftDueToCarbonLoss;
    GaussianIgnoreIndentOverHardnessLimit = s.GaussianIgnoreIndentOverHardnessLimit;
    GaussianIgnoreIndentIfOutlier = s.GaussianIgnoreIndentIfOutlier;
    GaussianHardnessLimitInputUnit = s.GaussianHardnessLimitInputUnit;
    GaussianHardnessLimit = s.GaussianHardnessLimit;
    GaussianOutlierLimit = s.GaussianOutlierLimit;
}

ProfileDiagramSettings CZENDB_SampleProfileRun::GetDiagramSettings() const
{
    ProfileDiagramSettings s;
    s.DiagramXAxisUnit = DiagramXAxisUnit;
    s.DiagramXAutomatic = DiagramXAutomatic;
    s.DiagramYAutomatic = DiagramYAutomatic;
    s.DiagramXMin = DiagramXMin;
    s.DiagramYMin = DiagramYMin;
    s.DiagramXMax = DiagramXMax;
    s.DiagramYMax = DiagramYMax;
    s.DiagramShowIndentHardness = DiagramShowIndentHardness;
    s.DiagramShowShowAsRockwell = DiagramShowShowAsRockwell;
    s.DiagramShowResults = DiagramShowResults;
    s.DiagramShowECDTolerances = DiagramShowECDTolerances;
    s.ECDToleranceMin = ECDToleranceMin;
    s.ECDToleranceMax = ECDToleranceMax;
    s.TestloadUnit = TestloadUnit;
    return s;
}

void CZENDB_SampleProfileRun::SetDiagramSettings(const ProfileDiagramSettings& s)
{
    DiagramXAxisUnit = s.DiagramXAxisUnit;
    DiagramXAutomatic = s.DiagramXAutomatic;
    DiagramYAutomatic = s.DiagramYAutomatic;
    DiagramXMin = s.DiagramXMin;
    DiagramYMin = s.DiagramYMin;
    DiagramXMax = s.DiagramXMax;
    DiagramYMax = s.DiagramYMax;
    DiagramShowIndentHardness = s.DiagramShowIndentHardness;
    DiagramShowShowAsRockwell = s.DiagramShowShowAsRockwell;
    DiagramShowResults = s.DiagramShowResults;
    DiagramShowECDTolerances = s.DiagramShowECDTolerances;
    ECDToleranceMin = s.ECDToleranceMin;
    ECDToleranceMax = s.ECDToleranceMax;
    TestloadUnit = s.TestloadUnit;
}

CZENDB_MadeIndent::CZENDB_MadeIndent(CDatabase* database)
    : CZENDB_Object(database), IndentID(-1), ProfileID(-1), ActualDistanceFromEdge(0.0),
      ActualDistanceFromAxis(0.0), D1(0.0), D2(0.0), ActualTypeOfIndentor(1),
      ActualTestload(0.0), CalibrationData(0.0)
{
}

CZENDB_MadeIndent& CZENDB_MadeIndent::operator=(const CZENDB_MadeIndent& other)
{
    if (this == &other)
        return *this;
    CZENDB_Object::operator=(other);
    if (!KeepKey)
        IndentID = other.IndentID;
    ProfileID = other.ProfileID;
    ActualDistanceFromEdge = other.ActualDistanceFromEdge;
    ActualDistanceFromAxis = other.ActualDistanceFromAxis;
    D1 = other.D1;
    D2 = other.D2;
    ActualTypeOfIndentor = other.ActualTypeOfIndentor;
    ActualTestload = other.ActualTestload;
    Objective = other.Objective;
    CalibrationData = other.CalibrationData;
    return *this;
}

bool CZENDB_SampleProfileRun::Save()
{
    return zendb_ops::SaveByKey(*this, &CZENDB_SampleProfilesRunRecordset::m_ProfileRun,
                                &CZENDB_SampleProfileRun::ProfileID);
}

bool CZENDB_SampleProfileRun::Load(int32_t profileID)
{
    return zendb_ops::LoadByKey(*this, &CZENDB_SampleProfilesRunRecordset::m_ProfileRun,
                                &CZENDB_SampleProfileRun::ProfileID, profileID);
}

bool CZENDB_SampleProfileRun::DeleteAllMadeIndents()
{
    return zendb_ops::DeleteAllRows<CZENDB_IndentsRunRecordset>(Database,
                                                                MadeIndentsSql(ProfileID, ""));
}

bool CZENDB_SampleProfileRun::GetAllMadeIndents(CObList& indents, int byDistance)
{
    const CString sql =
        MadeIndentsSql(ProfileID, byDistance != 0 ? " ORDER BY [Actual distance from edge], [IndentID] "
                                                  : " ORDER BY [IndentID] ");
    return zendb_ops::ListRows(Database, sql, &CZENDB_IndentsRunRecordset::m_MadeIndent, indents, true);
}

bool CZENDB_SampleProfileRun::GetHasMadeIndents(int& hasIndents)
{
    if (Database == nullptr)
        return false;
    hasIndents = 0;
    try {
        CZENDB_IndentsRunRecordset rs(Database);
        if (!zendb_ops::OpenDynaset(rs, MadeIndentsSql(ProfileID, " ORDER BY [Actual distance from edge]")))
            return false;
        if (!rs.IsEOF())
            hasIndents = 1;
        rs.Close();
        return true;
    } catch (CDBException& e) {
        zendb_ops::ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}

bool CZENDB_MadeIndent::Save()
{
    return zendb_ops::SaveByKey(*this, &CZENDB_IndentsRunRecordset::m_MadeIndent,
                                &CZENDB_MadeIndent::IndentID);
}
