// Profile runs (table SampleProfilesRun): one hardness-depth profile measured on
// a sample, where it was placed and the evaluation and diagram settings it
// carries; and made indents (table IndentsRun): one indent actually made along
// that profile with its measured diagonals (µm) and test load (gf).
#pragma once

#include "databaseobjects/CZENDB_Object.h"
#include "databaseobjects/ProfileSettings.h"
#include "framework/CString.h"

#include <cstdint>

class CZENDB_SampleProfileRun : public CZENDB_Object {
public:
    // Keys and profile number -1, empty texts, numbers 0, flags FALSE.
    explicit CZENDB_SampleProfileRun(CDatabase* database = nullptr);
    CZENDB_SampleProfileRun(const CZENDB_SampleProfileRun& other) = default;
    ~CZENDB_SampleProfileRun() override = default;

    using CZENDB_Object::operator=;
    // Connection unless KeepConnection, ProfileID unless KeepKey, then every
    // other field.
    virtual CZENDB_SampleProfileRun& operator=(const CZENDB_SampleProfileRun& other);

    // The settings blocks as records (copies of the fields of the same names).
    ProfileCalculationSettings GetCalculationSettings() const;
    void SetCalculationSettings(const ProfileCalculationSettings& settings);
    ProfileDiagramSettings GetDiagramSettings() const;
    void SetDiagramSettings(const ProfileDiagramSettings& settings);

    int32_t ProfileID;          // key assigned by the database; -1: not stored yet
    int32_t SampleID;           // the sample the run belongs to
    int32_t ProfileNr;          // number of the profile on the sample
    CString Position;
    double StagePosX;
    double StagePosY;
    double Direction;
    CString ProfileName;
    // Evaluation settings.
    int Standard;
    int ECD1At;
    int ECD2At;
    int ECD3At;
    int ECD4At;
    int ECDAtUnitConv;
    int ECD2AtUnitConv;
    BOOL CalcECD1;
    BOOL CalcECD2;
    BOOL CalcCoreHardness;
    int DIN50190Part2ECDMethod;
    double DIN50190Part2SurfacePercentage;
    int DIN50190Part2FixHardness;
    int DIN50190Part2FixHardnessUnitConv;
    int DIN50190Part3AddToCore;
    int CoreHardnessNofIndents;
    int MultilaneAverageMethod;
    int CurveType;
    BOOL GaussianIgnoreSoftDueToCarbonLoss;
    BOOL GaussianIgnoreIndentOverHardnessLimit;
    BOOL GaussianIgnoreIndentIfOutlier;
    int GaussianHardnessLimitInputUnit;
    int GaussianHardnessLimit;
    int GaussianOutlierLimit;
    // Diagram settings.
    int DiagramXAxisUnit;
    BOOL DiagramXAutomatic;
    BOOL DiagramYAutomatic;
    double DiagramXMin;
    int DiagramYMin;
    double DiagramXMax;
    int DiagramYMax;
    BOOL DiagramShowIndentHardness;
    BOOL DiagramShowShowAsRockwell;
    BOOL DiagramShowResults;
    BOOL DiagramShowECDTolerances;
    double ECDToleranceMin;
    double ECDToleranceMax;
    int TestloadUnit;
};

// The IndentsRun columns "Hardness" and "Hardness unit" are not fields of the
// made indent: they belong to CZENDB_IndentsRunRecordset alone.
class CZENDB_MadeIndent : public CZENDB_Object {
public:
    // Keys -1, distances, diagonals, load and calibration 0, indentor type 1,
    // empty objective.
    explicit CZENDB_MadeIndent(CDatabase* database = nullptr);
    CZENDB_MadeIndent(const CZENDB_MadeIndent& other) = default;
    ~CZENDB_MadeIndent() override = default;

    using CZENDB_Object::operator=;
    // Connection unless KeepConnection, IndentID unless KeepKey, then the other
    // nine fields.
    virtual CZENDB_MadeIndent& operator=(const CZENDB_MadeIndent& other);

    int32_t IndentID;               // key assigned by the database; -1: not stored yet
    int32_t ProfileID;              // the profile run the indent belongs to
    double ActualDistanceFromEdge;  // column "Actual distance from edge"
    double ActualDistanceFromAxis;  // column "Actual distance from axis"
    double D1;                      // first diagonal
    double D2;                      // second diagonal
    int ActualTypeOfIndentor;       // an IndentorType value
    double ActualTestload;          // gf
    CString Objective;
    double CalibrationData;         // column "Calibration data"
};
