// Test patterns and their planned indents: CZENDB_Pattern (table Patterns) is a
// stored plan for one hardness-depth profile with its layout, load, strategy,
// evaluation and diagram settings; CZENDB_IndentType (table IndentType) is one
// planned indent of a pattern. Lengths are in the unit of the pattern's layout.
// Patterns are never removed: deleting one marks it, and access by key passes
// over marked rows.
#pragma once

#include "databaseobjects/CZENDB_Object.h"
#include "databaseobjects/ProfileSettings.h"
#include "framework/CObList.h"
#include "framework/CString.h"

#include <cstdint>

class CZENDB_Pattern : public CZENDB_Object {
public:
    // Key -1, empty texts, every number 0 and every flag FALSE.
    explicit CZENDB_Pattern(CDatabase* database = nullptr);
    // A default plan of eleven indents on one line under 1000 gf, with
    // TotalTraverse = XOffset + 10 spacings. Layout non-zero: spacing and zigzag
    // 0.1, offset 0.05, line spacing 0.25; layout zero: spacing, offset and line
    // spacing 5/25.4, zigzag 10/25.4. Every other field as above.
    CZENDB_Pattern(CDatabase* database, int layout);
    CZENDB_Pattern(const CZENDB_Pattern& other) = default;
    ~CZENDB_Pattern() override = default;

    // The database operations return false at once without a connection; a
    // database error is shown with its error text in a message box and the
    // operation returns false.

    // Updates the pattern's row when PatternID is positive and its row exists
    // unmarked; otherwise inserts a new row (Deleted as the object holds it)
    // and PatternID takes the key the database assigned.
    bool Save() override;

    using CZENDB_Object::operator=;
    // Connection unless KeepConnection, key unless KeepKey, then every other
    // field including Deleted.
    virtual CZENDB_Pattern& operator=(const CZENDB_Pattern& other);

    // Makes the object a teach-in pattern in memory: empty name and comment,
    // PatternType 1, SpacingType 2, TestLoadMethod 2; the key stays.
    virtual void CreateAsTeachInPattern();
    // Loads the pattern with that key unless it is marked deleted; sets
    // KeepConnection. false, with the object unchanged, when not found.
    virtual bool Load(int32_t patternID);
    // Marks the pattern's row deleted (the row and its indent types stay; the
    // object's own Deleted is not changed). false when there is no unmarked row.
    virtual bool Delete();
    // Stores one planned indent (position, test load in gf) for this pattern.
    // false for a pattern not stored yet.
    virtual bool AddIndent(double xPos, double yPos, double testLoad);
    // Deletes every planned indent of this pattern.
    virtual bool DeleteAllIndentTypes();
    // Appends a new indent type (owned by the caller, KeepConnection set) for
    // every planned indent of this pattern, in ascending XPos.
    virtual bool GetAllIndentTypes(CObList& indents);

    // The settings blocks as records (copies of the fields of the same names).
    ProfileCalculationSettings GetCalculationSettings() const;
    void SetCalculationSettings(const ProfileCalculationSettings& settings);
    ProfileStrategySettings GetStrategySettings() const;
    void SetStrategySettings(const ProfileStrategySettings& settings);
    ProfileDiagramSettings GetDiagramSettings() const;
    void SetDiagramSettings(const ProfileDiagramSettings& settings);

    int32_t PatternID;          // key assigned by the database; -1: not stored yet
    CString Name;
    CString Comment;
    BOOL Deleted;               // TRUE: marked deleted; the row stays in the table
    int PatternType;
    int SpacingType;
    double ZigZagSpacing;
    int NrOfIndents;
    double SpacingBetweenIndents;
    double TotalTraverse;
    double XOffset;
    double YOffset;
    int TestLoadMethod;
    double TestLoad;            // gf
    int NrOfLines;
    double LineSpacing;
    BOOL AutomaticallyEdgeAlignment;
    // Measuring strategy.
    int FocusStrategy;
    double FocusAfterEvery;
    int MakeAndMeasureStrategy;
    int StopXindentsAfterECD;
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

// One planned indent of a pattern. It has no key of its own: PatternID, the key
// of its pattern, is the field that the key rules (KeepKey) apply to.
class CZENDB_IndentType : public CZENDB_Object {
public:
    // PatternID -1, position (0, 0), test load 100 gf.
    explicit CZENDB_IndentType(CDatabase* database = nullptr);
    // The given position and test load (gf); PatternID -1.
    CZENDB_IndentType(CDatabase* database, double xPos, double yPos, double testLoad);
    CZENDB_IndentType(const CZENDB_IndentType& other) = default;
    ~CZENDB_IndentType() override = default;

    // Adds this planned indent as a new row (every call adds one). false
    // without a connection, when PatternID is below 1, or on a database error
    // (shown in a message box).
    bool Save() override;

    using CZENDB_Object::operator=;
    // Connection unless KeepConnection, PatternID unless KeepKey, then XPos,
    // YPos, TestLoad.
    virtual CZENDB_IndentType& operator=(const CZENDB_IndentType& other);

    int32_t PatternID;
    double XPos;
    double YPos;
    double TestLoad;            // gf
};
