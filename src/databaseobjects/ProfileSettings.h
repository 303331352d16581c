// The three blocks of profile settings that patterns and profile runs share:
// evaluation (calculation), measuring strategy and diagram. Each record lists
// its fields in the order of the matching columns of the Patterns and
// SampleProfilesRun tables; integers are 32-bit, flags are 32-bit BOOLs.
#pragma once

#include "framework/Types.h"

// How a profile is evaluated: standard, case-depth limits and their scales,
// DIN 50190 options, core hardness, multilane averaging, curve and Gaussian options.
struct ProfileCalculationSettings {
    int Standard = 0;
    int ECD1At = 0;
    int ECD2At = 0;
    int ECD3At = 0;
    int ECD4At = 0;
    int ECDAtUnitConv = 0;
    int ECD2AtUnitConv = 0;
    BOOL CalcECD1 = FALSE;
    BOOL CalcECD2 = FALSE;
    BOOL CalcCoreHardness = FALSE;
    int DIN50190Part2ECDMethod = 0;
    double DIN50190Part2SurfacePercentage = 0.0;
    int DIN50190Part2FixHardness = 0;
    int DIN50190Part2FixHardnessUnitConv = 0;
    int DIN50190Part3AddToCore = 0;
    int CoreHardnessNofIndents = 0;
    int MultilaneAverageMethod = 0;
    int CurveType = 0;
    BOOL GaussianIgnoreSoftDueToCarbonLoss = FALSE;
    BOOL GaussianIgnoreIndentOverHardnessLimit = FALSE;
    BOOL GaussianIgnoreIndentIfOutlier = FALSE;
    int GaussianHardnessLimitInputUnit = 0;
    int GaussianHardnessLimit = 0;
    int GaussianOutlierLimit = 0;
};

// How the station focuses and when it stops making indents (patterns only).
struct ProfileStrategySettings {
    int FocusStrategy = 0;
    double FocusAfterEvery = 0.0;
    int MakeAndMeasureStrategy = 0;
    int StopXindentsAfterECD = 0;
};

// How the profile diagram is drawn, with the case-depth tolerance band and the
// unit in which test loads are shown.
struct ProfileDiagramSettings {
    int DiagramXAxisUnit = 0;
    BOOL DiagramXAutomatic = FALSE;
    BOOL DiagramYAutomatic = FALSE;
    double DiagramXMin = 0.0;
    int DiagramYMin = 0;
    double DiagramXMax = 0.0;
    int DiagramYMax = 0;
    BOOL DiagramShowIndentHardness = FALSE;
    BOOL DiagramShowShowAsRockwell = FALSE;
    BOOL DiagramShowResults = FALSE;
    BOOL DiagramShowECDTolerances = FALSE;
    double ECDToleranceMin = 0.0;
    double ECDToleranceMax = 0.0;
    int TestloadUnit = 0;
};
