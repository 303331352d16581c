// CDialog: a modal dialog of the framework, run through the installed user
// interface host (framework/UIHost.h). It carries its template id, parent,
// caption and end state; the controls of a template are added by subclasses.
#pragma once

#include "framework/CObject.h"
#include "framework/CString.h"

// Life of a modal run (DoModal):
//  1. the host calls OnInitDialog(); the dialog may end itself there already
//     (EndDialog), e.g. when it has nothing to show;
//  2. the user (or a script of CScriptedUIHost) acts on the dialog: sets its
//     members and presses OK or Cancel, which calls OnOK() / OnCancel();
//  3. the dialog ends when OnOK/OnCancel (or any handler) calls EndDialog; an
//     OnOK that refuses the input simply does not call it, and the dialog
//     stays open for the next action;
//  4. DoModal returns the value given to EndDialog.
class CDialog : public CObject {
    DECLARE_DYNAMIC(CDialog)

public:
    // A dialog of template nIDTemplate; the caption starts as the template's
    // (LoadDialogCaption). pParent may be nullptr (centred on the screen).
    explicit CDialog(UINT nIDTemplate = 0, CDialog* pParent = nullptr);
    ~CDialog() override;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally through GetUIHost(); returns the end result
    // (IDOK, IDCANCEL or what EndDialog was given), -1 when the dialog is
    // already running.
    virtual INT_PTR DoModal();

    // Called by the host before the user acts. Returns TRUE when the host
    // shall place the input focus, FALSE when the dialog placed it itself.
    virtual BOOL OnInitDialog();
    // OK button: the base ends the dialog with IDOK.
    virtual void OnOK();
    // Cancel button (and closing the window): the base ends with IDCANCEL.
    virtual void OnCancel();
    // Ends the modal run with nResult once the current handler returns.
    void EndDialog(int nResult);

    UINT GetTemplateId() const { return m_nIDTemplate; }
    CDialog* GetParent() const { return m_pParent; }

    // Caption (window title).
    void SetWindowText(const char* text) { m_strCaption = text; }
    void GetWindowText(CString& text) const { text = m_strCaption; }
    const CString& GetCaption() const { return m_strCaption; }

    // IsRunning: TRUE while DoModal runs. HasEnded: TRUE from EndDialog until
    // the next DoModal starts.
    BOOL IsRunning() const { return m_bRunning ? TRUE : FALSE; }
    BOOL HasEnded() const { return m_bEnded ? TRUE : FALSE; }
    // The value given to EndDialog; -1 before the dialog ended.
    int GetModalResult() const { return m_nModalResult; }

protected:
    UINT m_nIDTemplate;
    CDialog* m_pParent;
    CString m_strCaption;

private:
    int m_nModalResult = -1;
    bool m_bEnded = false;
    bool m_bRunning = false;
};
