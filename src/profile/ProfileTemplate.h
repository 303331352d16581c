// CProfileTemplate: a test pattern together with the planned indent positions
// it yields along its first lane. Planned profiles (CProfile) are made from it
// before a test; the positions are in the unit of the pattern's layout.
#pragma once

#include "databaseobjects/CZENDB_Pattern.h"
#include "framework/CObList.h"
#include "framework/CObject.h"

#include <cstdint>

class CDatabase;

class CProfileTemplate : public CObject {
    DECLARE_DYNAMIC(CProfileTemplate)

public:
    // Empty pattern without connection, no positions.
    CProfileTemplate();
    // Loads the pattern with that key from db (see LoadFromDB); a failed load
    // leaves an empty template whose pattern carries db.
    CProfileTemplate(int32_t patternID, CDatabase* db);
    CProfileTemplate(const CProfileTemplate&) = delete;
    // Deletes the held indent types.
    ~CProfileTemplate() override;

    // Assigns the pattern (through its own assignment) and replaces the
    // positions by copies of the other template's (new records without their
    // own connection, then assigned, so they take the other's connection).
    virtual CProfileTemplate& operator=(const CProfileTemplate& other);
    // Loads the pattern and rebuilds the positions: computed from the spacing
    // settings, or, for a teach-in pattern (PatternType 1), from its stored
    // indent types with the load and sideways rules applied. Returns 1 on
    // success; 0 when the pattern cannot be loaded (positions unchanged) or its
    // stored indent types cannot be read (positions emptied).
    virtual int LoadFromDB(int32_t patternID, CDatabase* db);
    // Saves the pattern, replaces its stored indent types by the positions of
    // a teach-in pattern (a computed pattern keeps none). Returns 1 on success,
    // 0 when the pattern, the removal of its old indent types or one of the new
    // indent types cannot be saved.
    virtual int SaveToDB(CDatabase* db);
    // The held pattern; valid while the template lives.
    virtual CZENDB_Pattern* GetPattern();
    // The positions (CZENDB_IndentType*, owned by the template).
    virtual CObList* GetIndentList();

private:
    void DeleteIndentTypes();

    CZENDB_Pattern m_Pattern;
    CObList m_IndentList;
};
