// The user administration control's wrapper: creation fails cleanly, since
// no COM automation host exists on this platform.
#include "dialogs/AdminUserCtl.h"

#include "dialogs/internal/DialogText.h"

IMPLEMENT_DYNAMIC(CAdminUserCtl, CWnd)

BOOL CAdminUserCtl::Create(const char* /*windowName*/, DWORD /*style*/, const CRect& /*rect*/, CWnd* /*parent*/,
                           UINT /*id*/)
{
    m_bCreated = false;
    zendlg::ActionAllowedOrShown(m_pDatabase, ZENACT_ManageUsers);
    return FALSE;
}

BOOL CAdminUserCtl::Invoke60030002(const CString& /*text1*/, const CString& /*text2*/, short /*value*/)
{
    return FALSE;
}

BOOL CAdminUserCtl::Invoke60030003(const CString& /*text*/)
{
    return FALSE;
}

BOOL CAdminUserCtl::Invoke60030004(const CString& /*text*/, short /*value*/)
{
    return FALSE;
}

BOOL CAdminUserCtl::Invoke60030005(const CString& /*text1*/, const CString& /*text2*/)
{
    return FALSE;
}

CString CAdminUserCtl::Invoke60030009(CString* /*text*/)
{
    return CString();
}

CString CAdminUserCtl::GetProperty68030000() const
{
    return CString();
}

void CAdminUserCtl::SetProperty68030000(CString* /*value*/)
{
}
