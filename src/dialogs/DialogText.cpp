// Message texts with filled fields, registration field labels and the
// refusal of an action the session may not do, for the sample dialogs.
#include "dialogs/internal/DialogText.h"

#include "database/ZENDatabase.h"
#include "framework/Translation.h"
#include "framework/UIHost.h"


namespace zendlg {

CString FormatText(UINT id, std::initializer_list<const char*> args)
{
    const CString format = LoadResString(id);
    CString text;
    auto next = args.begin();
    for (int i = 0; i < format.GetLength(); ++i) {
        const char ch = format[i];
        if (ch == '%' && i + 1 < format.GetLength()) {
            const char spec = format[i + 1];
            if (spec == '%') {
                text += '%';
                ++i;
                continue;
            }
            if (spec == 's' && next != args.end()) {
                text += *next++;
                ++i;
                continue;
            }
        }
        text += ch;
    }
    return text;
}

namespace {

// The default name a new database stores for custom field n.
constexpr const char* kCustomFieldDefault = "Campo personalizado %d";

// n when text is exactly the stored default name of custom field n (1..19),
// else 0. A name the station renamed, even to something close, is not.
int CustomFieldDefaultNumber(const CString& text)
{
    for (int n = 1; n <= 19; ++n) {
        CString candidate;
        candidate.Format(kCustomFieldDefault, n);
        if (candidate == text)
            return n;
    }
    return 0;
}

} // namespace

CString FieldLabel(const CString& description)
{
    CString label;
    if (CZENDatabase::GetLocalizedStandardFieldName(description, label))
        return label;
    // The stored default names of custom fields are shown in the operator's
    // language; the stored value itself never changes.
    if (!ZenGetLanguages().empty()) {
        if (const int n = CustomFieldDefaultNumber(description); n != 0) {
            label.Format(ZenTranslate(kZenTextDomain, "custom field", kCustomFieldDefault), n);
            return label;
        }
    }
    return description;
}

bool IsDateFieldName(const CString& name)
{
    return name.GetLength() >= 4 && name.Right(4) == "Date";
}

bool ActionAllowedOrShown(CZENDatabase* database, ZENAction action)
{
    if (database == nullptr)
        return true;
    CString refusal;
    if (database->IsActionAllowed(action, &refusal))
        return true;
    AfxMessageBox(refusal, MB_ICONERROR);
    return false;
}

} // namespace zendlg
