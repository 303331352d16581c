// Copies between the evaluation, strategy and diagram settings records and the
// persistent records that carry the same fields under the same names (patterns
// and profile runs). Each field list is written once, here.
#pragma once

#include "databaseobjects/ProfileSettings.h"

namespace zen::records {

template <class TSettings, class TRecord, class F>
void PairCalculationFields(TSettings& s, TRecord& r, F&& f)
{
    f(s.Standard, r.Standard);
    f(s.ECD1At, r.ECD1At);
    f(s.ECD2At, r.ECD2At);
    f(s.ECD3At, r.ECD3At);
    f(s.ECD4At, r.ECD4At);
    f(s.ECDAtUnitConv, r.ECDAtUnitConv);
    f(s.ECD2AtUnitConv, r.ECD2AtUnitConv);
    f(s.CalcECD1, r.CalcECD1);
    f(s.CalcECD2, r.CalcECD2);
    f(s.CalcCoreHardness, r.CalcCoreHardness);
    f(s.DIN50190Part2ECDMethod, r.DIN50190Part2ECDMethod);
    f(s.DIN50190Part2SurfacePercentage, r.DIN50190Part2SurfacePercentage);
    f(s.DIN50190Part2FixHardness, r.DIN50190Part2FixHardness);
    f(s.DIN50190Part2FixHardnessUnitConv, r.DIN50190Part2FixHardnessUnitConv);
    f(s.DIN50190Part3AddToCore, r.DIN50190Part3AddToCore);
    f(s.CoreHardnessNofIndents, r.CoreHardnessNofIndents);
    f(s.MultilaneAverageMethod, r.MultilaneAverageMethod);
    f(s.CurveType, r.CurveType);
    f(s.GaussianIgnoreSoftDueToCarbonLoss, r.GaussianIgnoreSoftDueToCarbonLoss);
    f(s.GaussianIgnoreIndentOverHardnessLimit, r.GaussianIgnoreIndentOverHardnessLimit);
    f(s.GaussianIgnoreIndentIfOutlier, r.GaussianIgnoreIndentIfOutlier);
    f(s.GaussianHardnessLimitInputUnit, r.GaussianHardnessLimitInputUnit);
    f(s.GaussianHardnessLimit, r.GaussianHardnessLimit);
    f(s.GaussianOutlierLimit, r.GaussianOutlierLimit);
}

template <class TSettings, class TRecord, class F>
void PairStrategyFields(TSettings& s, TRecord& r, F&& f)
{
    f(s.FocusStrategy, r.FocusStrategy);
    f(s.FocusAfterEvery, r.FocusAfterEvery);
    f(s.MakeAndMeasureStrategy, r.MakeAndMeasureStrategy);
    f(s.StopXindentsAfterECD, r.StopXindentsAfterECD);
}

template <class TSettings, class TRecord, class F>
void PairDiagramFields(TSettings& s, TRecord& r, F&& f)
{
    f(s.DiagramXAxisUnit, r.DiagramXAxisUnit);
    f(s.DiagramXAutomatic, r.DiagramXAutomatic);
    f(s.DiagramYAutomatic, r.DiagramYAutomatic);
    f(s.DiagramXMin, r.DiagramXMin);
    f(s.DiagramYMin, r.DiagramYMin);
    f(s.DiagramXMax, r.DiagramXMax);
    f(s.DiagramYMax, r.DiagramYMax);
    f(s.DiagramShowIndentHardness, r.DiagramShowIndentHardness);
    f(s.DiagramShowShowAsRockwell, r.DiagramShowShowAsRockwell);
    f(s.DiagramShowResults, r.DiagramShowResults);
    f(s.DiagramShowECDTolerances, r.DiagramShowECDTolerances);
    f(s.ECDToleranceMin, r.ECDToleranceMin);
    f(s.ECDToleranceMax, r.ECDToleranceMax);
    f(s.TestloadUnit, r.TestloadUnit);
}

struct CAssignToSettings {
    template <class A, class B>
    void operator()(A& settingsField, const B& recordField) const { settingsField = recordField; }
};

struct CAssignToRecord {
    template <class A, class B>
    void operator()(const A& settingsField, B& recordField) const { recordField = settingsField; }
};

} // namespace zen::records
