// Per-user and system folders of the desktop base-directory conventions
// ($XDG_CONFIG_HOME, $XDG_STATE_HOME, $XDG_CONFIG_DIRS, ...), read from the
// environment at each call so that a changed environment takes effect at once.
#pragma once

#include "framework/CString.h"

#include <vector>

// The user's home folder: $HOME when set and non-empty, else the password
// database entry of the current user; empty when neither is known.
CString GetHomeDirectory();

// $XDG_CONFIG_HOME when it is an absolute path, else <home>/.config.
CString GetXdgConfigHome();
// $XDG_STATE_HOME when it is an absolute path, else <home>/.local/state.
CString GetXdgStateHome();
// $XDG_DATA_HOME when it is an absolute path, else <home>/.local/share.
CString GetXdgDataHome();
// The absolute entries of the colon-separated $XDG_CONFIG_DIRS, in order of
// preference; /etc/xdg when the variable is unset, empty or holds no
// absolute entry. Relative entries are ignored, as the conventions require.
std::vector<CString> GetXdgConfigDirs();

// Joins two path parts with exactly one '/' between them.
CString JoinPath(const CString& folder, const CString& name);

// Creates a folder and its missing parents (new folders get mode 0700, the
// per-user convention). Returns TRUE when the folder exists afterwards.
BOOL CreateFolders(const CString& folder);
