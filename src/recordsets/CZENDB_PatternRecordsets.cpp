// Recordsets of the pattern, routine and profile tables: statements, field
// exchange and key filters.

#include "recordsets/CZENDB_PatternRecordsets.h"

CZENDB_PatternsRecordset::CZENDB_PatternsRecordset(CDatabase* database)
    : CZENDB_Recordset(database), m_Pattern(nullptr)
{
    m_nFields = 59;
}

CString CZENDB_PatternsRecordset::GetDefaultSQL()
{
    return "SELECT [PatternID],[Name],[Comment],[PatternType],[SpacingType],[ZigZagSpacing],"
           "[NrOfIndents],[SpacingBetweenIndents],[TotalTraverse],[XOffset],[YOffset],[NrOfLines],"
           "[LineSpacing],[TestLoadMethod],[TestLoad],[Standard],[ECD1At],[ECD2At],"
           "[ECDAtUnitConv],[ECD2AtUnitConv],[CalcECD1],[CalcECD2],[CalcCoreHardness],"
           "[DIN50190Part2ECDMethod],[DIN50190Part2SurfacePercentage],[DIN50190Part2FixHardness],"
           "[DIN50190Part2FixHardnessUnitConv],[DIN50190Part3AddToCore],[CoreHardnessNofIndents],"
           "[MultilaneAverageMethod],[CurveType],[GaussianIgnoreSoftDueToCarbonLoss],"
           "[GaussianIgnoreIndentOverHardnessLimit],[GaussianIgnoreIndentIfOutlier],"
           "[GaussianHardnessLimitInputUnit],[GaussianHardnessLimit],[GaussianOutlierLimit],"
           "[FocusStrategy],[FocusAfterEvery],[MakeAndMeasureStrategy],[StopXindentsAfterECD],"
           "[DiagramXAutomatic],[DiagramYAutomatic],[DiagramXMin],[DiagramXMax],[DiagramYMin],"
           "[DiagramYMax],[DiagramXAxisUnit],[DiagramShowIndentHardness],"
           "[DiagramShowShowAsRockwell],[DiagramShowResults],[DiagramShowECDTolerances],"
           "[ECDToleranceMin],[ECDToleranceMax],[TestloadUnit],[ECD3At],[ECD4At],"
           " [AutomaticallyEdgeAlignment], [Deleted] FROM Patterns";
}

