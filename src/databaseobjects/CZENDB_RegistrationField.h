// Sample registration fields: CZENDB_RegistrationField (table Registration) is
// the definition of one field (which Samples column it fills, whether it is
// shown, where it stands); CSampleRegistrationField is such a field together
// with its value (a text or a date) for one sample.
#pragma once

#include "databaseobjects/CZENDB_Object.h"
#include "framework/CString.h"
#include "framework/CTime.h"

#include <cstdint>

class CZENDB_RegistrationField : public CZENDB_Object {
public:
    // No connection, empty control name, not visible, display order -1.
    CZENDB_RegistrationField();
    explicit CZENDB_RegistrationField(CDatabase* database);
    CZENDB_RegistrationField(const CZENDB_RegistrationField& other) = default;
    ~CZENDB_RegistrationField() override = default;

    // The database operations return false (GetDescription: an empty text) at
    // once without a connection; a database error is shown with its error text
    // in a message box and gives the same result.

    // Stores the field's Visible flag into its existing row; nothing else is
    // written and no row is added. false when Control is empty or names no row.
    bool Save() override;

    using CZENDB_Object::operator=;
    // Connection unless KeepConnection, then all three fields (KeepKey does not
    // apply: Control identifies the field).
    virtual CZENDB_RegistrationField& operator=(const CZENDB_RegistrationField& other);

    // Loads the definition whose Control equals the text; Control becomes the
    // text and KeepConnection is set. false, with the object unchanged, when
    // there is none.
    virtual bool Load(const CString& control);
    // The field's description, or its control name when it has none; trailing
    // white space removed.
    virtual CString GetDescription();
    // Replaces the text of the field's existing description row. false when
    // Control is empty or has no description row (none is added).
    virtual bool SetDescription(const CString& description);

    CString Control;            // name of the Samples column the field fills
    BOOL Visible;               // whether the dialogs show the field
    int32_t DisplayOrder;       // position in the registration dialog
};

// One registration field with its value for one sample. Not stored by itself;
// lists of it (CObList of pointers, elements owned by the list's owner) carry a
// sample's registration data between the sample, the dialogs and the caller.
class CSampleRegistrationField : public CObject {
public:
    // Each constructor copies the definition through its assignment, so Field
    // takes the definition's connection as well.
    // A text value: Date and Date2 0, IsText TRUE.
    CSampleRegistrationField(int32_t sampleID, const CZENDB_RegistrationField& field,
                             const CString& text);
    // A date value: empty Text, Date2 0, IsText FALSE.
    CSampleRegistrationField(int32_t sampleID, const CZENDB_RegistrationField& field,
                             const CTime& date);
    // A date range (search criteria): empty Text, IsText FALSE.
    CSampleRegistrationField(int32_t sampleID, const CZENDB_RegistrationField& field,
                             const CTime& from, const CTime& to);
    CSampleRegistrationField(const CSampleRegistrationField& other) = default;
    CSampleRegistrationField& operator=(const CSampleRegistrationField& other) = default;
    ~CSampleRegistrationField() override = default;

    int32_t SampleID;           // the sample the value belongs to; -1: not stored yet
    CZENDB_RegistrationField Field;
    CString Text;               // the value when it is a text; empty otherwise
    CTime Date;                 // the value when it is a date; 0 otherwise
    CTime Date2;                // end of a date range; 0 unless given
    BOOL IsText;                // TRUE: the value is Text; FALSE: it is Date
};
