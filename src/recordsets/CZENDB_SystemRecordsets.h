// Recordsets of the system, user, registration and default-test tables:
// SystemTable (the schema version), Table1 (users), Registration and
// RegistrationDescriptions (the sample registration fields), DefaultProfileToUse
// and DefaultRoutineToUse (each sample's default pattern or routine).
#pragma once

#include "databaseobjects/CZENDB_RegistrationField.h"
#include "databaseobjects/CZENDB_User.h"
#include "framework/CString.h"
#include "recordsets/CZENDB_Recordset.h"

#include <cstdint>

// SystemTable: one row holding the schema version of the database file.
class CZENDB_SystemTableRecordset : public CZENDB_Recordset {
public:
    // Both version numbers 0 until a row is read.
    explicit CZENDB_SystemTableRecordset(CDatabase* database = nullptr);

    CString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;
    // Names the same member fields at every open.
    CFixedFieldExchange GetFixedFieldExchange() const override { return FixedFieldExchangeOf(*this); }

    // The version steps 1.6 -> 1.7, 1.7 -> 1.8 and 1.8 -> 1.9: each sets the
    // minor version of the first row when that row holds the step's source
    // version, and returns 1; 0 (nothing written) for any other version, an
    // empty table or a statement that reports failure. Database errors pass.
    int UpdateToVer19() override;
    int UpdateToVer18() override;
    int UpdateToVer17() override;

    int m_MajorVersion;
    int m_MinorVersion;
};

// Table1: the users, with the stored (encoded) forms of name and password.
class CZENDB_UserTableRecordset : public CZENDB_Recordset {
public:
    explicit CZENDB_UserTableRecordset(CDatabase* database = nullptr);

    CString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;
    CFixedFieldExchange GetFixedFieldExchange() const override { return FixedFieldExchangeOf(*this); }
    // " WHERE Field0='<stored name>'"; quotes in the name are doubled.
    virtual CString GetWhereSQL(const CString& storedName);

    CZENDB_User m_User;
};

// Registration: one row per sample registration field.
class CZENDB_RegistrationRecordset : public CZENDB_Recordset {
public:
    explicit CZENDB_RegistrationRecordset(CDatabase* database = nullptr);

    CString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;
    CFixedFieldExchange GetFixedFieldExchange() const override { return FixedFieldExchangeOf(*this); }
    // " WHERE Control='<control>'"; quotes in the name are doubled.
    virtual CString GetWhereSQL(const CString& control);

    CZENDB_RegistrationField m_RegistrationField;
};

// RegistrationDescriptions: the name shown to the operator for each field.
class CZENDB_RegistrationDescriptionsRecordset : public CZENDB_Recordset {
public:
    // Both texts empty.
    explicit CZENDB_RegistrationDescriptionsRecordset(CDatabase* database = nullptr);

    CString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;
    CFixedFieldExchange GetFixedFieldExchange() const override { return FixedFieldExchangeOf(*this); }
    // " WHERE Control='<control>'"; quotes in the name are doubled.
    virtual CString GetWhereSQL(const CString& control);

    CString m_Control;
    CString m_Description;
};

// DefaultProfileToUse: the pattern to run by default on a sample.
class CZENDB_DefaultProfileToUseRecordset : public CZENDB_Recordset {
public:
    // Both keys -1 until a row is read.
    explicit CZENDB_DefaultProfileToUseRecordset(CDatabase* database = nullptr);

    CString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;
    CFixedFieldExchange GetFixedFieldExchange() const override { return FixedFieldExchangeOf(*this); }
    // " WHERE SampleID=<key>".
    virtual CString GetWhereSQL(int32_t sampleID);

    int32_t m_SampleID;
    int32_t m_UseProfileTypeID;
};

// DefaultRoutineToUse: the routine to run by default on a sample.
class CZENDB_DefaultRoutineToUseRecordset : public CZENDB_Recordset {
public:
    // Both keys -1 until a row is read.
    explicit CZENDB_DefaultRoutineToUseRecordset(CDatabase* database = nullptr);

    CString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;
    CFixedFieldExchange GetFixedFieldExchange() const override { return FixedFieldExchangeOf(*this); }
    // " WHERE SampleID=<key>".
    virtual CString GetWhereSQL(int32_t sampleID);

    int32_t m_SampleID;
    int32_t m_UseRoutineTypeID;
};