void CZENDB_PatternsRecordset::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    RFX_Long(pFX, "[PatternID]", m_Pattern.PatternID);
    RFX_Text(pFX, "[Name]", m_Pattern.Name);
    RFX_Text(pFX, "[Comment]", m_Pattern.Comment);
    RFX_Int(pFX, "[PatternType]", m_Pattern.PatternType);
    RFX_Int(pFX, "[SpacingType]", m_Pattern.SpacingType);
    RFX_Double(pFX, "[ZigZagSpacing]", m_Pattern.ZigZagSpacing);
    RFX_Int(pFX, "[NrOfIndents]", m_Pattern.NrOfIndents);
    RFX_Double(pFX, "[SpacingBetweenIndents]", m_Pattern.SpacingBetweenIndents);
    RFX_Double(pFX, "[TotalTraverse]", m_Pattern.TotalTraverse);
    RFX_Double(pFX, "[XOffset]", m_Pattern.XOffset);
    RFX_Double(pFX, "[YOffset]", m_Pattern.YOffset);
    RFX_Int(pFX, "[NrOfLines]", m_Pattern.NrOfLines);
    RFX_Double(pFX, "[LineSpacing]", m_Pattern.LineSpacing);
    RFX_Int(pFX, "[TestLoadMethod]", m_Pattern.TestLoadMethod);
    RFX_Double(pFX, "[TestLoad]", m_Pattern.TestLoad);
    RFX_Int(pFX, "[Standard]", m_Pattern.Standard);
    RFX_Int(pFX, "[ECD1At]", m_Pattern.ECD1At);
    RFX_Int(pFX, "[ECD2At]", m_Pattern.ECD2At);
    RFX_Int(pFX, "[ECDAtUnitConv]", m_Pattern.ECDAtUnitConv);
    RFX_Int(pFX, "[ECD2AtUnitConv]", m_Pattern.ECD2AtUnitConv);
    RFX_Bool(pFX, "[CalcECD1]", m_Pattern.CalcECD1);
    RFX_Bool(pFX, "[CalcECD2]", m_Pattern.CalcECD2);
    RFX_Bool(pFX, "[CalcCoreHardness]", m_Pattern.CalcCoreHardness);
    RFX_Int(pFX, "[DIN50190Part2ECDMethod]", m_Pattern.DIN50190Part2ECDMethod);
    RFX_Double(pFX, "[DIN50190Part2SurfacePercentage]", m_Pattern.DIN50190Part2SurfacePercentage);
    RFX_Int(pFX, "[DIN50190Part2FixHardness]", m_Pattern.DIN50190Part2FixHardness);
    RFX_Int(pFX, "[DIN50190Part2FixHardnessUnitConv]", m_Pattern.DIN50190Part2FixHardnessUnitConv);
    RFX_Int(pFX, "[DIN50190Part3AddToCore]", m_Pattern.DIN50190Part3AddToCore);
    RFX_Int(pFX, "[CoreHardnessNofIndents]", m_Pattern.CoreHardnessNofIndents);
    RFX_Int(pFX, "[MultilaneAverageMethod]", m_Pattern.MultilaneAverageMethod);
    RFX_Int(pFX, "[CurveType]", m_Pattern.CurveType);
    RFX_Bool(pFX, "[GaussianIgnoreSoftDueToCarbonLoss]", m_Pattern.GaussianIgnoreSoftDueToCarbonLoss);
    RFX_Bool(pFX, "[GaussianIgnoreIndentOverHardnessLimit]", m_Pattern.GaussianIgnoreIndentOverHardnessLimit);
    RFX_Bool(pFX, "[GaussianIgnoreIndentIfOutlier]", m_Pattern.GaussianIgnoreIndentIfOutlier);
    RFX_Int(pFX, "[GaussianHardnessLimitInputUnit]", m_Pattern.GaussianHardnessLimitInputUnit);
    RFX_Int(pFX, "[GaussianHardnessLimit]", m_Pattern.GaussianHardnessLimit);
    RFX_Int(pFX, "[GaussianOutlierLimit]", m_Pattern.GaussianOutlierLimit);
    RFX_Int(pFX, "[FocusStrategy]", m_Pattern.FocusStrategy);
    RFX_Double(pFX, "[FocusAfterEvery]", m_Pattern.FocusAfterEvery);
    RFX_Int(pFX, "[MakeAndMeasureStrategy]", m_Pattern.MakeAndMeasureStrategy);
    RFX_Int(pFX, "[StopXindentsAfterECD]", m_Pattern.StopXindentsAfterECD);
    RFX_Bool(pFX, "[DiagramXAutomatic]", m_Pattern.DiagramXAutomatic);
    RFX_Bool(pFX, "[DiagramYAutomatic]", m_Pattern.DiagramYAutomatic);
    RFX_Double(pFX, "[DiagramXMin]", m_Pattern.DiagramXMin);
    RFX_Double(pFX, "[DiagramXMax]", m_Pattern.DiagramXMax);
    RFX_Int(pFX, "[DiagramYMin]", m_Pattern.DiagramYMin);
    RFX_Int(pFX, "[DiagramYMax]", m_Pattern.DiagramYMax);
    RFX_Int(pFX, "[DiagramXAxisUnit]", m_Pattern.DiagramXAxisUnit);
    RFX_Bool(pFX, "[DiagramShowIndentHardness]", m_Pattern.DiagramShowIndentHardness);
    RFX_Bool(pFX, "[DiagramShowShowAsRockwell]", m_Pattern.DiagramShowShowAsRockwell);
    RFX_Bool(pFX, "[DiagramShowResults]", m_Pattern.DiagramShowResults);
    RFX_Bool(pFX, "[DiagramShowECDTolerances]", m_Pattern.DiagramShowECDTolerances);
    RFX_Double(pFX, "[ECDToleranceMin]", m_Pattern.ECDToleranceMin);
    RFX_Double(pFX, "[ECDToleranceMax]", m_Pattern.ECDToleranceMax);
    RFX_Int(pFX, "[TestloadUnit]", m_Pattern.TestloadUnit);
    RFX_Int(pFX, "[ECD3At]", m_Pattern.ECD3At);
    RFX_Int(pFX, "[ECD4At]", m_Pattern.ECD4At);
    RFX_Bool(pFX, "[AutomaticallyEdgeAlignment]", m_Pattern.AutomaticallyEdgeAlignment);
    RFX_Bool(pFX, "[Deleted]", m_Pattern.Deleted);
}

