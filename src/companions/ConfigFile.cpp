// Lookup of station configuration values across the user's and the system's
// configuration files.
#include "companions/ConfigFile.h"

#include "framework/IniFile.h"
#include "framework/XdgPaths.h"
#include "framework/Translation.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace {

// Parsed configuration files, kept while the file's size and modification
// time stay the same: the event log asks for its settings several times a
// second, and reading and parsing the file each time would dominate long
// sample lists.
struct CCachedIni {
    off_t size = -1;
    ino_t inode = 0;
    struct timespec mtime {};
    std::shared_ptr<const CIniFile> ini; // null: the file does not exist or cannot be read
    CString error;                       // why the file cannot be read; empty when it can
};

std::mutex g_cacheMutex;
std::map<std::string, CCachedIni> g_cache;

// The error of the last lookup on this thread (see GetConfigFileError).
thread_local CString t_lastError;

// The parsed file at path; null when there is none or when it cannot be
// read, and then error says why (empty for a missing file).
std::shared_ptr<const CIniFile> LoadCached(const CString& path, CString& error)
{
    error.Empty();
    struct stat st {};
    const bool exists = ::stat(path.GetString(), &st) == 0;
    const int statError = exists ? 0 : errno;
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    CCachedIni& entry = g_cache[path.Str()];
    if (!exists) {
        entry = CCachedIni{};
        if (statError != ENOENT && statError != ENOTDIR)
            error = std::strerror(statError);
        return nullptr;
    }
    // A file changed within the last two seconds may change again without a
    // visible change of its time stamp (coarse file-system clocks), so it is
    // read again until it has been quiet for a while.
    const bool settled = st.st_mtim.tv_sec + 2 < static_cast<time_t>(std::time(nullptr));
    if (settled && (entry.ini || !entry.error.IsEmpty()) && entry.size == st.st_size &&
        entry.inode == st.st_ino && entry.mtime.tv_sec == st.st_mtim.tv_sec &&
        entry.mtime.tv_nsec == st.st_mtim.tv_nsec) {
        error = entry.error;
        return entry.ini;
    }
    auto ini = std::make_shared<CIniFile>();
    CString reason;
    entry = CCachedIni{};
    entry.size = st.st_size;
    entry.mtime = st.st_mtim;
    entry.inode = st.st_ino;
    if (!ini->Load(path, &reason)) {
        // Kept like a parsed file: the event log asks again and again, and an
        // unreadable file must not cost a read each time.
        entry.error = reason.IsEmpty() ? CString("it cannot be read") : reason;
        error = entry.error;
        return nullptr;
    }
    entry.ini = std::move(ini);
    return entry.ini;
}

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
    t_lastError.Empty();
    for (const CString& file : GetConfigFileCandidates()) {
        CString reason;
        const std::shared_ptr<const CIniFile> ini = LoadCached(file, reason);
        if (!reason.IsEmpty()) {
            // A file that is there but cannot be read may hold the value
            // that counts: neither a file further down nor the default may
            // stand in for it unnoticed.
            t_lastError.Format("The station configuration file '%s' cannot be read: %s.", file.GetString(),
                               reason.GetString());
            return defaultValue;
        }
        CString value;
        if (ini && ini->Lookup(section, key, value) && !value.IsEmpty())
            return value;
    }
    return defaultValue;
}

CString GetConfigFileError()
{
    return t_lastError;
}

void ApplyConfiguredLanguage()
{
    ZenSetLanguage(GetStringFromConfigFile("Station", "Language", ""));
}
