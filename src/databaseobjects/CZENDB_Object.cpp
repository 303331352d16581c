// Base of every persistent record class: connection and assignment flags.

#include "databaseobjects/CZENDB_Object.h"

CZENDB_Object::CZENDB_Object(CDatabase* database)
    : Database(database), KeepConnection(false), KeepKey(false)
{
}

CZENDB_Object::CZENDB_Object(const CZENDB_Object& other)
    : CObject(other), Database(other.Database), KeepConnection(false), KeepKey(false)
{
}

CZENDB_Object& CZENDB_Object::operator=(const CZENDB_Object& other)
{
    if (!KeepConnection)
        Database = other.Database;
    return *this;
}

bool CZENDB_Object::Save()
{
    return Database != nullptr;
}
