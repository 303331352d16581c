// The controls of the dialog model: statics and group boxes, edits with a
// character limit, push buttons and check boxes, editable sorted combo boxes
// with item data, and date pickers that can hold no date. Each keeps the
// state a screen would show and reports every change to its dialog.
#pragma once

#include "framework/COleDateTime.h"
#include "framework/CTime.h"
#include "framework/CWnd.h"

#include <vector>

// Kinds of controls a dialog template can hold.
enum class ZenControlKind {
    Static,          // a text label
    GroupBox,        // a frame with a title
    Edit,            // a one-line text input
    PushButton,
    CheckBox,
    ComboBox,
    DateTimePicker,
};

// Edit styles.
constexpr DWORD ES_PASSWORD = 0x0020u;   // shows the input masked
constexpr DWORD ES_READONLY = 0x0800u;
constexpr DWORD ES_NUMBER = 0x2000u;     // the user can type digits only
// Button styles.
constexpr DWORD BS_DEFPUSHBUTTON = 0x0001u;  // pressed by the Enter key
// Combo box styles.
constexpr DWORD CBS_DROPDOWN = 0x0002u;      // editable text with a drop-down list
constexpr DWORD CBS_DROPDOWNLIST = 0x0003u;  // choice from the list only
constexpr DWORD CBS_SORT = 0x0100u;          // keeps the items sorted
// Date picker styles.
constexpr DWORD DTS_SHOWNONE = 0x0002u;      // the picker can hold no date

// Check states.
constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;
// Combo box results.
constexpr int CB_ERR = -1;
// Results of CDateTimeCtrl::GetTime.
constexpr DWORD GDT_VALID = 0;
constexpr DWORD GDT_NONE = 1;

// Base of the controls: the kind of control.
class CControlWnd : public CWnd {
    DECLARE_DYNAMIC(CControlWnd)

public:
    ZenControlKind GetKind() const { return m_eKind; }

protected:
    explicit CControlWnd(ZenControlKind kind) : m_eKind(kind) {}

private:
    ZenControlKind m_eKind;
};

// A text label or a group box.
class CStatic : public CControlWnd {
    DECLARE_DYNAMIC(CStatic)

public:
    explicit CStatic(ZenControlKind kind = ZenControlKind::Static) : CControlWnd(kind) {}
};

// One-line text input.
//
// Like the platform's edit, SetWindowText sets any text; the character
// limit and ES_NUMBER restrict what the user types (InputText), which is the
// path every user interface host takes.
class CEdit : public CControlWnd {
    DECLARE_DYNAMIC(CEdit)

public:
    CEdit() : CControlWnd(ZenControlKind::Edit) {}

    // Maximum number of characters (UTF-8 characters, not bytes) the user can
    // type; 0 restores the default of 30000.
    void SetLimitText(UINT nMax);
    void LimitText(int nChars = 0) { SetLimitText(static_cast<UINT>(nChars < 0 ? 0 : nChars)); }
    UINT GetLimitText() const { return m_nLimit; }

    // Text as typed by the user: cut to the limit, and for ES_NUMBER edits
    // refused (FALSE, text unchanged) when it holds anything but digits.
    BOOL InputText(const char* text);

    static constexpr UINT kDefaultLimit = 30000;

private:
    UINT m_nLimit = kDefaultLimit;
};

// Push button or check box.
class CButton : public CControlWnd {
    DECLARE_DYNAMIC(CButton)

public:
    explicit CButton(ZenControlKind kind = ZenControlKind::PushButton) : CControlWnd(kind) {}

    BOOL IsCheckBox() const { return GetKind() == ZenControlKind::CheckBox ? TRUE : FALSE; }
    // BST_CHECKED or BST_UNCHECKED; always unchecked for a push button.
    int GetCheck() const { return m_nCheck; }
    // Ignored for a push button.
    void SetCheck(int nCheck);

private:
    int m_nCheck = BST_UNCHECKED;
};

