// Registration field definitions and per-sample registration values:
// construction and assignment.

#include "databaseobjects/CZENDB_RegistrationField.h"

CZENDB_RegistrationField::CZENDB_RegistrationField() : CZENDB_RegistrationField(nullptr)
{
}

CZENDB_RegistrationField::CZENDB_RegistrationField(CDatabase* database)
    : CZENDB_Object(database), Visible(FALSE), DisplayOrder(-1)
{
}

CZENDB_RegistrationField& CZENDB_RegistrationField::operator=(const CZENDB_RegistrationField& other)
{
    if (this == &other)
        return *this;
    CZENDB_Object::operator=(other);
    Control = other.Control;
    Visible = other.Visible;
    DisplayOrder = other.DisplayOrder;
    return *this;
}

CSampleRegistrationField::CSampleRegistrationField(int32_t sampleID,
                                                   const CZENDB_RegistrationField& field,
                                                   const CString& text)
    : SampleID(sampleID), Text(text), Date(0), Date2(0), IsText(TRUE)
{
    Field = field;
}

CSampleRegistrationField::CSampleRegistrationField(int32_t sampleID,
                                                   const CZENDB_RegistrationField& field,
                                                   const CTime& date)
    : SampleID(sampleID), Date(date), Date2(0), IsText(FALSE)
{
    Field = field;
}

CSampleRegistrationField::CSampleRegistrationField(int32_t sampleID,
                                                   const CZENDB_RegistrationField& field,
                                                   const CTime& from, const CTime& to)
    : SampleID(sampleID), Date(from), Date2(to), IsText(FALSE)
{
    Field = field;
}