CString CZENDB_PatternsRecordset::GetWhereSQL(int32_t patternID)
{
    CString clause;
    clause.Format(" WHERE PatternID=%d AND Deleted = 0 ", patternID);
    return clause;
}

CZENDB_IndentTypeRecordset::CZENDB_IndentTypeRecordset(CDatabase* database)
    : CZENDB_Recordset(database), m_IndentType(nullptr)
{
    m_nFields = 4;
}

CString CZENDB_IndentTypeRecordset::GetDefaultSQL()
{
    return "SELECT [PatternID], [XPos], [YPos], [Testload] FROM IndentType";
}

void CZENDB_IndentTypeRecordset::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    RFX_Long(pFX, "[PatternID]", m_IndentType.PatternID);
    RFX_Double(pFX, "[XPos]", m_IndentType.XPos);
    RFX_Double(pFX, "[YPos]", m_IndentType.YPos);
    // The statement spells the column "Testload"; column names are not case
    // sensitive, so both name the same column.
    RFX_Double(pFX, "[TestLoad]", m_IndentType.TestLoad);
}

CZENDB_RoutineTypesRecordset::CZENDB_RoutineTypesRecordset(CDatabase* database)
    : CZENDB_Recordset(database), m_Routine(nullptr)
{
    m_nFields = 4;
}

CString CZENDB_RoutineTypesRecordset::GetDefaultSQL()
{
    return "SELECT [RoutineTypeID], [Name], [Comment], [Deleted] FROM RoutineTypes";
}

void CZENDB_RoutineTypesRecordset::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    RFX_Long(pFX, "[RoutineTypeID]", m_Routine.RoutineTypeID);
    RFX_Text(pFX, "[Name]", m_Routine.Name);
    RFX_Text(pFX, "[Comment]", m_Routine.Comment);
    RFX_Bool(pFX, "[Deleted]", m_Routine.Deleted);
}

CString CZENDB_RoutineTypesRecordset::GetWhereSQL(int32_t routineTypeID)
{
    CString clause;
    clause.Format(" WHERE RoutineTypeID=%d", routineTypeID);
    return clause;
}

CZENDB_RoutineProfileRecordset::CZENDB_RoutineProfileRecordset(CDatabase* database)
    : CZENDB_Recordset(database), m_RoutineProfile(nullptr)
{
    m_nFields = 8;
}

CString CZENDB_RoutineProfileRecordset::GetDefaultSQL()
{
    return "SELECT [RoutineProfileTypeID], [RoutineTypeID], [PatternID], [Position],"
           " [UsePrestoredCoordinates], [XPos], [YPos], [Direction] FROM RoutineProfile";
}

void CZENDB_RoutineProfileRecordset::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    RFX_Long(pFX, "[RoutineProfileTypeID]", m_RoutineProfile.RoutineProfileTypeID);
    RFX_Long(pFX, "[RoutineTypeID]", m_RoutineProfile.RoutineTypeID);
    RFX_Long(pFX, "[PatternID]", m_RoutineProfile.PatternID);
    RFX_Text(pFX, "[Position]", m_RoutineProfile.Position);
    RFX_Int(pFX, "[UsePrestoredCoordinates]", m_RoutineProfile.UsePrestoredCoordinates);
    RFX_Double(pFX, "[XPos]", m_RoutineProfile.XPos);
    RFX_Double(pFX, "[YPos]", m_RoutineProfile.YPos);
    RFX_Double(pFX, "[Direction]", m_RoutineProfile.Direction);
}

CString CZENDB_RoutineProfileRecordset::GetWhereSQL(int32_t routineProfileTypeID)
{
    CString clause;
    clause.Format(" WHERE RoutineProfileTypeID=%d", routineProfileTypeID);
    return clause;
}

CZENDB_SampleProfilesRunRecordset::CZENDB_SampleProfilesRunRecordset(CDatabase* database)
    : CZENDB_Recordset(database), m_ProfileRun(nullptr)
{
    m_nFields = 46;
}

