// The facade's dialog entry points: registering and editing a sample, the
// sample search and the sample settings page. Defined with the dialogs, which
// stand above the database layer.
#include "database/ZENDatabase.h"
#include "dialogs/RegisterSampleDlg.h"
#include "dialogs/SampleAdminPage.h"
#include "dialogs/SearchSampleDlg.h"
#include "dialogs/internal/DialogText.h"
#include "framework/PropertySheet.h"

#include <memory>

bool CZENDatabase::RegisterNewSampleByDialog(CMapStringToOb& values)
{
    CRegisterSampleDlg dlg(this, -1, nullptr);
    for (POSITION pos = values.GetStartPosition(); pos != nullptr;) {
        CString name;
        CObject* value = nullptr;
        values.GetNextAssoc(pos, name, value);
        dlg.AddPreset(name, value);
    }
    return dlg.DoModal() == IDOK;
}

bool CZENDatabase::EditSampleByDialog(int32_t sampleID)
{
    CRegisterSampleDlg dlg(this, sampleID, nullptr);
    return dlg.DoModal() == IDOK;
}

bool CZENDatabase::GetSearchCriteriaByDialog(CMapStringToPtr* criteria)
{
    if (criteria == nullptr)
        return false;
    CSearchSampleDlg dlg(this, criteria, nullptr);
    if (dlg.DoModal() != IDOK)
        return false;
    // The previous records leave the map without being deleted: the caller
    // owns them (and may still hold them elsewhere).
    criteria->RemoveAll();
    dlg.TakeCriteria(*criteria);
    return true;
}

int CZENDatabase::AddSampleSettingsPage(CPropertySheet* sheet)
{
    if (sheet == nullptr)
        return -1;
    auto page = std::make_unique<CSampleAdminPage>();
    page->Load(this);
    sheet->AddPage(std::move(page));
    return sheet->GetPageCount() - 1;
}

bool CZENDatabase::StoreSampleSettingsPage(CPropertySheet* sheet, int pageIndex)
{
    if (sheet == nullptr || pageIndex < 0 || pageIndex >= sheet->GetPageCount())
        return false;
    auto* page = dynamic_cast<CSampleAdminPage*>(sheet->GetPage(pageIndex));
    // Only this library's page can store itself; another page stays as it is.
    if (page == nullptr)
        return false;
    // Refused: the page stays in the sheet as it is, nothing is stored.
    if (!zendlg::ActionAllowedOrShown(this, ZENACT_ManageFields))
        return false;
    page->Store(this);
    // The page leaves the sheet before it is deleted, so that the sheet holds
    // no dangling pointer.
    const bool owned = sheet->IsPageOwned(pageIndex) != FALSE;
    sheet->RemovePage(pageIndex);
    if (!owned)
        delete page;
    return true;
}
