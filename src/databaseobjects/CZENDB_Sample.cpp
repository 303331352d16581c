// The sample record: construction and assignment.

#include "databaseobjects/CZENDB_Sample.h"

CZENDB_Sample::CZENDB_Sample(CDatabase* database)
    : CZENDB_Object(database), SampleID(-1), RegistrationDate(0), DueDate(0), MeasuredDate(0),
      Signed(FALSE)
{
}

CZENDB_Sample::CZENDB_Sample(CDatabase* database, const CString& userSampleID)
    : CZENDB_Sample(database)
{
    UserSampleID = userSampleID;
}

CZENDB_Sample& CZENDB_Sample::operator=(const CZENDB_Sample& other)
{
    if (this == &other)
        return *this;
    CZENDB_Object::operator=(other);
    if (!KeepKey)
        SampleID = other.SampleID;
    UserSampleID = other.UserSampleID;
    WorkOrder = other.WorkOrder;
    PartNo = other.PartNo;
    Detail = other.Detail;
    Material = other.Material;
    RegistrationDate = other.RegistrationDate;
    DueDate = other.DueDate;
    RegisteredBy = other.RegisteredBy;
    MeasuredBy = other.MeasuredBy;
    Customer = other.Customer;
    MeasuredDate = other.MeasuredDate;
    Signed = other.Signed;
    Signature = other.Signature;
    PatternName = other.PatternName;
    RoutineName = other.RoutineName;
    CustomField1 = other.CustomField1;
    CustomField2 = other.CustomField2;
    CustomField3 = other.CustomField3;
    CustomField4 = other.CustomField4;
    CustomField5 = other.CustomField5;
    CustomField6 = other.CustomField6;
    CustomField7 = other.CustomField7;
    CustomField8 = other.CustomField8;
    CustomField9 = other.CustomField9;
    CustomField10 = other.CustomField10;
    CustomField11 = other.CustomField11;
    CustomField12 = other.CustomField12;
    CustomField13 = other.CustomField13;
    CustomField14 = other.CustomField14;
    CustomField15 = other.CustomField15;
    CustomField16 = other.CustomField16;
    CustomField17 = other.CustomField17;
    CustomField18 = other.CustomField18;
    CustomField19 = other.CustomField19;
    Trace = other.Trace;
    return *this;
}
