// The facade's dialog entry points: registering and editing a sample, the
// sample search and the sample settings page. Defined with the dialogs, which
// stand above the database layer. Until the dialogs are in place each entry
// point reports that nothing was done.

#include "database/ZENDatabase.h"

bool CZENDatabase::RegisterNewSampleByDialog(CMapStringToOb& /*values*/)
{
    return false;
}

bool CZENDatabase::EditSampleByDialog(int32_t /*sampleID*/)
{
    return false;
}

bool CZENDatabase::GetSearchCriteriaByDialog(CMapStringToPtr* /*criteria*/)
{
    return false;
}

int CZENDatabase::AddSampleSettingsPage(CPropertySheet* /*sheet*/)
{
    return 0;
}

bool CZENDatabase::StoreSampleSettingsPage(CPropertySheet* /*sheet*/, int /*pageIndex*/)
{
    return false;
}
