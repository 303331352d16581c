// Resolution of the per-user configuration, state and data folders and of the
// system configuration folders from the environment.
#include "framework/XdgPaths.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The variable's value when it names an absolute path; the conventions tell
// to ignore relative values, which would depend on the working folder.
bool GetAbsoluteEnv(const char* name, CString& value)
{
    const char* text = std::getenv(name);
    if (text == nullptr || text[0] != '/')
        return false;
    value = text;
    return true;
}

CString HomeSubfolder(const char* relative)
{
    CString home = GetHomeDirectory();
    return JoinPath(home.IsEmpty() ? CString("/tmp") : home, relative);
}

} // namespace

CString GetHomeDirectory()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0')
        return home;
    const passwd* entry = getpwuid(getuid());
    if (entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return CString();
}

CString GetXdgConfigHome()
{
    CString value;
    return GetAbsoluteEnv("XDG_CONFIG_HOME", value) ? value : HomeSubfolder(".config");
}

CString GetXdgStateHome()
{
    CString value;
    return GetAbsoluteEnv("XDG_STATE_HOME", value) ? value : HomeSubfolder(".local/state");
}

CString GetXdgDataHome()
{
    CString value;
    return GetAbsoluteEnv("XDG_DATA_HOME", value) ? value : HomeSubfolder(".local/share");
}

std::vector<CString> GetXdgConfigDirs()
{
    std::vector<CString> folders;
    if (const char* text = std::getenv("XDG_CONFIG_DIRS")) {
        std::string list(text);
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = list.find(':', start);
            if (end == std::string::npos)
                end = list.size();
            std::string entry = list.substr(start, end - start);
            if (!entry.empty() && entry[0] == '/')
                folders.emplace_back(entry);
            start = end + 1;
        }
    }
    if (folders.empty())
        folders.emplace_back("/etc/xdg");
    return folders;
}

CString JoinPath(const CString& folder, const CString& name)
{
    if (folder.IsEmpty())
        return name;
    CString result = folder;
    result.TrimRight('/');  // the root folder "/" becomes "", giving "/name"
    CString tail = name;
    tail.TrimLeft('/');
    return result + "/" + tail;
}

BOOL CreateFolders(const CString& folder)
{
    if (folder.IsEmpty())
        return FALSE;
    std::error_code ec;
    std::filesystem::path path(folder.Str());
    if (std::filesystem::is_directory(path, ec))
        return TRUE;
    // Create parent by parent so that every new folder gets the private mode.
    std::filesystem::path partial;
    for (const auto& part : path) {
        partial /= part;
        if (partial.empty() || std::filesystem::is_directory(partial, ec))
            continue;
        if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
            return FALSE;
    }
    return std::filesystem::is_directory(path, ec) ? TRUE : FALSE;
}