CString CZENDB_SampleProfilesRunRecordset::GetDefaultSQL()
{
    return "SELECT [ProfileID],[SampleID],[ProfileNr],[Position],[StagePosX],[StagePosY],"
           "[Direction],[ProfileName],[Standard],[ECD1At],[ECD2At],[ECDAtUnitConv],"
           "[ECD2AtUnitConv],[CalcECD1],[CalcECD2],[CalcCoreHardness],[DIN50190Part2ECDMethod],"
           "[DIN50190Part2SurfacePercentage],[DIN50190Part2FixHardness],"
           "[DIN50190Part2FixHardnessUnitConv],[DIN50190Part3AddToCore],[CoreHardnessNofIndents],"
           "[MultilaneAverageMethod],[CurveType],[GaussianIgnoreSoftDueToCarbonLoss],"
           "[GaussianIgnoreIndentOverHardnessLimit],[GaussianIgnoreIndentIfOutlier],"
           "[GaussianHardnessLimitInputUnit],[GaussianHardnessLimit],[GaussianOutlierLimit],"
           "[DiagramXAutomatic],[DiagramYAutomatic],[DiagramXMin],[DiagramXMax],[DiagramYMin],"
           "[DiagramYMax],[DiagramXAxisUnit],[DiagramShowIndentHardness],"
           "[DiagramShowShowAsRockwell],[DiagramShowResults],[DiagramShowECDTolerances],"
           "[ECDToleranceMin],[ECDToleranceMax],[TestloadUnit],[ECD3At],"
           "[ECD4At] FROM [SampleProfilesRun]";
}

void CZENDB_SampleProfilesRunRecordset::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    RFX_Long(pFX, "[ProfileID]", m_ProfileRun.ProfileID);
    RFX_Long(pFX, "[SampleID]", m_ProfileRun.SampleID);
    RFX_Long(pFX, "[ProfileNr]", m_ProfileRun.ProfileNr);
    RFX_Text(pFX, "[Position]", m_ProfileRun.Position);
    RFX_Double(pFX, "[StagePosX]", m_ProfileRun.StagePosX);
    RFX_Double(pFX, "[StagePosY]", m_ProfileRun.StagePosY);
    RFX_Double(pFX, "[Direction]", m_ProfileRun.Direction);
    RFX_Text(pFX, "[ProfileName]", m_ProfileRun.ProfileName);
    RFX_Int(pFX, "[Standard]", m_ProfileRun.Standard);
    RFX_Int(pFX, "[ECD1At]", m_ProfileRun.ECD1At);
    RFX_Int(pFX, "[ECD2At]", m_ProfileRun.ECD2At);
    RFX_Int(pFX, "[ECDAtUnitConv]", m_ProfileRun.ECDAtUnitConv);
    RFX_Int(pFX, "[ECD2AtUnitConv]", m_ProfileRun.ECD2AtUnitConv);
    RFX_Bool(pFX, "[CalcECD1]", m_ProfileRun.CalcECD1);
    RFX_Bool(pFX, "[CalcECD2]", m_ProfileRun.CalcECD2);
    RFX_Bool(pFX, "[CalcCoreHardness]", m_ProfileRun.CalcCoreHardness);
    RFX_Int(pFX, "[DIN50190Part2ECDMethod]", m_ProfileRun.DIN50190Part2ECDMethod);
    RFX_Double(pFX, "[DIN50190Part2SurfacePercentage]", m_ProfileRun.DIN50190Part2SurfacePercentage);
    RFX_Int(pFX, "[DIN50190Part2FixHardness]", m_ProfileRun.DIN50190Part2FixHardness);
    RFX_Int(pFX, "[DIN50190Part2FixHardnessUnitConv]", m_ProfileRun.DIN50190Part2FixHardnessUnitConv);
    RFX_Int(pFX, "[DIN50190Part3AddToCore]", m_ProfileRun.DIN50190Part3AddToCore);
    RFX_Int(pFX, "[CoreHardnessNofIndents]", m_ProfileRun.CoreHardnessNofIndents);
    RFX_Int(pFX, "[MultilaneAverageMethod]", m_ProfileRun.MultilaneAverageMethod);
    RFX_Int(pFX, "[CurveType]", m_ProfileRun.CurveType);
    RFX_Bool(pFX, "[GaussianIgnoreSoftDueToCarbonLoss]", m_ProfileRun.GaussianIgnoreSoftDueToCarbonLoss);
    RFX_Bool(pFX, "[GaussianIgnoreIndentOverHardnessLimit]", m_ProfileRun.GaussianIgnoreIndentOverHardnessLimit);
    RFX_Bool(pFX, "[GaussianIgnoreIndentIfOutlier]", m_ProfileRun.GaussianIgnoreIndentIfOutlier);
    RFX_Int(pFX, "[GaussianHardnessLimitInputUnit]", m_ProfileRun.GaussianHardnessLimitInputUnit);
    RFX_Int(pFX, "[GaussianHardnessLimit]", m_ProfileRun.GaussianHardnessLimit);
    RFX_Int(pFX, "[GaussianOutlierLimit]", m_ProfileRun.GaussianOutlierLimit);
    RFX_Bool(pFX, "[DiagramXAutomatic]", m_ProfileRun.DiagramXAutomatic);
    RFX_Bool(pFX, "[DiagramYAutomatic]", m_ProfileRun.DiagramYAutomatic);
    RFX_Double(pFX, "[DiagramXMin]", m_ProfileRun.DiagramXMin);
    RFX_Double(pFX, "[DiagramXMax]", m_ProfileRun.DiagramXMax);
    RFX_Int(pFX, "[DiagramYMin]", m_ProfileRun.DiagramYMin);
    RFX_Int(pFX, "[DiagramYMax]", m_ProfileRun.DiagramYMax);
    RFX_Int(pFX, "[DiagramXAxisUnit]", m_ProfileRun.DiagramXAxisUnit);
    RFX_Bool(pFX, "[DiagramShowIndentHardness]", m_ProfileRun.DiagramShowIndentHardness);
    RFX_Bool(pFX, "[DiagramShowShowAsRockwell]", m_ProfileRun.DiagramShowShowAsRockwell);
    RFX_Bool(pFX, "[DiagramShowResults]", m_ProfileRun.DiagramShowResults);
    RFX_Bool(pFX, "[DiagramShowECDTolerances]", m_ProfileRun.DiagramShowECDTolerances);
    RFX_Double(pFX, "[ECDToleranceMin]", m_ProfileRun.ECDToleranceMin);
    RFX_Double(pFX, "[ECDToleranceMax]", m_ProfileRun.ECDToleranceMax);
    RFX_Int(pFX, "[TestloadUnit]", m_ProfileRun.TestloadUnit);
    RFX_Int(pFX, "[ECD3At]", m_ProfileRun.ECD3At);
    RFX_Int(pFX, "[ECD4At]", m_ProfileRun.ECD4At);
}