// Combo box: a list of texts with item data, and for CBS_DROPDOWN an edit
// text the user can type freely. With CBS_SORT new items are placed in
// alphabetical order (ASCII letters compared without case; equal texts keep
// the order they were added in).
class CComboBox : public CControlWnd {
    DECLARE_DYNAMIC(CComboBox)

public:
    CComboBox() : CControlWnd(ZenControlKind::ComboBox) {}

    int GetCount() const { return static_cast<int>(m_items.size()); }
    // Adds the text (sorted or at the end); returns its index.
    int AddString(const char* text);
    // Inserts at index (-1: at the end), also in a sorted box; returns the
    // index, CB_ERR when index is out of range.
    int InsertString(int index, const char* text);
    // Removes the item; returns the remaining count, CB_ERR for a bad index.
    int DeleteString(int index);
    void ResetContent();

    // Text of the item; empty (and CB_ERR returned) for a bad index.
    int GetLBText(int index, CString& text) const;
    CString GetLBText(int index) const;
    int GetLBTextLen(int index) const;
    // CB_ERR for a bad index.
    int SetItemData(int index, UINT_PTR data);
    // The item's data; CB_ERR (as UINT_PTR) for a bad index.
    UINT_PTR GetItemData(int index) const;

    // Index of the selected item, CB_ERR when none.
    int GetCurSel() const { return m_nCurSel; }
    // Selects the item and shows its text in the edit; -1 clears the
    // selection and the edit. Returns the index, CB_ERR when out of range
    // (the selection is then cleared).
    int SetCurSel(int index);
    // First item after nStartAfter (-1: from the start, wrapping around)
    // whose text equals text ignoring ASCII case; CB_ERR when none.
    int FindStringExact(int nStartAfter, const char* text) const;
    // First such item whose text begins with text; CB_ERR when none.
    int FindString(int nStartAfter, const char* text) const;
    // Selects the first item that begins with text; returns its index or
    // CB_ERR (selection unchanged).
    int SelectString(int nStartAfter, const char* text);

    // The edit text. Setting it (programmatically or by the user) selects the
    // item whose text equals it exactly, or clears the selection; a
    // CBS_DROPDOWNLIST box only accepts the text of an item.
    void SetWindowText(const char* text) override;
    // Text as typed or chosen by the user: as SetWindowText.
    void InputText(const char* text) { SetWindowText(text); }

private:
    struct Item {
        CString text;
        UINT_PTR data = 0;
    };
    void ApplyEditText(const CString& text);

    std::vector<Item> m_items;
    int m_nCurSel = CB_ERR;
};

// Date picker. It holds a date and time of day (local time) or, with
// DTS_SHOWNONE, no date at all. Its window text is the date as
// "dd/mm/yyyy", empty when it holds none; setting the text parses
// "dd/mm/yyyy" or "yyyy-mm-dd" (an empty text clears a DTS_SHOWNONE picker).
class CDateTimeCtrl : public CControlWnd {
    DECLARE_DYNAMIC(CDateTimeCtrl)

public:
    CDateTimeCtrl();

    // GDT_VALID and the value, or GDT_NONE (time unchanged) when the picker
    // holds no date.
    DWORD GetTime(CTime& time) const;
    // TRUE and the value; a null value when the picker holds no date.
    BOOL GetTime(COleDateTime& time) const;
    // A valid value sets the date; a null value clears the picker, which only
    // a DTS_SHOWNONE picker accepts. FALSE (picker unchanged) otherwise.
    BOOL SetTime(const COleDateTime& time);
    // The CTime; CTime 0 is "no date" and clears a DTS_SHOWNONE picker (a
    // picker without it shows the date of CTime 0).
    BOOL SetTime(const CTime& time);
    // nullptr clears a DTS_SHOWNONE picker.
    BOOL SetTime(const CTime* pTime);
    BOOL HasDate() const { return m_bHasDate ? TRUE : FALSE; }

    using CWnd::GetWindowText;
    void SetWindowText(const char* text) override;
    void GetWindowText(CString& text) const override;

private:
    COleDateTime m_time;
    bool m_bHasDate = true;
};
