// Registration fields as zendb handles them (see Fields.h).
#include "Fields.h"
#include "Tr.h"

namespace zendb {

namespace {

struct CStandardLabel {
    const char* control;
    const char* label;
};

constexpr CStandardLabel kStandardLabels[] = {
    {"SampleID", TrMark("Sample key")},
    {"UserSampleID", TrMark("Sample ID")},
    {"WorkOrder", TrMark("Work order")},
    {"PartNo", TrMark("Part no.")},
    {"Detail", TrMark("Detail")},
    {"Material", TrMark("Material")},
    {"Customer", TrMark("Customer")},
    {"DueDate", TrMark("Due date")},
    {"RegistrationDate", TrMark("Registered")},
    {"RegisteredBy", TrMark("Registered by")},
    {"MeasuredBy", TrMark("Measured by")},
    {"MeasuredDate", TrMark("Measured")},
    {"Signature", TrMark("Signed by")},
};

// The label as written here, whatever the language: a field may be named
// on the command line by its English label too.
std::string LabelAsWritten(const std::string& control)
{
    for (const CStandardLabel& entry : kStandardLabels)
        if (control == entry.control)
            return entry.label;
    return control;
}

std::string TrimmedRight(const CString& text)
{
    CString copy = text;
    copy.TrimRight();
    return ToStd(copy);
}

} // namespace

std::string StandardFieldLabel(const std::string& control)
{
    for (const CStandardLabel& entry : kStandardLabels)
        if (control == entry.control)
            return Tr(entry.label);
    return control;
}

std::string CFieldDef::Label() const
{
    if (description.empty() || description == control)
        return StandardFieldLabel(control);
    return description;
}

std::vector<CFieldDef> LoadFieldDefs(CZENDatabase& db)
{
    COwnedList<CZENDB_RegistrationField> fields;
    db.GetAllRegistrationFields(fields.List());
    std::vector<CFieldDef> defs;
    for (CZENDB_RegistrationField* field : fields.Items()) {
        CFieldDef def;
        def.control = TrimmedRight(field->Control);
        field->Control = CString(def.control);
        def.description = TrimmedRight(field->GetDescription());
        def.visible = field->Visible != FALSE;
        def.displayOrder = field->DisplayOrder;
        def.isDate = def.control == "RegistrationDate" || def.control == "DueDate";
        defs.push_back(std::move(def));
    }
    return defs;
}

const CFieldDef* FindField(const std::vector<CFieldDef>& fields, const std::string& name)
{
    for (const CFieldDef& field : fields)
        if (field.control == name)
            return &field;
    const std::string lower = Lower(name);
    for (const CFieldDef& field : fields)
        if (Lower(field.control) == lower)
            return &field;
    for (const CFieldDef& field : fields)
        if (Lower(field.description) == lower || Lower(field.Label()) == lower ||
            ((field.description.empty() || field.description == field.control) &&
             Lower(LabelAsWritten(field.control)) == lower))
            return &field;
    return nullptr;
}

bool NamesStandardColumn(const std::string& control, const std::string& name)
{
    const std::string lower = Lower(name);
    return lower == Lower(control) || lower == Lower(StandardFieldLabel(control)) ||
           lower == Lower(LabelAsWritten(control));
}

const CFieldDef& ResolveField(const std::vector<CFieldDef>& fields, const std::string& name)
{
    if (const CFieldDef* field = FindField(fields, name))
        return *field;
    std::string known;
    for (const CFieldDef& field : fields)
        if (field.visible)
            known += (known.empty() ? "" : ", ") + field.control;
    throw CUsageError(
        TrF("unknown registration field '%s' (visible fields: %s; 'zendb fields list' shows all)", name, known));
}

CTime SampleFieldDate(const CZENDB_Sample& sample, const std::string& control)
{
    if (control == "RegistrationDate")
        return sample.RegistrationDate;
    if (control == "DueDate")
        return sample.DueDate;
    if (control == "MeasuredDate")
        return sample.MeasuredDate;
    return CTime();
}

std::string SampleFieldText(const CZENDB_Sample& sample, const std::string& control)
{
    const CString* const texts[] = {
        &sample.WorkOrder,     &sample.PartNo,        &sample.Detail,        &sample.Customer,
        &sample.Material,      &sample.RegisteredBy,  &sample.MeasuredBy,    &sample.Signature,
        &sample.UserSampleID,  &sample.CustomField1,  &sample.CustomField2,  &sample.CustomField3,
        &sample.CustomField4,  &sample.CustomField5,  &sample.CustomField6,  &sample.CustomField7,
        &sample.CustomField8,  &sample.CustomField9,  &sample.CustomField10, &sample.CustomField11,
        &sample.CustomField12, &sample.CustomField13, &sample.CustomField14, &sample.CustomField15,
        &sample.CustomField16, &sample.CustomField17, &sample.CustomField18, &sample.CustomField19,
    };
    static const char* const names[] = {
        "WorkOrder",     "PartNo",        "Detail",        "Customer",      "Material",
        "RegisteredBy",  "MeasuredBy",    "Signature",     "UserSampleID",  "CustomField1",
        "CustomField2",  "CustomField3",  "CustomField4",  "CustomField5",  "CustomField6",
        "CustomField7",  "CustomField8",  "CustomField9",  "CustomField10", "CustomField11",
        "CustomField12", "CustomField13", "CustomField14", "CustomField15", "CustomField16",
        "CustomField17", "CustomField18", "CustomField19",
    };
    static_assert(std::size(texts) == std::size(names));
    for (size_t i = 0; i < std::size(names); ++i)
        if (control == names[i])
            return TrimmedRight(*texts[i]);
    if (control == "RegistrationDate" || control == "DueDate" || control == "MeasuredDate")
        return FormatDateTime(SampleFieldDate(sample, control));
    return std::string();
}

const std::vector<std::string>& SampleColumnNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list = {"SampleID",     "UserSampleID", "WorkOrder",        "PartNo",
                                         "Detail",       "Material",     "Customer",         "RegistrationDate",
                                         "DueDate",      "RegisteredBy", "MeasuredBy",       "MeasuredDate",
                                         "Signed",       "Signature"};
        for (int n = 1; n <= 19; ++n)
            list.push_back("CustomField" + std::to_string(n));
        return list;
    }();
    return names;
}

