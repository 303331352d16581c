// Routines and routine profiles: construction, assignment and their database
// operations.

#include "databaseobjects/CZENDB_Routine.h"

#include "databaseobjects/internal/RecordOps.h"
#include "recordsets/CZENDB_PatternRecordsets.h"

namespace {

// The profile rows of one routine.
CString RoutineProfilesSql(int32_t routineTypeID)
{
    CString sql;
    sql.Format("%s WHERE RoutineTypeID=%d",
               CZENDB_RoutineProfileRecordset().GetDefaultSQL().GetString(), routineTypeID);
    return sql;
}

} // namespace

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

bool CZENDB_Routine::Save()
{
    const zendb_ops::CAuditTarget audit{"routine", "RoutineTypes", "RoutineTypeID", Name, CString(), {}};
    return zendb_ops::SaveByKey(*this, &CZENDB_RoutineTypesRecordset::m_Routine, &CZENDB_Routine::RoutineTypeID,
                                &audit);
}

bool CZENDB_Routine::Load(int32_t routineTypeID)
{
    return zendb_ops::LoadByKey(*this, &CZENDB_RoutineTypesRecordset::m_Routine,
                                &CZENDB_Routine::RoutineTypeID, routineTypeID);
}

bool CZENDB_Routine::Delete()
{
    const zendb_ops::CAuditTarget audit{"routine", "RoutineTypes", "RoutineTypeID", Name, CString(), {}};
    return zendb_ops::MarkDeletedByKey(*this, &CZENDB_RoutineTypesRecordset::m_Routine, RoutineTypeID, &audit);
}

bool CZENDB_Routine::GetAllRoutineProfiles(CObList& profiles)
{
    return zendb_ops::ListRows(Database, RoutineProfilesSql(RoutineTypeID),
                               &CZENDB_RoutineProfileRecordset::m_RoutineProfile, profiles, false);
}

bool CZENDB_Routine::AddRoutineProfile(CZENDB_RoutineProfile& profile)
{
    // A profile filed under the key of a routine not stored yet (-1) would
    // belong to every other unsaved routine.
    if (Database == nullptr || RoutineTypeID < 1)
        return false;
    try {
        CZENDB_RoutineProfileRecordset rs(Database);
        if (!zendb_ops::OpenDynaset(rs, RoutineProfilesSql(RoutineTypeID)))
            return false;
        rs.AddNew();
        // A new profile's -1 would be written as a key, and a second one
        // would collide with it: such keys are left to the database.
        rs.m_RoutineProfile.KeepKey = profile.RoutineProfileTypeID < 1;
        rs.m_RoutineProfile = profile;
        rs.m_RoutineProfile.RoutineTypeID = RoutineTypeID;
        rs.Update();
        rs.Close();
        return true;
    } catch (CDBException& e) {
        zendb_ops::ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}

bool CZENDB_Routine::DeleteRoutineProfile(CZENDB_RoutineProfile& profile)
{
    if (Database == nullptr)
        return false;
    try {
        CZENDB_RoutineProfileRecordset rs(Database);
        if (!zendb_ops::OpenDynaset(rs, RoutineProfilesSql(RoutineTypeID)))
            return false;
        while (!rs.IsEOF()) {
            if (rs.m_RoutineProfile.RoutineProfileTypeID == profile.RoutineProfileTypeID)
                rs.Delete();
            rs.MoveNext();
        }
        rs.Close();
        return true;
    } catch (CDBException& e) {
        zendb_ops::ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}

bool CZENDB_RoutineProfile::Save()
{
    return zendb_ops::SaveByKey(*this, &CZENDB_RoutineProfileRecordset::m_RoutineProfile,
                                &CZENDB_RoutineProfile::RoutineProfileTypeID);
}

bool CZENDB_RoutineProfile::Load(int32_t routineProfileTypeID)
{
    return zendb_ops::LoadByKey(*this, &CZENDB_RoutineProfileRecordset::m_RoutineProfile,
                                &CZENDB_RoutineProfile::RoutineProfileTypeID, routineProfileTypeID);
}

bool CZENDB_RoutineProfile::Delete()
{
    if (Database == nullptr)
        return false;
    try {
        CZENDB_RoutineProfileRecordset rs(Database);
        bool deleted = false;
        if (zendb_ops::OpenDynaset(rs, zendb_ops::KeySql(rs, RoutineProfileTypeID)) && !rs.IsEOF()) {
            rs.Delete();
            deleted = true;
        }
        rs.Close();
        return deleted;
    } catch (CDBException& e) {
        zendb_ops::ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}
