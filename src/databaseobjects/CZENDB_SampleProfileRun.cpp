// Profile runs and made indents: construction, assignment, the settings
// blocks as records, and their database operations.

#include "databaseobjects/CZENDB_SampleProfileRun.h"

#include "databaseobjects/internal/SettingsFields.h"

#include "databaseobjects/AuditTrail.h"
#include "databaseobjects/SampleSignatures.h"
#include "databaseobjects/internal/RecordOps.h"
#include "framework/UIHost.h"
#include "framework/sql/Transaction.h"
#include "recordsets/CZENDB_PatternRecordsets.h"

#include <cstdlib>

namespace {

// The made indents of one run, with the given tail (ordering) appended.
CString MadeIndentsSql(int32_t profileID, const char* tail)
{
    CString sql;
    sql.Format("%s WHERE ProfileID=%d%s", CZENDB_IndentsRunRecordset().GetDefaultSQL().GetString(),
               profileID, tail);
    return sql;
}

// The UserSampleID of a sample (empty when it has no row): runs appear in the
// audit trail under their sample's identifier.
CString SampleIdentifierOf(CDatabase& db, int32_t sampleID)
{
    CString sql;
    sql.Format("SELECT [UserSampleID] FROM Samples WHERE [SampleID] = %d", static_cast<int>(sampleID));
    const CAuditRow row = zenaudit::ReadRow(db, sql);
    return row.Found ? row.Columns.front().second : CString();
}

int32_t MadeIndentCount(CDatabase& db, int32_t profileID)
{
    CString sql;
    sql.Format("SELECT COUNT(*) AS N FROM IndentsRun WHERE [ProfileID] = %d", static_cast<int>(profileID));
    const CAuditRow row = zenaudit::ReadRow(db, sql);
    return row.Found ? static_cast<int32_t>(std::atol(row.Columns.front().second.GetString())) : 0;
}

CString RunText(int32_t runNumber)
{
    CString text;
    text.Format("run %d", static_cast<int>(runNumber));
    return text;
}

CString IndentsText(int32_t count)
{
    CString text;
    text.Format("%d indents", static_cast<int>(count));
    return text;
}

// The lock of the run's sample, in the caller's transaction: false, the
// refusal shown, when the sample is signed and the session may not change it;
// otherwise the sample's signatures are withdrawn and its revision counted.
bool SampleMayChange(CDatabase* db, int32_t sampleID)
{
    CString refusal;
    if (zensign::OnSampleChange(db, sampleID, {CString("runs")}, false, refusal))
        return true;
    AfxMessageBox(refusal);
    return false;
}

} // namespace

CAuditEntry CZENDB_SampleProfileRun::DeletionEntry(CDatabase& db, int32_t profileID, int32_t runNumber,
                                                   const CString& userSampleID)
{
    CAuditEntry entry;
    entry.Action = zenaudit::kDelete;
    entry.ObjectKind = "run";
    entry.ObjectKey = profileID;
    entry.ObjectIdentifier = userSampleID;
    entry.OldValue = RunText(runNumber) + ", " + IndentsText(MadeIndentCount(db, profileID));
    return entry;
}

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
    if (Database == nullptr)
        return false;
    zendb_ops::CAuditTarget audit{"run", "SampleProfilesRun", "ProfileID", CString(), RunText(ProfileNr), {}};
    try {
        if (zenaudit::IsActive(Database))
            audit.identifier = SampleIdentifierOf(*Database, SampleID);
        CTransaction transaction(*Database);
        if (!SampleMayChange(Database, SampleID))
            return false;
        if (!zendb_ops::SaveByKey(*this, &CZENDB_SampleProfilesRunRecordset::m_ProfileRun,
                                  &CZENDB_SampleProfileRun::ProfileID, &audit))
            return false;
        transaction.Commit();
        return true;
    } catch (CDBException& e) {
        zendb_ops::ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}

bool CZENDB_SampleProfileRun::Delete()
{
    if (Database == nullptr)
        return false;
    try {
        CTransaction transaction(*Database);
        if (!SampleMayChange(Database, SampleID))
            return false;
        const CAuditEntry entry = DeletionEntry(*Database, ProfileID, ProfileNr, SampleIdentifierOf(*Database, SampleID));
        {
            CZENDB_IndentsRunRecordset indents(Database);
            if (!zendb_ops::DeleteEveryRow(indents, MadeIndentsSql(ProfileID, "")))
                return false;
        }
        CZENDB_SampleProfilesRunRecordset runs(Database);
        if (!zendb_ops::OpenDynaset(runs, zendb_ops::KeySql(runs, ProfileID)) || runs.IsEOF())
            return false;
        runs.Delete();
        runs.Close();
        zenaudit::Write(Database, std::vector<CAuditEntry>{entry});
        transaction.Commit();
        return true;
    } catch (CDBException& e) {
        zendb_ops::ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}

bool CZENDB_SampleProfileRun::SaveMadeIndents(std::vector<CZENDB_MadeIndent>& indents,
                                              const std::function<void(size_t)>& progress)
{
    if (Database == nullptr || ProfileID < 1)
        return false;
    try {
        CTransaction transaction(*Database);
        if (!indents.empty() && !SampleMayChange(Database, SampleID))
            return false;
        size_t done = 0;
        for (CZENDB_MadeIndent& indent : indents) {
            indent.Database = Database;
            indent.ProfileID = ProfileID;
            if (!indent.Save())
                return false;
            if (progress)
                progress(++done);
        }
        zenaudit::Write(Database, zenaudit::kInsert, "run", ProfileID, SampleIdentifierOf(*Database, SampleID),
                        "indents", CString(), IndentsText(static_cast<int32_t>(indents.size())));
        transaction.Commit();
        return true;
    } catch (CDBException& e) {
        zendb_ops::ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}

bool CZENDB_SampleProfileRun::Load(int32_t profileID)
{
    return zendb_ops::LoadByKey(*this, &CZENDB_SampleProfilesRunRecordset::m_ProfileRun,
                                &CZENDB_SampleProfileRun::ProfileID, profileID);
}

bool CZENDB_SampleProfileRun::DeleteAllMadeIndents()
{
    if (Database == nullptr)
        return false;
    try {
        CTransaction transaction(*Database);
        const bool audited = zenaudit::IsActive(Database);
        const int32_t count = MadeIndentCount(*Database, ProfileID);
        if (count > 0 && !SampleMayChange(Database, SampleID))
            return false;
        if (!zendb_ops::DeleteAllRows<CZENDB_IndentsRunRecordset>(Database, MadeIndentsSql(ProfileID, "")))
            return false;
        if (audited && count > 0)
            zenaudit::Write(Database, zenaudit::kDelete, "run", ProfileID, SampleIdentifierOf(*Database, SampleID),
                            "indents", IndentsText(count), CString());
        transaction.Commit();
        return true;
    } catch (CDBException& e) {
        zendb_ops::ShowDatabaseError(e);
        e.Delete();
        return false;
    }
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
