// CAdminUserCtl: the window class of the station's external user
// administration control. That control is a COM automation control, which
// this platform cannot host, so creating it fails cleanly and every
// automation call reports failure; the class exists for callers written
// against it. Nothing in this library uses it. Given the session's database,
// it refuses a session that may not manage users before anything else.
#pragma once

#include "framework/CString.h"
#include "framework/CWnd.h"

#include <cstdint>

class CZENDatabase;

class CAdminUserCtl : public CWnd {
    DECLARE_DYNAMIC(CAdminUserCtl)

public:
    using DISPID = int32_t;
    // Dispatch ids of the control's members (their meaning is the control's).
    static constexpr DISPID kMethodTextTextShort = 0x60030002;
    static constexpr DISPID kMethodText = 0x60030003;
    static constexpr DISPID kMethodTextShort = 0x60030004;
    static constexpr DISPID kMethodTextText = 0x60030005;
    static constexpr DISPID kMethodStringPointer = 0x60030009;
    static constexpr DISPID kProperty = 0x68030000;

    CAdminUserCtl() = default;

    // The session whose right to manage users (ZENACT_ManageUsers) Create
    // checks; none (the default) checks nothing. Not owned.
    void SetDatabase(CZENDatabase* database) { m_pDatabase = database; }

    // Creates the external control as a child window. Always FALSE here: no
    // automation host exists; the object stays usable and uncreated. A
    // session that may not manage users gets the refusal in a message box.
    virtual BOOL Create(const char* windowName, DWORD style, const CRect& rect, CWnd* parent, UINT id);
    BOOL IsCreated() const { return m_bCreated ? TRUE : FALSE; }

    void Enable() { EnableWindow(TRUE); }
    void Disable() { EnableWindow(FALSE); }

    // The automation calls by dispatch id. Without a created control each
    // returns FALSE or an empty text and changes nothing.
    BOOL Invoke60030002(const CString& text1, const CString& text2, short value);
    BOOL Invoke60030003(const CString& text);
    BOOL Invoke60030004(const CString& text, short value);
    BOOL Invoke60030005(const CString& text1, const CString& text2);
    CString Invoke60030009(CString* text);
    CString GetProperty68030000() const;
    void SetProperty68030000(CString* value);

private:
    bool m_bCreated = false;
    CZENDatabase* m_pDatabase = nullptr;
};
