// Behaviour of the model's controls: edit limits as the user types, the
// sorted item list and edit text of combo boxes, and the "no date" state of
// date pickers.
#include "framework/Controls.h"

#include <cstdio>

IMPLEMENT_DYNAMIC(CControlWnd, CWnd)
IMPLEMENT_DYNAMIC(CStatic, CControlWnd)
IMPLEMENT_DYNAMIC(CEdit, CControlWnd)
IMPLEMENT_DYNAMIC(CButton, CControlWnd)
IMPLEMENT_DYNAMIC(CComboBox, CControlWnd)
IMPLEMENT_DYNAMIC(CDateTimeCtrl, CControlWnd)

namespace {

// Byte length of the first maxChars UTF-8 characters of text (continuation
// bytes 10xxxxxx do not start a character).
size_t Utf8PrefixBytes(const std::string& text, size_t maxChars)
{
    size_t chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0u) != 0x80u) {
            if (chars == maxChars)
                return i;
            ++chars;
        }
    }
    return text.size();
}

bool AllDigits(const CString& text)
{
    for (char ch : text.Str()) {
        if (ch < '0' || ch > '9')
            return false;
    }
    return true;
}

bool StartsWithNoCase(const CString& text, const CString& prefix)
{
    return text.GetLength() >= prefix.GetLength() && text.Left(prefix.GetLength()).CompareNoCase(prefix) == 0;
}

} // namespace

// --- CEdit -------------------------------------------------------------------

void CEdit::SetLimitText(UINT nMax)
{
    const UINT limit = nMax == 0 ? kDefaultLimit : nMax;
    if (limit == m_nLimit)
        return;
    m_nLimit = limit;
    NotifyChanged(ZenWndChange::Limit);
}

BOOL CEdit::InputText(const char* text)
{
    CString value(text);
    if ((GetStyle() & ES_NUMBER) != 0 && !AllDigits(value))
        return FALSE;
    value = value.Left(static_cast<int>(Utf8PrefixBytes(value.Str(), m_nLimit)));
    SetWindowText(value);
    return TRUE;
}

// --- CButton -----------------------------------------------------------------

void CButton::SetCheck(int nCheck)
{
    if (!IsCheckBox())
        return;
    const int state = nCheck == BST_UNCHECKED ? BST_UNCHECKED : BST_CHECKED;
    if (state == m_nCheck)
        return;
    m_nCheck = state;
    NotifyChanged(ZenWndChange::Check);
}

// --- CComboBox ---------------------------------------------------------------

int CComboBox::AddString(const char* text)
{
    return InsertString(-1, text);
}

int CComboBox::InsertString(int index, const char* text)
{
    if (index < -1 || index > GetCount())
        return CB_ERR;
    Item item;
    item.text = text;
    size_t at = index < 0 ? m_items.size() : static_cast<size_t>(index);
    if ((GetStyle() & CBS_SORT) != 0) {
        at = 0;
        while (at < m_items.size() && m_items[at].text.CompareNoCase(item.text) <= 0)
            ++at;
    }
    m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(at), item);
    const int pos = static_cast<int>(at);
    if (m_nCurSel >= pos)
        ++m_nCurSel;
    NotifyChanged(ZenWndChange::Items);
    return pos;
}

int CComboBox::DeleteString(int index)
{
    if (index < 0 || index >= GetCount())
        return CB_ERR;
    m_items.erase(m_items.begin() + index);
    if (m_nCurSel == index)
        m_nCurSel = CB_ERR;
    else if (m_nCurSel > index)
        --m_nCurSel;
    NotifyChanged(ZenWndChange::Items);
    return GetCount();
}

void CComboBox::ResetContent()
{
    m_items.clear();
    m_nCurSel = CB_ERR;
    m_strText.Empty();
    NotifyChanged(ZenWndChange::Items);
}

int CComboBox::GetLBText(int index, CString& text) const
{
    if (index < 0 || index >= GetCount()) {
        text.Empty();
        return CB_ERR;
    }
    text = m_items[static_cast<size_t>(index)].text;
    return text.GetLength();
}

CString CComboBox::GetLBText(int index) const
{
    CString text;
    GetLBText(index, text);
    return text;
}

int CComboBox::GetLBTextLen(int index) const
{
    CString text;
    return GetLBText(index, text);
}

int CComboBox::SetItemData(int index, UINT_PTR data)
{
    if (index < 0 || index >= GetCount())
        return CB_ERR;
    m_items[static_cast<size_t>(index)].data = data;
    return 0;
}

UINT_PTR CComboBox::GetItemData(int index) const
{
    if (index < 0 || index >= GetCount())
        return static_cast<UINT_PTR>(CB_ERR);
    return m_items[static_cast<size_t>(index)].data;
}

int CComboBox::SetCurSel(int index)
{
    const int sel = (index >= 0 && index < GetCount()) ? index : CB_ERR;
    const CString text = sel == CB_ERR ? CString() : m_items[static_cast<size_t>(sel)].text;
    const bool selChanged = sel != m_nCurSel;
    m_nCurSel = sel;
    if (text != m_strText) {
        m_strText = text;
        NotifyChanged(ZenWndChange::Text);
    }
    if (selChanged)
        NotifyChanged(ZenWndChange::Selection);
    return index == -1 ? CB_ERR : sel;
}

