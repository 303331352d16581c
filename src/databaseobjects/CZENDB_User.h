// A user who may log in (table Table1): the stored forms of name (encoded)
// and password (a hash, or in older rows the old encoding) and the role. The record never encodes or decodes; the stored name
// identifies the user in place of a numeric key.
#pragma once

#include "databaseobjects/CZENDB_Object.h"
#include "framework/CString.h"

class CZENDB_User : public CZENDB_Object {
public:
    // Empty name and password, role -1.
    explicit CZENDB_User(CDatabase* database = nullptr);
    CZENDB_User(const CZENDB_User& other) = default;
    ~CZENDB_User() override = default;

    // Updates the row whose stored name equals Field0 (password and role), or
    // adds a new row when there is none or Field0 is empty. false without a
    // connection or on a database error (shown in a message box).
    bool Save() override;

    using CZENDB_Object::operator=;
    // Connection unless KeepConnection, then all three fields (KeepKey does not
    // apply: the user has no numeric key).
    virtual CZENDB_User& operator=(const CZENDB_User& other);

    CString Field0;             // stored form of the user name
    CString Field1;             // stored form of the password: HashPassword's, or an old "Z1:" form
    int Field2;                 // role, a UserRoleType value
};
