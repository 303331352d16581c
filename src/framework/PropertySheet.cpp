// Page activation and the accept/cancel sequence of property sheets.
#include "framework/PropertySheet.h"

IMPLEMENT_DYNAMIC(CPropertyPage, CDialog)
IMPLEMENT_DYNAMIC(CPropertySheet, CDialog)

CPropertyPage::CPropertyPage(UINT nIDTemplate) : CDialog(nIDTemplate)
{
}

CPropertyPage::~CPropertyPage()
{
    // A page deleted while still in a sheet leaves it, so that the sheet
    // holds no dangling pointer.
    if (m_pSheet != nullptr)
        m_pSheet->RemoveEntry(m_pSheet->GetPageIndex(this), false);
}

BOOL CPropertyPage::OnSetActive()
{
    if (m_bFirstSetActive) {
        m_bFirstSetActive = false;
        return TRUE;
    }
    UpdateData(FALSE);
    return TRUE;
}

BOOL CPropertyPage::OnKillActive()
{
    return UpdateData(TRUE);
}

void CPropertyPage::OnOK()
{
}

void CPropertyPage::OnCancel()
{
}

CPropertySheet::CPropertySheet(const char* pszCaption, CWnd* pParentWnd, UINT iSelectPage)
    : CDialog(0, pParentWnd), m_nStartPage(iSelectPage)
{
    if (pszCaption != nullptr)
        m_strText = pszCaption;
}

CPropertySheet::~CPropertySheet()
{
    for (Entry& entry : m_pages)
        entry.page->m_pSheet = nullptr;
    m_pages.clear();
}

void CPropertySheet::AddPage(CPropertyPage* pPage)
{
    if (pPage == nullptr || pPage->m_pSheet != nullptr)
        return;
    pPage->m_pSheet = this;
    pPage->m_pParentWnd = this;
    m_pages.push_back(Entry{pPage, nullptr});
}

void CPropertySheet::AddPage(std::unique_ptr<CPropertyPage> page)
{
    if (!page || page->m_pSheet != nullptr)
        return;
    CPropertyPage* raw = page.get();
    raw->m_pSheet = this;
    raw->m_pParentWnd = this;
    m_pages.push_back(Entry{raw, std::move(page)});
}

void CPropertySheet::RemovePage(int nPage)
{
    RemoveEntry(nPage, true);
}

void CPropertySheet::RemoveEntry(int nPage, bool deleteOwned)
{
    if (nPage < 0 || nPage >= GetPageCount())
        return;
    auto it = m_pages.begin() + nPage;
    std::unique_ptr<CPropertyPage> owned = std::move(it->owned);
    if (!deleteOwned)
        (void)owned.release();  // the page is being deleted by someone else
    it->page->m_pSheet = nullptr;
    m_pages.erase(it);
    if (m_nActive == nPage)
        m_nActive = GetPageCount() > 0 ? 0 : -1;
    else if (m_nActive > nPage)
        --m_nActive;
    // owned (if still held) is deleted here, after the page left the list.
}

void CPropertySheet::RemovePage(CPropertyPage* pPage)
{
    RemovePage(GetPageIndex(pPage));
}

CPropertyPage* CPropertySheet::GetPage(int nPage) const
{
    if (nPage < 0 || nPage >= GetPageCount())
        return nullptr;
    return m_pages[static_cast<size_t>(nPage)].page;
}

BOOL CPropertySheet::IsPageOwned(int nPage) const
{
    if (nPage < 0 || nPage >= GetPageCount())
        return FALSE;
    return m_pages[static_cast<size_t>(nPage)].owned ? TRUE : FALSE;
}

int CPropertySheet::GetPageIndex(const CPropertyPage* pPage) const
{
    for (int i = 0; i < GetPageCount(); ++i) {
        if (m_pages[static_cast<size_t>(i)].page == pPage)
            return i;
    }
    return -1;
}

BOOL CPropertySheet::SetActivePage(int nPage)
{
    if (nPage < 0 || nPage >= GetPageCount())
        return FALSE;
    if (m_nActive < 0) {
        m_nStartPage = static_cast<UINT>(nPage);
        return TRUE;
    }
    if (nPage == m_nActive)
        return TRUE;
    if (!GetActivePage()->OnKillActive())
        return FALSE;
    if (!GetPage(nPage)->OnSetActive())
        return FALSE;
    m_nActive = nPage;
    return TRUE;
}

BOOL CPropertySheet::OnInitDialog()
{
    m_nActive = -1;
    for (Entry& entry : m_pages) {
        entry.page->m_bFirstSetActive = true;
        entry.page->Create();
        entry.page->OnInitDialog();
    }
    if (m_pages.empty())
        return TRUE;
    int start = static_cast<int>(m_nStartPage);
    if (start >= GetPageCount())
        start = 0;
    GetPage(start)->OnSetActive();
    m_nActive = start;
    return TRUE;
}

void CPropertySheet::OnOK()
{
    if (CPropertyPage* active = GetActivePage(); active != nullptr && !active->OnKillActive())
        return;
    for (Entry& entry : m_pages)
        entry.page->OnOK();
    EndDialog(IDOK);
}

void CPropertySheet::OnCancel()
{
    for (Entry& entry : m_pages)
        entry.page->OnCancel();
    EndDialog(IDCANCEL);
}
