// Routines (table RoutineTypes): a named multi-profile test; and routine
// profiles (table RoutineProfile): one pattern applied by a routine at a stored
// position and direction on the sample. Routines are never removed (deleting
// one marks it); their profiles are deleted for good.
// Every database operation returns false at once without a connection; a
// database error is shown with its error text in a message box and the
// operation returns false (rows already deleted stay deleted, records already
// appended to a caller's list stay there).
#pragma once

#include "databaseobjects/CZENDB_Object.h"
#include "framework/CObList.h"
#include "framework/CString.h"

#include <cstdint>

class CZENDB_RoutineProfile;

class CZENDB_Routine : public CZENDB_Object {
public:
    // Key -1, empty name and comment, not deleted.
    explicit CZENDB_Routine(CDatabase* database = nullptr);
    CZENDB_Routine(const CZENDB_Routine& other) = default;
    ~CZENDB_Routine() override = default;

    // Updates the routine's row when RoutineTypeID is positive and the row
    // exists (marked or not); otherwise inserts a new row and RoutineTypeID
    // takes the key the database assigned.
    bool Save() override;

    using CZENDB_Object::operator=;
    // Connection unless KeepConnection, key unless KeepKey, then Name, Comment,
    // Deleted.
    virtual CZENDB_Routine& operator=(const CZENDB_Routine& other);

    // Loads the routine with that key, marked deleted or not; sets
    // KeepConnection. false, with the object unchanged, when not found.
    virtual bool Load(int32_t routineTypeID);
    // Marks the routine's row deleted (again, if it was); its profiles stay and
    // the object's own Deleted is not changed. false when there is no row.
    virtual bool Delete();
    // Appends a new profile (owned by the caller, with this routine's
    // connection) for every profile row of this routine, in the table's order.
    virtual bool GetAllRoutineProfiles(CObList& profiles);
    // Adds the given profile as a new profile row of this routine; the object
    // itself is not changed. A positive RoutineProfileTypeID is written as it
    // stands; a profile not stored yet (key < 1) gets its key from the
    // database. false for a routine not stored yet (nothing is written).
    virtual bool AddRoutineProfile(CZENDB_RoutineProfile& profile);
    // Deletes this routine's profile rows whose key equals the profile's key;
    // true also when none matched.
    virtual bool DeleteRoutineProfile(CZENDB_RoutineProfile& profile);

    int32_t RoutineTypeID;      // key assigned by the database; -1: not stored yet
    CString Name;
    CString Comment;
    BOOL Deleted;               // TRUE: marked deleted; the row stays in the table
};

class CZENDB_RoutineProfile : public CZENDB_Object {
public:
    // Keys -1, empty position, no stored coordinates, position and direction 0.
    explicit CZENDB_RoutineProfile(CDatabase* database = nullptr);
    CZENDB_RoutineProfile(const CZENDB_RoutineProfile& other) = default;
    ~CZENDB_RoutineProfile() override = default;

    // Updates the profile's row when RoutineProfileTypeID is positive and the
    // row exists; otherwise inserts a new row and RoutineProfileTypeID takes
    // the key the database assigned.
    bool Save() override;

    using CZENDB_Object::operator=;
    // Connection unless KeepConnection, RoutineProfileTypeID unless KeepKey, then
    // the other seven fields.
    virtual CZENDB_RoutineProfile& operator=(const CZENDB_RoutineProfile& other);

    // Loads the profile with that key; sets KeepConnection. false, with the
    // object unchanged, when not found.
    virtual bool Load(int32_t routineProfileTypeID);
    // Deletes the profile's row; false when there is none.
    virtual bool Delete();

    int32_t RoutineProfileTypeID;   // key assigned by the database; -1: not stored yet
    int32_t RoutineTypeID;          // the routine the profile belongs to
    int32_t PatternID;              // the pattern the profile applies
    CString Position;
    int UsePrestoredCoordinates;    // non-zero: XPos/YPos are used
    double XPos;
    double YPos;
    double Direction;
};
