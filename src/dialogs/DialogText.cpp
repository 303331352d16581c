// Message texts with filled fields and registration field labels for the
// sample dialogs.
#include "dialogs/internal/DialogText.h"

#include "database/ZENDatabase.h"

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

CString FieldLabel(const CString& description)
{
    CString label;
    if (CZENDatabase::GetLocalizedStandardFieldName(description, label))
        return label;
    return description;
}

bool IsDateFieldName(const CString& name)
{
    return name.GetLength() >= 4 && name.Right(4) == "Date";
}

} // namespace zendlg
