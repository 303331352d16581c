// Window state of the dialog model and the change reports that keep a user
// interface host in step with it.
#include "framework/CWnd.h"

#include "framework/CDialog.h"

IMPLEMENT_DYNAMIC(CWnd, CObject)

void CWnd::SetWindowText(const char* text)
{
    const CString value(text);
    if (value == m_strText)
        return;
    m_strText = value;
    NotifyChanged(ZenWndChange::Text);
}

void CWnd::GetWindowText(CString& text) const
{
    text = m_strText;
}

CString CWnd::GetWindowText() const
{
    CString text;
    GetWindowText(text);
    return text;
}

int CWnd::GetWindowTextLength() const
{
    return GetWindowText().GetLength();
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    const bool before = m_bVisible;
    const bool now = nCmdShow != SW_HIDE;
    if (now != before) {
        m_bVisible = now;
        NotifyChanged(ZenWndChange::Visible);
    }
    return before ? TRUE : FALSE;
}

BOOL CWnd::EnableWindow(BOOL bEnable)
{
    const bool wasDisabled = !m_bEnabled;
    const bool now = bEnable != FALSE;
    if (now != m_bEnabled) {
        m_bEnabled = now;
        NotifyChanged(ZenWndChange::Enabled);
    }
    return wasDisabled ? TRUE : FALSE;
}

void CWnd::MoveWindow(int x, int y, int cx, int cy)
{
    MoveWindow(CRect{x, y, x + cx, y + cy});
}

void CWnd::MoveWindow(const CRect& rect)
{
    if (rect == m_rect)
        return;
    m_rect = rect;
    NotifyChanged(ZenWndChange::Place);
}

void CWnd::NotifyChanged(ZenWndChange what)
{
    if (m_pOwnerDialog != nullptr)
        m_pOwnerDialog->ReportChange(*this, what);
}
