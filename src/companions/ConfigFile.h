// The station configuration: an INI file with the settings shared by the
// station's programs (database file, event log file, credential key file).
#pragma once

#include "framework/CString.h"

#include <vector>

// Files consulted, in order of precedence:
//  1. the file named by the environment variable ZEN_CONFIG when it is set and
//     not empty - then that file alone;
//  2. otherwise $XDG_CONFIG_HOME (default ~/.config) / Korvane / ZEN.ini,
//     followed by Korvane/ZEN.ini in each folder of $XDG_CONFIG_DIRS (default
//     /etc/xdg), so that a station-wide file can be overridden key by key.
// Missing files are skipped.
std::vector<CString> GetConfigFileCandidates();

// The value of key in section from the first file above that holds it with a
// non-empty value; defaultValue when none does (no file, no section, no key,
// an empty value, or an unreadable file). Names compare without regard to
// ASCII letter case. Known keys: "Database"/"DatabaseFile" (database path),
// "Log"/"File" (event log file), "Security"/"KeyFile" (credential key file).
CString GetStringFromConfigFile(const CString& section, const CString& key, const CString& defaultValue);
