// Base of every persistent record class: the database connection that the
// record's operations use and the two flags that steer assignment between
// records (keep the target's connection, keep the target's key).
#pragma once

#include "framework/CObject.h"

class CDatabase;

class CZENDB_Object : public CObject {
public:
    // The connection is not owned and may be null (a record that cannot reach
    // the database until it is given one).
    explicit CZENDB_Object(CDatabase* database = nullptr);
    // A copy uses the same connection; its flags start cleared, because flags
    // describe how one particular object is assigned to, never its content.
    CZENDB_Object(const CZENDB_Object& other);
    ~CZENDB_Object() override = default;

    // Stores the record in its table. Every persistent class supplies its own;
    // the base's body (reachable only by a qualified call) reports whether the
    // record has a connection.
    virtual bool Save() = 0;

    // Copies the connection unless KeepConnection is set on this object; copies
    // nothing else (the flags are never copied). Subclasses call this first from
    // their own assignment.
    virtual CZENDB_Object& operator=(const CZENDB_Object& other);

    CDatabase* Database;
    // When true, assignment from another record leaves Database unchanged. Set by
    // the loaders, so that a record filled from a recordset's connection-less
    // instance keeps its own connection.
    bool KeepConnection;
    // When true, a subclass's assignment leaves this object's key unchanged
    // (used when copying a new record into a row whose key the database assigns).
    bool KeepKey;
};
