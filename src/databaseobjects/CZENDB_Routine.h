// Routines (table RoutineTypes): a named multi-profile test; and routine
// profiles (table RoutineProfile): one pattern applied by a routine at a stored
// position and direction on the sample.
#pragma once

#include "databaseobjects/CZENDB_Object.h"
#include "framework/CString.h"

#include <cstdint>

class CZENDB_Routine : public CZENDB_Object {
public:
    // Key -1, empty name and comment, not deleted.
    explicit CZENDB_Routine(CDatabase* database = nullptr);
    CZENDB_Routine(const CZENDB_Routine& other) = default;
    ~CZENDB_Routine() override = default;

    using CZENDB_Object::operator=;
    // Connection unless KeepConnection, key unless KeepKey, then Name, Comment,
    // Deleted.
    virtual CZENDB_Routine& operator=(const CZENDB_Routine& other);

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

    using CZENDB_Object::operator=;
    // Connection unless KeepConnection, RoutineProfileTypeID unless KeepKey, then
    // the other seven fields.
    virtual CZENDB_RoutineProfile& operator=(const CZENDB_RoutineProfile& other);

    int32_t RoutineProfileTypeID;   // key assigned by the database; -1: not stored yet
    int32_t RoutineTypeID;          // the routine the profile belongs to
    int32_t PatternID;              // the pattern the profile applies
    CString Position;
    int UsePrestoredCoordinates;    // non-zero: XPos/YPos are used
    double XPos;
    double YPos;
    double Direction;
};
