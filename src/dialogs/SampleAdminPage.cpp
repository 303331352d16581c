// The sample settings page: registration fields loaded into fixed slots by
// kind and number, shown as check boxes and name edits, stored back field by
// field.
#include "dialogs/SampleAdminPage.h"

#include "database/ZENDatabase.h"
#include "databaseobjects/CZENDB_RegistrationField.h"
#include "dialogs/internal/DialogText.h"
#include "framework/CObList.h"
#include "framework/CStringList.h"
#include "framework/Exceptions.h"
#include "framework/StringTable.h"
#include "framework/UIHost.h"

IMPLEMENT_DYNAMIC(CSampleAdminPage, CPropertyPage)

const int CSampleAdminPage::kStandardCheckIds[kStandardCount] = {13003, 13030, 13032, 13034,
                                                                 13035, 13036, 13037, 13048};
const int CSampleAdminPage::kCustomCheckIds[kCustomCount] = {13006, 13004, 13010, 13008, 13014, 13012, 13018,
                                                             13016, 13022, 13020, 13026, 13024, 13028, 13040,
                                                             13039, 13041, 13046, 13045, 13047};
const int CSampleAdminPage::kCustomEditIds[kCustomCount] = {13007, 13005, 13011, 13009, 13015, 13013, 13019,
                                                            13017, 13023, 13021, 13027, 13025, 13029, 13031,
                                                            13033, 13038, 13042, 13043, 13044};

namespace {

constexpr const char* kCustomPrefix = "CustomField";

bool IsCustom(const CString& name)
{
    return name.Left(11) == kCustomPrefix;
}

// n of "CustomField<n>" for n 1..19; 0 for any other name.
int CustomNumber(const CString& name)
{
    if (!IsCustom(name) || name.GetLength() < 12 || name.GetLength() > 13)
        return 0;
    int number = 0;
    for (int i = 11; i < name.GetLength(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        number = number * 10 + (name[i] - '0');
    }
    if (name[11] == '0')
        return 0;
    return number >= 1 && number <= CSampleAdminPage::kCustomCount ? number : 0;
}

CString CustomName(int slot)
{
    CString name;
    name.Format("%s%d", kCustomPrefix, slot + 1);
    return name;
}

} // namespace

CSampleAdminPage::CSampleAdminPage() : CPropertyPage(IDD_SAMPLE_SETTINGS_PAGE)
{
}

void CSampleAdminPage::Load(CZENDatabase* pDatabase)
{
    if (pDatabase == nullptr)
        return;
    m_pDatabase = pDatabase;
    CObList fields;
    try {
        pDatabase->GetAllRegistrationFields(fields);
    } catch (const CDBException& error) {
        AfxMessageBox(error.GetMessageText());
    }
    int standard = 0;
    while (!fields.IsEmpty()) {
        auto* field = static_cast<CZENDB_RegistrationField*>(fields.RemoveHead());
        field->Control.TrimRight();
        if (!IsCustom(field->Control)) {
            if (standard < kStandardCount) {
                m_strStandardNames[standard] = field->Control;
                m_bStandardVisible[standard] = field->Visible ? TRUE : FALSE;
                ++standard;
            }
        } else if (const int number = CustomNumber(field->Control); number > 0) {
            m_strCustomDescriptions[number - 1] = field->GetDescription();
            m_bCustomVisible[number - 1] = field->Visible ? TRUE : FALSE;
        }
        delete field;
    }
}

void CSampleAdminPage::Store(CZENDatabase* pDatabase)
{
    if (pDatabase == nullptr)
        return;
    if (!zendlg::ActionAllowedOrShown(pDatabase, ZENACT_ManageFields))
        return;
    for (int i = 0; i < kCustomCount; ++i) {
        CZENDB_RegistrationField field(pDatabase);
        if (!field.Load(CustomName(i)))
            continue;
        field.SetDescription(m_strCustomDescriptions[i]);
        field.Visible = m_bCustomVisible[i] ? TRUE : FALSE;
        field.Save();
    }
    for (int i = 0; i < kStandardCount; ++i) {
        if (m_strStandardNames[i].IsEmpty())
            continue;
        CZENDB_RegistrationField field(pDatabase);
        if (!field.Load(m_strStandardNames[i]))
            continue;
        field.Visible = m_bStandardVisible[i] ? TRUE : FALSE;
        field.Save();
    }
}

void CSampleAdminPage::DoDataExchange(CDataExchange* pDX)
{
    CPropertyPage::DoDataExchange(pDX);
    for (int i = 0; i < kStandardCount; ++i)
        DDX_Check(pDX, kStandardCheckIds[i], m_bStandardVisible[i]);
    for (int i = 0; i < kCustomCount; ++i) {
        DDX_Check(pDX, kCustomCheckIds[i], m_bCustomVisible[i]);
        DDX_Text(pDX, kCustomEditIds[i], m_strCustomDescriptions[i]);
    }
}

BOOL CSampleAdminPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    CStringList names;
    if (m_pDatabase != nullptr)
        m_pDatabase->GetRegistrationFieldNames(names);
    int slot = 0;
    for (POSITION pos = names.GetHeadPosition(); pos != nullptr && slot < kStandardCount;) {
        const CString& name = names.GetNext(pos);
        if (IsCustom(name))
            continue;
        SetDlgItemText(kStandardCheckIds[slot], zendlg::FieldLabel(name));
        ++slot;
    }
    for (; slot < kStandardCount; ++slot) {
        if (CWnd* box = GetDlgItem(kStandardCheckIds[slot]))
            box->ShowWindow(SW_HIDE);
    }
    return TRUE;
}
