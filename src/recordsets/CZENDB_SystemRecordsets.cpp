// Recordsets of the system, user, registration and default-test tables:
// statements, field exchange and key filters.

#include "recordsets/CZENDB_SystemRecordsets.h"

#include "framework/sql/SqlText.h"

CZENDB_SystemTableRecordset::CZENDB_SystemTableRecordset(CDatabase* database)
    : CZENDB_Recordset(database), m_MajorVersion(0), m_MinorVersion(0)
{
    m_nFields = 2;
}

CString CZENDB_SystemTableRecordset::GetDefaultSQL()
{
    return "SELECT [MajorVersion], [MinorVersion] FROM SystemTable";
}

void CZENDB_SystemTableRecordset::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    RFX_Int(pFX, "[MajorVersion]", m_MajorVersion);
    RFX_Int(pFX, "[MinorVersion]", m_MinorVersion);
}

CZENDB_UserTableRecordset::CZENDB_UserTableRecordset(CDatabase* database)
    : CZENDB_Recordset(database), m_User(nullptr)
{
    m_nFields = 3;
}

CString CZENDB_UserTableRecordset::GetDefaultSQL()
{
    return "SELECT [Field0], [Field1], [Field2] FROM Table1";
}

void CZENDB_UserTableRecordset::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    RFX_Text(pFX, "[Field0]", m_User.Field0);
    RFX_Text(pFX, "[Field1]", m_User.Field1);
    RFX_Int(pFX, "[Field2]", m_User.Field2);
}

CString CZENDB_UserTableRecordset::GetWhereSQL(const CString& storedName)
{
    CString clause;
    clause.Format(" WHERE Field0='%s'", SqlQuote(storedName).GetString());
    return clause;
}

CZENDB_RegistrationRecordset::CZENDB_RegistrationRecordset(CDatabase* database)
    : CZENDB_Recordset(database), m_RegistrationField(nullptr)
{
    m_nFields = 3;
}

CString CZENDB_RegistrationRecordset::GetDefaultSQL()
{
    return "SELECT [Control], [Visible], [DisplayOrder] FROM Registration";
}

void CZENDB_RegistrationRecordset::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    RFX_Text(pFX, "[Control]", m_RegistrationField.Control);
    RFX_Bool(pFX, "[Visible]", m_RegistrationField.Visible);
    RFX_Long(pFX, "[DisplayOrder]", m_RegistrationField.DisplayOrder);
}

CString CZENDB_RegistrationRecordset::GetWhereSQL(const CString& control)
{
    CString clause;
    clause.Format(" WHERE Control='%s'", SqlQuote(control).GetString());
    return clause;
}

CZENDB_RegistrationDescriptionsRecordset::CZENDB_RegistrationDescriptionsRecordset(
    CDatabase* database)
    : CZENDB_Recordset(database)
{
    m_nFields = 2;
}

CString CZENDB_RegistrationDescriptionsRecordset::GetDefaultSQL()
{
    return "SELECT [Control], [Description] FROM RegistrationDescriptions";
}

void CZENDB_RegistrationDescriptionsRecordset::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    RFX_Text(pFX, "[Control]", m_Control);
    RFX_Text(pFX, "[Description]", m_Description);
}

CString CZENDB_RegistrationDescriptionsRecordset::GetWhereSQL(const CString& control)
{
    CString clause;
    clause.Format(" WHERE Control='%s'", SqlQuote(control).GetString());
    return clause;
}

CZENDB_DefaultProfileToUseRecordset::CZENDB_DefaultProfileToUseRecordset(CDatabase* database)
    : CZENDB_Recordset(database), m_SampleID(-1), m_UseProfileTypeID(-1)
{
    m_nFields = 2;
}

CString CZENDB_DefaultProfileToUseRecordset::GetDefaultSQL()
{
    return "SELECT [SampleID], [UseProfileTypeID] FROM DefaultProfileToUse";
}

void CZENDB_DefaultProfileToUseRecordset::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    RFX_Long(pFX, "[SampleID]", m_SampleID);
    RFX_Long(pFX, "[UseProfileTypeID]", m_UseProfileTypeID);
}

CString CZENDB_DefaultProfileToUseRecordset::GetWhereSQL(int32_t sampleID)
{
    CString clause;
    clause.Format(" WHERE SampleID=%d", sampleID);
    return clause;
}

CZENDB_DefaultRoutineToUseRecordset::CZENDB_DefaultRoutineToUseRecordset(CDatabase* database)
    : CZENDB_Recordset(database), m_SampleID(-1), m_UseRoutineTypeID(-1)
{
    m_nFields = 2;
}

CString CZENDB_DefaultRoutineToUseRecordset::GetDefaultSQL()
{
    return "SELECT [SampleID], [UseRoutineTypeID] FROM DefaultRoutineToUse";
}

void CZENDB_DefaultRoutineToUseRecordset::DoFieldExchange(CFieldExchange* pFX)
{
    pFX->SetFieldType(CFieldExchange::outputColumn);
    RFX_Long(pFX, "[SampleID]", m_SampleID);
    RFX_Long(pFX, "[UseRoutineTypeID]", m_UseRoutineTypeID);
}

CString CZENDB_DefaultRoutineToUseRecordset::GetWhereSQL(int32_t sampleID)
{
    CString clause;
    clause.Format(" WHERE SampleID=%d", sampleID);
    return clause;
}
