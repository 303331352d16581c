// The sample record: one specimen registered for testing, with its registration
// data (standard and nineteen free fields), its measuring and sign-off state and
// its stored trace. Fields carry the names of the Samples table's columns.
#pragma once

#include "databaseobjects/CZENDB_Object.h"
#include "framework/CString.h"
#include "framework/CTime.h"
#include "geometry/CCoordinateArray.h"

#include <cstdint>

class CZENDB_Sample : public CZENDB_Object {
public:
    // Every field at its initial value: key -1, empty texts, dates 0 (the epoch),
    // not signed, no trace.
    explicit CZENDB_Sample(CDatabase* database = nullptr);
    // The same, with the operator's sample identifier set.
    CZENDB_Sample(CDatabase* database, const CString& userSampleID);
    CZENDB_Sample(const CZENDB_Sample& other) = default;
    ~CZENDB_Sample() override = default;

    using CZENDB_Object::operator=;
    // Connection unless KeepConnection, key unless KeepKey, then every other
    // field including the trace and the two listing-only names.
    virtual CZENDB_Sample& operator=(const CZENDB_Sample& other);

    int32_t SampleID;           // key assigned by the database; -1: not stored yet
    CString UserSampleID;       // the identifier that operators see and type
    CString WorkOrder;
    CString PartNo;
    CString Detail;
    CString Material;
    CTime RegistrationDate;
    CTime DueDate;
    CString RegisteredBy;
    CString MeasuredBy;
    CString Customer;
    CTime MeasuredDate;
    BOOL Signed;
    CString Signature;
    // Not columns of Samples: filled only by the short sample listing with the
    // names of the sample's default pattern and routine.
    CString PatternName;
    CString RoutineName;
    CString CustomField1;
    CString CustomField2;
    CString CustomField3;
    CString CustomField4;
    CString CustomField5;
    CString CustomField6;
    CString CustomField7;
    CString CustomField8;
    CString CustomField9;
    CString CustomField10;
    CString CustomField11;
    CString CustomField12;
    CString CustomField13;
    CString CustomField14;
    CString CustomField15;
    CString CustomField16;
    CString CustomField17;
    CString CustomField18;
    CString CustomField19;
    // Stored as a serialised block in the Samples table's Trace column.
    CCoordinateArray Trace;
};
