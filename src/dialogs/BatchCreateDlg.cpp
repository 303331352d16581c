// The batch count dialog: explanation with the first two identifiers, the
// last count from the profile, and the count written back on OK.
#include "dialogs/BatchCreateDlg.h"

#include "companions/StringUtilities.h"
#include "dialogs/internal/DialogText.h"
#include "framework/AppProfile.h"
#include "framework/StringTable.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

IMPLEMENT_DYNAMIC(CBatchCreateDlg, CDialog)

CBatchCreateDlg::CBatchCreateDlg(CZENDatabase* pDatabase, const CString& firstUserSampleID, CWnd* pParent)
    : CDialog(IDD_BATCH_CREATE, pParent), m_strNumberOfSamples("1"), m_strFirstUserSampleID(firstUserSampleID),
      m_pDatabase(pDatabase)
{
}

void CBatchCreateDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_BATCH_COUNT, m_strNumberOfSamples);
    DDX_Text(pDX, IDC_BATCH_FIRST_ID, m_strFirstUserSampleID);
}

BOOL CBatchCreateDlg::OnInitDialog()
{
    // A batch registers samples: without that right the dialog closes
    // before it asks for a count.
    if (!zendlg::ActionAllowedOrShown(m_pDatabase, ZENACT_RegisterSample)) {
        EndDialog(IDCANCEL);
        return CDialog::OnInitDialog();
    }
    const CString second = IncLastNumberInString(m_strFirstUserSampleID);
    const CString names = m_strFirstUserSampleID + ", " + second;
    SetDlgItemText(IDC_BATCH_EXPLANATION, zendlg::FormatText(13029, {names.GetString()}));
    const int count = AfxGetApp()->GetProfileInt(ZEN_PROFILE_BATCH_SECTION, ZEN_PROFILE_BATCH_COUNT, 0);
    m_strNumberOfSamples.Format("%d", count);
    return CDialog::OnInitDialog();
}

int CBatchCreateDlg::GetNumberOfSamples() const
{
    errno = 0;
    const long long value = std::strtoll(m_strNumberOfSamples.GetString(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

void CBatchCreateDlg::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    const int count = GetNumberOfSamples();
    if (count < 0)
        return;
    AfxGetApp()->WriteProfileInt(ZEN_PROFILE_BATCH_SECTION, ZEN_PROFILE_BATCH_COUNT, count);
    EndDialog(IDOK);
}
