// Lookup of station configuration values across the user's and the system's
// configuration files.
#include "companions/ConfigFile.h"

#include "framework/IniFile.h"
#include "framework/XdgPaths.h"

#include <cstdlib>

namespace {

CString StationFileIn(const CString& folder)
{
    return JoinPath(JoinPath(folder, "Korvane"), "ZEN.ini");
}

} // namespace

std::vector<CString> GetConfigFileCandidates()
{
    const char* explicitFile = std::getenv("ZEN_CONFIG");
    if (explicitFile != nullptr && explicitFile[0] != '\0')
        return {CString(explicitFile)};
    std::vector<CString> files{StationFileIn(GetXdgConfigHome())};
    for (const CString& folder : GetXdgConfigDirs())
        files.push_back(StationFileIn(folder));
    return files;
}

CString GetStringFromConfigFile(const CString& section, const CString& key, const CString& defaultValue)
{
    for (const CString& file : GetConfigFileCandidates()) {
        CIniFile ini;
        CString value;
        if (ini.Load(file) && ini.Lookup(section, key, value) && !value.IsEmpty())
            return value;
    }
    return defaultValue;
}
