// A user record: construction, assignment and save.

#include "databaseobjects/CZENDB_User.h"

#include "databaseobjects/internal/RecordOps.h"
#include "recordsets/CZENDB_SystemRecordsets.h"

CZENDB_User::CZENDB_User(CDatabase* database) : CZENDB_Object(database), Field2(-1)
{
}

CZENDB_User& CZENDB_User::operator=(const CZENDB_User& other)
{
    if (this == &other)
        return *this;
    CZENDB_Object::operator=(other);
    Field0 = other.Field0;
    Field1 = other.Field1;
    Field2 = other.Field2;
    return *this;
}

bool CZENDB_User::Save()
{
    if (Database == nullptr)
        return false;
    try {
        CZENDB_UserTableRecordset rs(Database);
        if (!zendb_ops::OpenDynaset(rs, zendb_ops::KeySql(rs, Field0)))
            return false;
        if (!Field0.IsEmpty() && !rs.IsEOF())
            rs.Edit();
        else
            rs.AddNew();
        rs.m_User = *this;
        rs.Update();
        rs.Close();
        return true;
    } catch (CDBException& e) {
        zendb_ops::ShowDatabaseError(e);
        e.Delete();
        return false;
    }
}
