// Application object registration and the INI-file profile behind
// GetProfileString / WriteProfileString.
#include "framework/AppProfile.h"

#include "framework/IniFile.h"
#include "framework/XdgPaths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr const char* kDefaultAppName = "ZEN";
CWinApp* g_pCurrentApp = nullptr;

} // namespace

IMPLEMENT_DYNAMIC(CWinApp, CObject)

CWinApp::CWinApp(const char* appName) : m_strAppName(kDefaultAppName)
{
    SetAppName(appName);
    m_pPrevious = g_pCurrentApp;
    g_pCurrentApp = this;
    m_bRegistered = true;
}

CWinApp::CWinApp(BuiltIn) : m_strAppName(kDefaultAppName) {}

CWinApp::~CWinApp()
{
    if (m_bRegistered && g_pCurrentApp == this)
        g_pCurrentApp = m_pPrevious;
}

BOOL CWinApp::SetAppName(const char* appName)
{
    if (appName == nullptr || appName[0] == '\0') {
        m_strAppName = kDefaultAppName;
        return TRUE;
    }
    if (std::strchr(appName, '/') != nullptr || std::strcmp(appName, ".") == 0 ||
        std::strcmp(appName, "..") == 0)
        return FALSE;
    m_strAppName = appName;
    return TRUE;
}

CString CWinApp::GetProfilePath() const
{
    return JoinPath(JoinPath(GetXdgConfigHome(), "Korvane"), m_strAppName + "-profile.ini");
}

CString CWinApp::GetProfileString(const char* section, const char* entry, const char* defaultValue) const
{
    CIniFile ini;
    CString value;
    if (section != nullptr && entry != nullptr && ini.Load(GetProfilePath()) &&
        ini.Lookup(section, entry, value))
        return value;
    return CString(defaultValue);
}

int CWinApp::GetProfileInt(const char* section, const char* entry, int defaultValue) const
{
    CString text = GetProfileString(section, entry, nullptr);
    text.Trim();
    if (text.IsEmpty())
        return defaultValue;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.GetString(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0' || value < std::numeric_limits<int>::min() ||
        value > std::numeric_limits<int>::max())
        return defaultValue;
    return static_cast<int>(value);
}

BOOL CWinApp::WriteProfileString(const char* section, const char* entry, const char* value)
{
    if (section == nullptr)
        return FALSE;
    const CString path = GetProfilePath();
    CIniFile ini;
    if (!ini.Load(path))
        return FALSE;
    if (entry == nullptr)
        ini.RemoveSection(section);
    else if (value == nullptr)
        ini.RemoveKey(section, entry);
    else if (!ini.SetString(section, entry, value))
        return FALSE;
    return ini.Save(path);
}

BOOL CWinApp::WriteProfileInt(const char* section, const char* entry, int value)
{
    CString text;
    text.Format("%d", value);
    return WriteProfileString(section, entry, text);
}

CWinApp* AfxGetApp()
{
    static CWinApp builtIn{CWinApp::BuiltIn{}};
    return g_pCurrentApp != nullptr ? g_pCurrentApp : &builtIn;
}