CString CZENDB_SampleProfilesRunRecordset::GetWhereSQL(int32_t profileID)
{
    CString clause;
    clause.Format(" WHERE ProfileID=%d", profileID);
    return clause;
}

CZENDB_IndentsRunRecordset::CZENDB_IndentsRunRecordset(CDatabase* database)
    : CZENDB_Recordset(database), m_MadeIndent(nullptr), m_Hardness(0.0)
{
    m_nFields = 12;
}

CString CZENDB_IndentsRunRecordset::GetDefaultSQL()
{
    return "SELECT [IndentID], [ProfileID], [Actual distance from edge],"
           " [Actual distance from axis], [D1], [D2], [Actual type of indentor],"
           " [Actual testload], [Hardness], [Hardness unit], [Objective],"
           " [Calibration data] FROM IndentsRun";
}

void CZENDB_IndentsRunRecordset::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    RFX_Long(pFX, "[IndentID]", m_MadeIndent.IndentID);
    RFX_Long(pFX, "[ProfileID]", m_MadeIndent.ProfileID);
    RFX_Double(pFX, "[Actual distance from edge]", m_MadeIndent.ActualDistanceFromEdge);
    RFX_Double(pFX, "[Actual distance from axis]", m_MadeIndent.ActualDistanceFromAxis);
    RFX_Double(pFX, "[D1]", m_MadeIndent.D1);
    RFX_Double(pFX, "[D2]", m_MadeIndent.D2);
    RFX_Int(pFX, "[Actual type of indentor]", m_MadeIndent.ActualTypeOfIndentor);
    RFX_Double(pFX, "[Actual testload]", m_MadeIndent.ActualTestload);
    RFX_Double(pFX, "[Hardness]", m_Hardness);
    RFX_Text(pFX, "[Hardness unit]", m_HardnessUnit);
    RFX_Text(pFX, "[Objective]", m_MadeIndent.Objective);
    RFX_Double(pFX, "[Calibration data]", m_MadeIndent.CalibrationData);
}

CString CZENDB_IndentsRunRecordset::GetWhereSQL(int32_t indentID)
{
    CString clause;
    clause.Format(" WHERE IndentID=%d", indentID);
    return clause;
}
