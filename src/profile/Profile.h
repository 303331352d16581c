// CProfile: one hardness-depth profile run with its evaluation settings and
// its indents (planned from a template or loaded as made indents), and its
// evaluation: lane merge, statistics, limit hardness and case-hardening depth
// by interpolation or on a fitted Gaussian bell A*exp(-x^2/w^2) + y0.
#pragma once

#include "databaseobjects/CZENDB_SampleProfileRun.h"
#include "framework/CObList.h"
#include "framework/CObject.h"
#include "hardness/HardnessTypes.h"
#include "hardness/HardnessValue.h"

#include <cstdint>

class CDatabase;
class CProfileTemplate;

// Lists exchanged with the evaluation are CObLists of CAverageIndent in depth
// order (from MultilaneListToSinglelaneList); the profile's own list holds
// CIndent. Depths are in the unit of the run's distances; every limit is built
// at a nominal load of 600 gf. A depth that cannot be found is -1.0.
class CProfile : public CObject {
    DECLARE_DYNAMIC(CProfile)

public:
    // Default run record without connection, no indents.
    CProfile();
    // Planned profile: the template pattern's evaluation and diagram settings
    // are copied into the run record (nothing else of it), and one planned
    // indent is made per depth and lane (all lanes of a depth one after
    // another). Positions come from the spacing settings, or from the
    // template's list for a teach-in pattern.
    explicit CProfile(CProfileTemplate* tpl);
    CProfile(const CProfile&) = delete;
    // Deletes the held indents.
    ~CProfile() override;

