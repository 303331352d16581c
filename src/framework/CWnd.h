// CWnd: the window base of the dialog model. A dialog and each of its controls
// is a CWnd holding what a screen would show (text, visibility, enabled state,
// place); every change is reported to the dialog that owns the window, so that
// a user interface host can mirror the model on a real screen.
#pragma once

#include "framework/CObject.h"
#include "framework/CString.h"

class CDialog;

// A rectangle in dialog units (a quarter of the average character width
// horizontally, an eighth of the character height vertically).
struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const CRect&) const = default;
};

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;

// What changed in a window; sent to the owning dialog's change observer.
enum class ZenWndChange {
    Text,       // window text (the caption for a dialog)
    Visible,
    Enabled,
    Place,      // position or size
    Limit,      // character limit of an edit
    Check,      // check state of a check box
    Items,      // the item list of a combo box
    Selection,  // the selected item of a combo box
    Time,       // the value of a date picker
    Focus,      // the dialog moved the input focus to this control
};

class CWnd : public CObject {
    DECLARE_DYNAMIC(CWnd)

public:
    CWnd() = default;
    ~CWnd() override = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Control id within its dialog; 0 for a dialog, IDC_STATIC (-1) for texts
    // that the code never addresses.
    int GetDlgCtrlID() const { return m_nID; }
    // Window style bits (ES_*, BS_*, CBS_*, DTS_* for controls).
    DWORD GetStyle() const { return m_dwStyle; }
    // The window this one belongs to: the dialog for a control, the parent
    // window (may be nullptr) for a dialog.
    CWnd* GetParent() const { return m_pParentWnd; }

    // The text the window shows. Controls with a value of their own (date
    // pickers, combo boxes) translate the text; see there.
    virtual void SetWindowText(const char* text);
    virtual void GetWindowText(CString& text) const;
    CString GetWindowText() const;
    int GetWindowTextLength() const;

    // SW_HIDE or SW_SHOW; returns whether the window was visible before.
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const { return m_bVisible ? TRUE : FALSE; }
    // Returns whether the window was disabled before.
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const { return m_bEnabled ? TRUE : FALSE; }

    // Place in dialog units, relative to the dialog's client area (for a
    // dialog: its client size at 0,0).
    void MoveWindow(int x, int y, int cx, int cy);
    void MoveWindow(const CRect& rect);
    const CRect& GetWindowRect() const { return m_rect; }

protected:
    // Reports a change of this window to the dialog that owns it.
    void NotifyChanged(ZenWndChange what);

    int m_nID = 0;
    DWORD m_dwStyle = 0;
    CString m_strText;
    bool m_bVisible = true;
    bool m_bEnabled = true;
    CRect m_rect;
    CWnd* m_pParentWnd = nullptr;
    // The dialog whose observer hears about changes: the owning dialog for a
    // control, the dialog itself for a dialog.
    CDialog* m_pOwnerDialog = nullptr;

    friend class CDialog;
};
