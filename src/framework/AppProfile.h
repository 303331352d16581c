// The application object and its per-user profile: small settings that the
// dialogs keep between runs (last sample identifier, last batch size), stored
// in $XDG_CONFIG_HOME/Korvane/<application name>-profile.ini
// (kept apart from the station configuration Korvane/ZEN.ini, which the
// application must never rewrite).
#pragma once

#include "framework/CObject.h"
#include "framework/CString.h"

// The application as the library sees it: its name and its profile. An
// application may construct its own CWinApp (or a subclass), which becomes
// the one AfxGetApp() returns until it is destroyed; otherwise a built-in
// object named "ZEN" serves.
//
// The profile is read from the file at each call and every write replaces the
// file atomically, so two application objects of the same name see each
// other's writes. Writes are not locked against other processes.
class CWinApp : public CObject {
    DECLARE_DYNAMIC(CWinApp)

public:
    // appName nullptr or empty: "ZEN".
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    const CString& GetAppName() const { return m_strAppName; }
    // Renames the application (and so its profile file). FALSE, name kept,
    // for a name that cannot be a file name ("." or "..", or holding '/');
    // nullptr or empty restores "ZEN".
    BOOL SetAppName(const char* appName);
    // $XDG_CONFIG_HOME (default ~/.config) / Korvane / <name>-profile.ini
    CString GetProfilePath() const;

    // The entry's text, or defaultValue (nullptr: empty) when the file, the
    // section or the entry is missing or the file cannot be read.
    CString GetProfileString(const char* section, const char* entry, const char* defaultValue = nullptr) const;
    // The entry as a decimal integer, or defaultValue when missing or when the
    // stored text is not a whole decimal number within the int range.
    int GetProfileInt(const char* section, const char* entry, int defaultValue) const;
    // Stores the entry; value nullptr removes the entry, entry nullptr the
    // whole section. Creates the folder and the file when needed. FALSE when
    // the file cannot be read or written, or the text cannot be held by an INI
    // line (line breaks); the file is then unchanged.
    BOOL WriteProfileString(const char* section, const char* entry, const char* value);
    // Stores the integer as decimal text; as WriteProfileString.
    BOOL WriteProfileInt(const char* section, const char* entry, int value);

private:
    struct BuiltIn {};
    explicit CWinApp(BuiltIn);
    friend CWinApp* AfxGetApp();

    CString m_strAppName;
    CWinApp* m_pPrevious = nullptr;
    bool m_bRegistered = false;
};

// The current application object; never nullptr.
CWinApp* AfxGetApp();