    // Assigns the run record (through its own assignment) and replaces the
    // indents by copies of the other profile's.
    virtual CProfile& operator=(const CProfile& other);
    // The held run record; valid while the profile lives.
    virtual CZENDB_SampleProfileRun* GetSampleProfileRun();
    // The indents (CIndent*, owned by the profile).
    virtual CObList* GetIndentList();
    // Indentor of the first made indent from the head: stores it in type and
    // returns 1; returns 0 with type untouched when no indent is made.
    virtual int GetIndentorType(IndentorType& type);
    // Loads the run with that key from db and replaces the indents by its made
    // indents in depth order (ties by IndentID). Returns 1 on success; 0 when
    // the run cannot be loaded (indents unchanged) or its indents cannot be
    // read (indents emptied).
    virtual int LoadFromDB(int32_t profileID, CDatabase* db);
    // Loads the first run of that sample whose ProfileNr matches, as above.
    // 0 when the sample cannot be loaded, its runs cannot be listed, or no run
    // has that number.
    virtual int LoadFromDB(int32_t sampleID, int32_t profileNr, CDatabase* db);
    // Case-hardening depth of limit n (0-based, 0..GetNofECDAtValues()-1; not
    // checked) on the merged list, in the Rockwell scale when rockwell is set,
    // else in HV/HK; by CurveType (0 interpolation, 1 Gaussian). -1.0 when not
    // found or for an unknown CurveType.
    virtual double CalcCHD(bool rockwell, int n);
    // CalcCHD in the scale chosen by the run's DiagramShowShowAsRockwell.
    virtual double CalcCHD(int n);
    // Fits A*exp(-x^2/w^2) + y0 to the merged, prepared list (and refits
    // without outliers when so set). Returns 1 on success, 0 otherwise; A, w,
    // y0 hold the last fit's parameters, the start values of a failed fit, or
    // stay untouched when fewer than 3 points remain.
    virtual int CalcGaussian(bool rockwell, double& A, double& w, double& y0);
    // Copy of the value of the indent with the smallest (largest) HV/HK number,
    // first of equals. Failed indents (no HV/HK value, -1.0) are passed over;
    // HV -1.0 when no indent has a value.
    virtual CHardnessValue GetMinHardness();
    virtual CHardnessValue GetMaxHardness();
    // Mean over the indents with a value (failed ones left out of sum and
    // count) in HV/HK, or, with rockwell, in the Rockwell scale common to all
    // merged entries (HRB, else HRC), over the indents with a value in that
    // scale; -1.0 (type HV) when no indent counts or there is no common
    // Rockwell scale.
    virtual CHardnessValue GetMeanHardness(bool rockwell);
    // Sample standard deviation (divisor n - 1) over the indents that count
    // for the mean, in its scale; read it with GetHardness(rockwell). -1.0 for
    // fewer than 2 such indents or no common Rockwell scale.
    virtual CHardnessValue GetHardnessStandardDeviation(bool rockwell);
    // Mean HV/HK of the CoreHardnessNofIndents deepest entries of a merged
    // list whose value is > 0.0; 0.0 (no valid hardness) when fewer are found
    // or the setting is below 1.
    virtual CHardnessValue CalcCoreHardness(CObList* list);
    // The limit hardness of limit n for the run's Standard, in the scale of
    // the list's values, at 600 gf. A missing limit is 0.0, which no valid
    // point can fall to.
    virtual CHardnessValue CalcCHDAt(CObList* list, int n);
    // Number of limits to evaluate: fixed limits >= 1 (when CalcECD1 is set)
    // for Standard 0, 1, 4; none for 5, 6; one for every other Standard.
    virtual int GetNofECDAtValues();
    // The field (1 for ECD1At .. 4 for ECD4At) that fixed limit n (0-based,
    // as for CalcCHD) comes from: the n-th field >= 1 in field order, unused
    // fields between used ones passed over. 0 when limit n is not a fixed
    // limit (another Standard, CalcECD1 off, or n out of range). Callers that
    // name a limit after its field use it.
    int GetECDAtSlot(int n);
    // Appends to out one new CAverageIndent per depth (the lane average by
    // MultilaneAverageMethod over the valid values), or one per valid indent
    // when DiagramXAxisUnit is 2. The caller owns and deletes the entries.
    virtual void MultilaneListToSinglelaneList(CObList& out);
    // 1 when the profile's values can be given in type: HV/HK by the profile's
    // indentor (both when unknown), HRB/HRC when every entry of list has that
    // value (an empty list has); 1 for every type when no indent is made.
    virtual int HasHardnessType(HardnessType type, CObList* list);

protected:
    // Fixed limit n (0-based, counting only the fields >= 1, in field order)
    // into value: 1 when it exists; else value = 0 and 0. A negative n returns
    // 1 and leaves value alone.
    virtual int GetECDAtValue(int n, int& value);
    // A limit number given in conv, as a value in the scale of the list's
    // values (HV, HK or the Rockwell scale they all share), at 600 gf.
    virtual CHardnessValue CreateCompatibleHardnessValue(double value, HardnessConversionType conv,
                                                         CObList* list);
    // Depth interpolated between the last point above the limit and the first
    // point at or below it; -1.0 when there is no such pair or their hardness
    // is equal.
    virtual double InterpolateCHD(bool rockwell, CHardnessValue limit, CObList* list);
    // Positive depth at which the fitted bell falls to the limit; -1.0 when the
    // fit fails or never reaches the limit. The list is not used: the fit
    // builds its own. Called from CalcCHD, the fit takes over the entries of
    // CalcCHD's merged list (the list passed here) instead of merging the
    // lanes again, so that list is empty once the fit has begun.
    virtual double CalcGaussianCHD(bool rockwell, CHardnessValue limit, CObList* list);
    // Removes and deletes the points that the Gaussian must not see: soft
    // surface points before the hardest one (carbon loss) and points above the
    // Gaussian hardness limit, as the run's settings ask.
    virtual void PrepareIndentsForGaussian(bool rockwell, CObList* list);
    // Fits the bell to the list (at least 3 points), starting once from every
    // width through which a bell with the end-derived A and y0 passes a point,
    // and keeps the fit with the smallest sum of squares. 1 on success.
    virtual int FitGaussianToPoints(bool rockwell, double& A, double& w, double& y0, CObList* list);

private:
    void DeleteIndents();
    // Rockwell scale shared by all merged entries (HRB first, then HRC); false
    // when there is none.
    bool FindRockwellScale(HardnessType& scale);
    // Mean HV/HK of the CoreHardnessNofIndents deepest entries > 0.0; false
    // when fewer are found or the setting is below 1.
    bool DeepestMean(CObList* list, double& mean);

    CZENDB_SampleProfileRun m_ProfileRun;
    CObList m_IndentList;
    // While CalcCHD evaluates a Gaussian: its merged list, which the next
    // CalcGaussian takes over instead of merging the lanes again; otherwise
    // null.
    CObList* m_pMergedForGaussian = nullptr;
};
