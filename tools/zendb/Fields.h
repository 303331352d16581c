// Registration fields as zendb handles them: the definitions of the open
// database with their descriptions, how a name typed on the command line
// (control name or description, any letter case) finds its field, and the
// English labels of the standard fields.
#pragma once

#include "Tool.h"

#include <string>
#include <vector>

namespace zendb {

struct CFieldDef {
    std::string control;        // Samples column, e.g. "WorkOrder", "CustomField3"
    std::string description;    // the database's description text
    bool visible = false;
    int displayOrder = -1;
    bool isDate = false;        // RegistrationDate, DueDate
    // What people read: the description, or an English label for a standard
    // field whose description is just its column name.
    std::string Label() const;
};

// Every registration field of the database in display order.
std::vector<CFieldDef> LoadFieldDefs(CZENDatabase& db);
// The field a command-line name means (control name, then description,
// ignoring letter case); CUsageError naming the known fields otherwise.
const CFieldDef& ResolveField(const std::vector<CFieldDef>& fields, const std::string& name);
// The same search without the error: nullptr when no field has the name.
const CFieldDef* FindField(const std::vector<CFieldDef>& fields, const std::string& name);
// Whether name means the Samples column control (a column that is no
// registration field, e.g. "MeasuredBy"): its own name, its label in the
// operator's language or its English label, ignoring letter case.
bool NamesStandardColumn(const std::string& control, const std::string& name);
// "Work order" for "WorkOrder" and the other standard Samples columns; the
// name itself for any other.
std::string StandardFieldLabel(const std::string& control);

// The value of one registration field of a sample in memory, as text (dates
// as "YYYY-MM-DD HH:MM:SS", empty for none).
std::string SampleFieldText(const CZENDB_Sample& sample, const std::string& control);
CTime SampleFieldDate(const CZENDB_Sample& sample, const std::string& control);

// The columns of a sample in listings (JSON keys, CSV header): SampleID,
// UserSampleID, the standard fields, the measuring and signing state and
// CustomField1 .. CustomField19.
const std::vector<std::string>& SampleColumnNames();
// The cells of one sample in the order of SampleColumnNames().
std::vector<CCell> SampleCells(const CZENDB_Sample& sample);
// The sample as a JSON object with those keys.
nlohmann::ordered_json SampleJson(const CZENDB_Sample& sample);

// Registration values as the library's registration-field list: one entry
// per field set, with the field's definition; owns its entries.
class CRegistrationValues {
public:
    // Reads the field definitions; database errors pass to the caller.
    explicit CRegistrationValues(CZENDatabase& db);
    ~CRegistrationValues() { Clear(); }
    CRegistrationValues(const CRegistrationValues&) = delete;
    CRegistrationValues& operator=(const CRegistrationValues&) = delete;

    // CToolError when the database has no field with that control name.
    void SetText(const std::string& control, const std::string& text);
    void SetDate(const std::string& control, const CTime& date);
    // Copies the values set so far into the sample (memory only).
    void ApplyTo(CZENDB_Sample& sample) { sample.SetSampleRegistrationData(m_values); }
    // Forgets every value set; the definitions stay.
    void Clear();

private:
    const CZENDB_RegistrationField& Def(const std::string& control);

    COwnedList<CZENDB_RegistrationField> m_defs;
    CObList m_values;
};

} // namespace zendb
