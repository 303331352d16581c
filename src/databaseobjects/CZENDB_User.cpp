// A user record: construction and assignment.

#include "databaseobjects/CZENDB_User.h"

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
