// Modal run and end state of CDialog; the interaction itself belongs to the
// installed user interface host.
#include "framework/CDialog.h"

#include "framework/StringTable.h"
#include "framework/UIHost.h"

IMPLEMENT_DYNAMIC(CDialog, CObject)

CDialog::CDialog(UINT nIDTemplate, CDialog* pParent)
    : m_nIDTemplate(nIDTemplate), m_pParent(pParent), m_strCaption(LoadDialogCaption(nIDTemplate))
{
}

CDialog::~CDialog() = default;

INT_PTR CDialog::DoModal()
{
    if (m_bRunning)
        return -1;
    // Reset on every exit, also when a handler or a script throws.
    struct RunningFlag {
        bool& flag;
        explicit RunningFlag(bool& f) : flag(f) { flag = true; }
        ~RunningFlag() { flag = false; }
    } running(m_bRunning);

    m_bEnded = false;
    m_nModalResult = -1;
    const INT_PTR result = GetUIHost()->RunModal(*this);
    return m_bEnded ? m_nModalResult : result;
}

BOOL CDialog::OnInitDialog()
{
    return TRUE;
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bEnded = true;
}