std::vector<CCell> SampleCells(const CZENDB_Sample& sample)
{
    std::vector<CCell> cells;
    for (const std::string& name : SampleColumnNames()) {
        if (name == "SampleID")
            cells.emplace_back(static_cast<int>(sample.SampleID));
        else if (name == "Signed")
            cells.push_back(CCell::Flag(sample.Signed != FALSE));
        else if (name == "RegistrationDate" || name == "DueDate" || name == "MeasuredDate")
            cells.push_back(DateCell(SampleFieldDate(sample, name)));
        else
            cells.emplace_back(SampleFieldText(sample, name));
    }
    return cells;
}

nlohmann::ordered_json SampleJson(const CZENDB_Sample& sample)
{
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    const auto cells = SampleCells(sample);
    for (size_t i = 0; i < cells.size(); ++i)
        object[SampleColumnNames()[i]] = cells[i].Json();
    return object;
}

CRegistrationValues::CRegistrationValues(CZENDatabase& db)
{
    db.GetAllRegistrationFields(m_defs.List());
}

void CRegistrationValues::SetText(const std::string& control, const std::string& text)
{
    m_values.AddTail(new CSampleRegistrationField(-1, Def(control), CString(text)));
}

void CRegistrationValues::SetDate(const std::string& control, const CTime& date)
{
    m_values.AddTail(new CSampleRegistrationField(-1, Def(control), date));
}

void CRegistrationValues::Clear()
{
    while (!m_values.IsEmpty())
        delete static_cast<CSampleRegistrationField*>(m_values.RemoveHead());
}

const CZENDB_RegistrationField& CRegistrationValues::Def(const std::string& control)
{
    for (CZENDB_RegistrationField* def : m_defs.Items()) {
        CString name = def->Control;
        name.TrimRight();
        if (ToStd(name) == control) {
            def->Control = name;
            return *def;
        }
    }
    throw CToolError(TrF("the database has no registration field '%s'", control));
}

} // namespace zendb
