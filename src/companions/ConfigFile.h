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
// an empty value). Names compare without regard to ASCII letter case. Known
// keys: "Database"/"DatabaseFile" (database path), "Database"/"BusyTimeout"
// (seconds to wait for another connection's lock), "Log"/"File" (event log
// file), "Log"/"MaxSizeKiB" and "Log"/"Files" (event log rotation),
// "Security"/"KeyFile" (credential key file), "Station"/"Language" (the
// language of the texts a person reads, see ApplyConfiguredLanguage).
// A file that exists but cannot be read (no permission, a folder in its
// place, text that is not UTF-8) ends the lookup there: the result is then
// defaultValue, and GetConfigFileError tells which file and why. Callers for
// whom the default would be wrong check it after the call.
CString GetStringFromConfigFile(const CString& section, const CString& key, const CString& defaultValue);

// After GetStringFromConfigFile on the same thread: empty when every file it
// consulted was readable or missing; otherwise a sentence naming the file
// that exists but cannot be read and why, e.g. "The station configuration
// file '/etc/xdg/Korvane/ZEN.ini' cannot be read: Permission denied." Any
// later lookup on the thread (the event log makes one every so often) replaces it.
CString GetConfigFileError();

// Fixes the language of the catalogues (ZenSetLanguage) to the station
// configuration's "Station"/"Language" ("es", "en", "C" for the shipped
// texts); without that setting the language follows the environment again.
// Called when a program starts and when the facade is created.
void ApplyConfiguredLanguage();
