// Profile runs (table SampleProfilesRun): one hardness-depth profile measured on
// a sample, where it was placed and the evaluation and diagram settings it
// carries; and made indents (table IndentsRun): one indent actually made along
// that profile with its measured diagonals (µm) and test load (gf).
// Every database operation returns false at once without a connection; a
// database error is shown with its error text in a message box and the
// operation returns false (records already appended to a caller's list stay
// there). Operations that delete several rows do so all or none, in a
// transaction of their own or in the caller's (through a savepoint).
#pragma once

#include "databaseobjects/CZENDB_Object.h"
#include "databaseobjects/ProfileSettings.h"
#include "framework/CObList.h"
#include "framework/CString.h"

#include <cstdint>
#include <functional>
#include <vector>

struct CAuditEntry;
class CZENDB_MadeIndent;

class CZENDB_SampleProfileRun : public CZENDB_Object {
public:
    // Keys and profile number -1, empty texts, numbers 0, flags FALSE.
    explicit CZENDB_SampleProfileRun(CDatabase* database = nullptr);
    CZENDB_SampleProfileRun(const CZENDB_SampleProfileRun& other) = default;
    ~CZENDB_SampleProfileRun() override = default;

    // Updates the run's row when ProfileID is positive and the row exists;
    // otherwise inserts a new row and ProfileID takes the key the database
    // assigned.
    // Save, Delete, SaveMadeIndents and DeleteAllMadeIndents change the
    // results of the run's sample: when that sample is signed, the session
    // must allow it and a reason be given (zensign::OnSampleChange), else
    // false with the refusal shown and nothing written; allowed, they
    // withdraw the sample's signatures and count its revision.
    bool Save() override;

    using CZENDB_Object::operator=;
    // Connection unless KeepConnection, ProfileID unless KeepKey, then every
    // other field.
    virtual CZENDB_SampleProfileRun& operator=(const CZENDB_SampleProfileRun& other);

    // Loads the run with that key; sets KeepConnection. false, with the object
    // unchanged, when not found.
    virtual bool Load(int32_t profileID);
    // Deletes every made indent of this run (with one audit entry for them).
    virtual bool DeleteAllMadeIndents();
    // Deletes the run's made indents and the run's row, all or none, with
    // one audit entry for the run. false: no connection, the run has no row,
    // or a database error (shown).
    bool Delete();
    // Saves the indents as made indents of this stored run (their ProfileID
    // is set to the run's; new ones get their keys), all or none, with one
    // audit entry for all of them. progress, when given, is called with the
    // number saved so far after each. false: no connection, the run not
    // stored, or a database error (shown; nothing of the call is kept).
    bool SaveMadeIndents(std::vector<CZENDB_MadeIndent>& indents,
                         const std::function<void(size_t)>& progress = {});
    // The audit entry for the deletion of run profileID (number runNumber)
    // with its made indents, as the sample's deletions write it. Database
    // errors pass to the caller.
    static CAuditEntry DeletionEntry(CDatabase& db, int32_t profileID, int32_t runNumber,
                                     const CString& userSampleID);
    // Appends a new made indent (owned by the caller, KeepConnection set) for
    // every made indent of this run: byDistance non-zero orders them by
    // distance from the edge, then IndentID; zero by IndentID.
    virtual bool GetAllMadeIndents(CObList& indents, int byDistance);
    // hasIndents = 1 when the run has at least one made indent, else 0.
    virtual bool GetHasMadeIndents(int& hasIndents);

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

    // Updates the indent's row when IndentID is positive and the row exists
    // (its Hardness and Hardness unit stay as stored); otherwise inserts a new
    // row (those two left unset) and IndentID takes the key the database
    // assigned.
    bool Save() override;

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
