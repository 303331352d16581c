// CPropertyPage and CPropertySheet: a tabbed dialog whose pages are dialogs
// of their own templates. The sheet runs modally through the user interface
// host like any dialog; hosts show its pages as tabs.
#pragma once

#include "framework/CDialog.h"

#include <memory>
#include <vector>

class CPropertySheet;

// One page of a sheet. Its controls are created when the sheet opens.
class CPropertyPage : public CDialog {
    DECLARE_DYNAMIC(CPropertyPage)

public:
    explicit CPropertyPage(UINT nIDTemplate);
    ~CPropertyPage() override;

    // The page becomes the active one. The base fills the controls from the
    // members (UpdateData(FALSE)) except on the first activation, which
    // follows OnInitDialog's own transfer. FALSE refuses the activation.
    virtual BOOL OnSetActive();
    // The page stops being the active one (another tab, or OK). The base
    // reads the controls into the members; FALSE keeps the page active.
    virtual BOOL OnKillActive();
    // The sheet was accepted / cancelled. Neither ends anything: the sheet
    // ends itself. The bases do nothing.
    void OnOK() override;
    void OnCancel() override;

    // The sheet the page was added to; nullptr when none.
    CPropertySheet* GetSheet() const { return m_pSheet; }

private:
    friend class CPropertySheet;
    CPropertySheet* m_pSheet = nullptr;
    bool m_bFirstSetActive = true;
};

// A sheet of pages. Pages added by pointer belong to the caller (as on the
// platform); pages added as unique_ptr belong to the sheet and are deleted
// with it or when removed.
class CPropertySheet : public CDialog {
    DECLARE_DYNAMIC(CPropertySheet)

public:
    explicit CPropertySheet(const char* pszCaption = nullptr, CWnd* pParentWnd = nullptr, UINT iSelectPage = 0);
    ~CPropertySheet() override;

    // Adds a page at the end; a page already in a sheet is refused (nothing
    // changes). The sheet does not own it.
    void AddPage(CPropertyPage* pPage);
    // Adds a page that the sheet owns.
    void AddPage(std::unique_ptr<CPropertyPage> page);
    // Removes the page (deleting it when the sheet owns it). A bad index or
    // a page not in the sheet changes nothing.
    void RemovePage(int nPage);
    void RemovePage(CPropertyPage* pPage);

    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    // nullptr for a bad index.
    CPropertyPage* GetPage(int nPage) const;
    int GetPageIndex(const CPropertyPage* pPage) const;
    // Whether the sheet owns the page at that index (added as unique_ptr).
    BOOL IsPageOwned(int nPage) const;
    // Index of the active page; -1 before the sheet opened or without pages.
    int GetActiveIndex() const { return m_nActive; }
    CPropertyPage* GetActivePage() const { return GetPage(m_nActive); }
    // Makes that page active: the old one's OnKillActive, then the new one's
    // OnSetActive. Before the sheet was initialised (OnInitDialog), only
    // chooses the start page.
    // FALSE when a page refused or the index is bad.
    BOOL SetActivePage(int nPage);

    // Creates every page's controls and initialises them, then activates the
    // start page.
    BOOL OnInitDialog() override;
    // Accept: the active page's OnKillActive (a refusal keeps the sheet
    // open), then every page's OnOK, then the end with IDOK.
    void OnOK() override;
    // Every page's OnCancel, then the end with IDCANCEL.
    void OnCancel() override;

private:
    friend class CPropertyPage;
    // Removes the entry; deleteOwned false when the page is being deleted
    // already (its destructor calls this).
    void RemoveEntry(int nPage, bool deleteOwned);

    struct Entry {
        CPropertyPage* page = nullptr;
        std::unique_ptr<CPropertyPage> owned;
    };
    std::vector<Entry> m_pages;
    UINT m_nStartPage;
    int m_nActive = -1;
};
