// CDialog: a modal dialog of the framework as logic over a model of its
// controls. The controls come from the dialog's template (DialogTemplate.h)
// and are reached by id; the installed user interface host (UIHost.h) shows
// them, lets the user act, and mirrors changes both ways.
#pragma once

#include "framework/COleDateTime.h"
#include "framework/CObject.h"
#include "framework/CString.h"
#include "framework/CWnd.h"
#include "framework/Controls.h"
#include "framework/Exceptions.h"

#include <functional>
#include <memory>
#include <vector>

class CDialog;

// Thrown by CDataExchange::Fail to abandon an UpdateData that found invalid
// input (the dialog has told the user already).
class CUserException : public CException {
    DECLARE_DYNAMIC(CUserException)

public:
    CUserException() : CException(CString("Invalid input")) {}
};

// The direction and target of one UpdateData run.
class CDataExchange {
public:
    CDataExchange(CDialog* pDlg, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlg) {}

    // Throws CUserException: UpdateData returns FALSE.
    [[noreturn]] void Fail();

    BOOL m_bSaveAndValidate;  // TRUE: controls -> members; FALSE: members -> controls
    CDialog* m_pDlgWnd;
};

// Member <-> control transfers for DoDataExchange. A missing control is
// skipped in both directions.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
// A null value stands for "no date" (a DTS_SHOWNONE picker).
void DDX_DateTimeCtrl(CDataExchange* pDX, int nIDC, COleDateTime& value);

// Life of a modal run (DoModal):
//  1. the controls are created from the template (Create);
//  2. the host calls OnInitDialog(); the dialog may end itself there already
//     (EndDialog), e.g. when it has nothing to show;
//  3. the user (or a script of CScriptedUIHost) acts on the controls and
//     clicks buttons (ClickDlgButton -> OnCommand -> OnOK / OnCancel / the
//     dialog's own handlers);
//  4. the dialog ends when a handler calls EndDialog; an OnOK that refuses the
//     input simply does not call it, and the dialog stays open;
//  5. DoModal returns the value given to EndDialog. The controls stay in the
//     model until the next run or DestroyWindow, so that callers can read
//     them afterwards.
class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)

public:
    // Observer of changes to the dialog and its controls (the host's link).
    using ChangeObserver = std::function<void(CWnd& wnd, ZenWndChange what)>;

    // A dialog of template nIDTemplate; the caption starts as the template's
    // (LoadDialogCaption for a template that is not known). pParent may be
    // nullptr (centred on the screen).
    explicit CDialog(UINT nIDTemplate = 0, CWnd* pParent = nullptr);
    ~CDialog() override;

    // Runs the dialog modally through GetUIHost(); returns the end result
    // (IDOK, IDCANCEL or what EndDialog was given), -1 when the dialog is
    // already running.
    virtual INT_PTR DoModal();

    // Creates the controls of the template (modeless creation; DoModal does
    // it itself). A template that is not known gives a dialog without
    // controls; FALSE then. Recreates the controls when they exist.
    BOOL Create(UINT nIDTemplate = 0, CWnd* pParentWnd = nullptr);
    // Removes the controls.
    void DestroyWindow();
    // TRUE once Create ran (also for a template without controls).
    BOOL IsCreated() const { return m_bCreated ? TRUE : FALSE; }

    // Called by the host before the user acts. The base fills the controls
    // from the members (UpdateData(FALSE)). Returns TRUE when the host shall
    // place the input focus, FALSE when the dialog placed it itself.
    virtual BOOL OnInitDialog();
    // OK button: the base reads the controls into the members
    // (UpdateData(TRUE)) and ends with IDOK unless that failed.
    virtual void OnOK();
    // Cancel button (and closing the window): the base ends with IDCANCEL.
    virtual void OnCancel();
    // A button was clicked: IDOK -> OnOK, IDCANCEL -> OnCancel; dialogs
    // handle their own buttons. Returns whether the command was handled.
    virtual BOOL OnCommand(UINT nID);
    // Ends the modal run with nResult once the current handler returns.
    void EndDialog(int nResult);

    // Clicks a button as the user would: FALSE (nothing happens) when the
    // control is missing, not a button, hidden or disabled. A check box
    // toggles first. Then OnCommand(nID).
    BOOL ClickDlgButton(int nID);

    // Members <-> controls through DoDataExchange; FALSE when a transfer
    // failed (CDataExchange::Fail).
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    virtual void DoDataExchange(CDataExchange* pDX);

    UINT GetTemplateId() const { return m_nIDTemplate; }

    // Caption (window title).
    const CString& GetCaption() const { return m_strText; }

    // Controls.
    // The control with that id; nullptr when none (or before Create).
    CWnd* GetDlgItem(int nID) const;
    // The control as the given class; nullptr when missing or of another class.
    template <class T>
    T* GetDlgItemAs(int nID) const
    {
        return dynamic_cast<T*>(GetDlgItem(nID));
    }
    // Number and controls in template (tab) order, for hosts.
    int GetControlCount() const { return static_cast<int>(m_controls.size()); }
    CControlWnd* GetControlAt(int index) const;
    // Adds a control that is not in the template (owned by the dialog,
    // destroyed with its window); returns it. nID must not be in use.
    CControlWnd* AddControl(std::unique_ptr<CControlWnd> control, int nID, const CRect& rect, DWORD style = 0);

    // Text access by id; a missing control reads as empty and ignores writes.
    void SetDlgItemText(int nID, const char* text);
    int GetDlgItemText(int nID, CString& text) const;
    CString GetDlgItemText(int nID) const;
    // The text as a decimal integer; *pTrans FALSE (and 0) when it is not one.
    int GetDlgItemInt(int nID, BOOL* pTrans = nullptr, BOOL bSigned = TRUE) const;
    void SetDlgItemInt(int nID, int value, BOOL bSigned = TRUE);
    // Check boxes.
    void CheckDlgButton(int nID, UINT nCheck);
    UINT IsDlgButtonChecked(int nID) const;

    // Input focus: the control the dialog moved it to (nullptr: the host's choice).
    void GotoDlgCtrl(CWnd* pWndCtrl);
    CWnd* GetFocusCtrl() const { return m_pFocus; }
    // The dialog asks to be centred on the screen (hosts centre every dialog
    // that has no parent anyway).
    void CenterWindow() { m_bCentered = true; }
    BOOL IsCentered() const { return m_bCentered ? TRUE : FALSE; }

    // Host link: one observer hears about every change of the dialog's
    // caption and controls. nullptr removes it.
    void SetChangeObserver(ChangeObserver observer) { m_observer = std::move(observer); }

    // IsRunning: TRUE while DoModal runs. HasEnded: TRUE from EndDialog until
    // the next DoModal starts.
    BOOL IsRunning() const { return m_bRunning ? TRUE : FALSE; }
    BOOL HasEnded() const { return m_bEnded ? TRUE : FALSE; }
    // The value given to EndDialog; -1 before the dialog ended.
    int GetModalResult() const { return m_nModalResult; }

protected:
    UINT m_nIDTemplate;

private:
    friend class CWnd;
    void ReportChange(CWnd& wnd, ZenWndChange what);

    std::vector<std::unique_ptr<CControlWnd>> m_controls;
    CWnd* m_pFocus = nullptr;
    ChangeObserver m_observer;
    int m_nModalResult = -1;
    bool m_bEnded = false;
    bool m_bRunning = false;
    bool m_bCreated = false;
    bool m_bCentered = false;
};