int CComboBox::FindStringExact(int nStartAfter, const char* text) const
{
    const int count = GetCount();
    for (int step = 1; step <= count; ++step) {
        const int i = ((nStartAfter < 0 ? -1 : nStartAfter) + step) % count;
        if (m_items[static_cast<size_t>(i)].text.CompareNoCase(text) == 0)
            return i;
    }
    return CB_ERR;
}

int CComboBox::FindString(int nStartAfter, const char* text) const
{
    const int count = GetCount();
    for (int step = 1; step <= count; ++step) {
        const int i = ((nStartAfter < 0 ? -1 : nStartAfter) + step) % count;
        if (StartsWithNoCase(m_items[static_cast<size_t>(i)].text, CString(text)))
            return i;
    }
    return CB_ERR;
}

int CComboBox::SelectString(int nStartAfter, const char* text)
{
    const int index = FindString(nStartAfter, text);
    if (index != CB_ERR)
        SetCurSel(index);
    return index;
}

void CComboBox::SetWindowText(const char* text)
{
    ApplyEditText(CString(text));
}

void CComboBox::ApplyEditText(const CString& text)
{
    // The item whose text is exactly the edit text counts as selected.
    int match = CB_ERR;
    for (int i = 0; i < GetCount(); ++i) {
        if (m_items[static_cast<size_t>(i)].text == text) {
            match = i;
            break;
        }
    }
    if ((GetStyle() & 0x000Fu) == CBS_DROPDOWNLIST && match == CB_ERR && !text.IsEmpty())
        return;
    const bool selChanged = match != m_nCurSel;
    m_nCurSel = match;
    if (text != m_strText) {
        m_strText = text;
        NotifyChanged(ZenWndChange::Text);
    }
    if (selChanged)
        NotifyChanged(ZenWndChange::Selection);
}

// --- CDateTimeCtrl -----------------------------------------------------------

CDateTimeCtrl::CDateTimeCtrl() : CControlWnd(ZenControlKind::DateTimePicker), m_time(COleDateTime::GetCurrentTime())
{
}

DWORD CDateTimeCtrl::GetTime(CTime& time) const
{
    if (!m_bHasDate)
        return GDT_NONE;
    time = m_time.GetAsCTime();
    return GDT_VALID;
}

BOOL CDateTimeCtrl::GetTime(COleDateTime& time) const
{
    time = m_time;
    if (!m_bHasDate)
        time.SetStatus(COleDateTime::null);
    return TRUE;
}

BOOL CDateTimeCtrl::SetTime(const COleDateTime& time)
{
    if (time.GetStatus() == COleDateTime::null) {
        if ((GetStyle() & DTS_SHOWNONE) == 0)
            return FALSE;
        if (m_bHasDate) {
            m_bHasDate = false;
            NotifyChanged(ZenWndChange::Time);
        }
        return TRUE;
    }
    if (time.GetStatus() != COleDateTime::valid)
        return FALSE;
    if (m_bHasDate && time == m_time)
        return TRUE;
    m_time = time;
    m_bHasDate = true;
    NotifyChanged(ZenWndChange::Time);
    return TRUE;
}

BOOL CDateTimeCtrl::SetTime(const CTime& time)
{
    if (time.GetTime() == 0 && (GetStyle() & DTS_SHOWNONE) == 0) {
        // A picker that must hold a date shows the date of CTime 0 itself.
        return SetTime(COleDateTime(time.GetYear(), time.GetMonth(), time.GetDay(), time.GetHour(),
                                    time.GetMinute(), time.GetSecond()));
    }
    return SetTime(COleDateTime(time));
}

BOOL CDateTimeCtrl::SetTime(const CTime* pTime)
{
    if (pTime == nullptr) {
        COleDateTime none;
        none.SetStatus(COleDateTime::null);
        return SetTime(none);
    }
    return SetTime(*pTime);
}

void CDateTimeCtrl::GetWindowText(CString& text) const
{
    text = m_bHasDate ? m_time.Format("%d/%m/%Y") : CString();
}

void CDateTimeCtrl::SetWindowText(const char* text)
{
    CString value(text);
    value.Trim();
    if (value.IsEmpty()) {
        SetTime(static_cast<const CTime*>(nullptr));
        return;
    }
    int a = 0;
    int b = 0;
    int c = 0;
    char sep1 = 0;
    char sep2 = 0;
    int used = 0;
    if (std::sscanf(value.GetString(), "%d%c%d%c%d%n", &a, &sep1, &b, &sep2, &c, &used) != 5 ||
        used != value.GetLength())
        return;
    int year = c;
    int month = b;
    int day = a;
    if (sep1 == '-' && sep2 == '-') {
        year = a;
        day = c;
    } else if (sep1 != '/' || sep2 != '/') {
        return;
    }
    // The date changes, the time of day stays.
    const COleDateTime date(year, month, day, m_time.GetHour(), m_time.GetMinute(), m_time.GetSecond());
    if (date.GetStatus() == COleDateTime::valid)
        SetTime(date);
}
