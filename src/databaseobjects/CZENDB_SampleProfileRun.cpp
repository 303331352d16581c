// Profile runs and made indents: construction, assignment, the settings
// blocks as records, and their database operations.

#include "databaseobjects/CZENDB_SampleProfileRun.h"

#include "databaseobjects/internal/SettingsFields.h"

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
    zen::records::PairCalculationFields(s, *this, zen::records::CAssignToSettings());
    return s;
}

void CZENDB_SampleProfileRun::SetCalculationSettings(const ProfileCalculationSettings& s)
{
    zen::records::PairCalculationFields(s, *this, zen::records::CAssignToRecord());
}

ProfileDiagramSettings CZENDB_SampleProfileRun::GetDiagramSettings() const
{
    ProfileDiagramSettings s;
    zen::records::PairDiagramFields(s, *this, zen::records::CAssignToSettings());
    return s;
}

void CZENDB_SampleProfileRun::SetDiagramSettings(const ProfileDiagramSettings& s)
{
    zen::records::PairDiagramFields(s, *this, zen::records::CAssignToRecord());
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
