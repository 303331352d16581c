// Routines and routine profiles: construction and assignment.

#include "databaseobjects/CZENDB_Routine.h"

CZENDB_Routine::CZENDB_Routine(CDatabase* database)
    : CZENDB_Object(database), RoutineTypeID(-1), Deleted(FALSE)
{
}

CZENDB_Routine& CZENDB_Routine::operator=(const CZENDB_Routine& other)
{
    if (this == &other)
        return *this;
    CZENDB_Object::operator=(other);
    if (!KeepKey)
        RoutineTypeID = other.RoutineTypeID;
    Name = other.Name;
    Comment = other.Comment;
    Deleted = other.Deleted;
    return *this;
}

CZENDB_RoutineProfile::CZENDB_RoutineProfile(CDatabase* database)
    : CZENDB_Object(database), RoutineProfileTypeID(-1), RoutineTypeID(-1), PatternID(-1),
      UsePrestoredCoordinates(0), XPos(0.0), YPos(0.0), Direction(0.0)
{
}

CZENDB_RoutineProfile& CZENDB_RoutineProfile::operator=(const CZENDB_RoutineProfile& other)
{
    if (this == &other)
        return *this;
    CZENDB_Object::operator=(other);
    if (!KeepKey)
        RoutineProfileTypeID = other.RoutineProfileTypeID;
    RoutineTypeID = other.RoutineTypeID;
    PatternID = other.PatternID;
    Position = other.Position;
    UsePrestoredCoordinates = other.UsePrestoredCoordinates;
    XPos = other.XPos;
    YPos = other.YPos;
    Direction = other.Direction;
    return *this;
}
