// Passwords of the user table kept as a salted, deliberately slow hash
// (Argon2id, in libsodium's "$argon2id$..." text form), so that a stored
// password can be checked but never read back. Passwords of the older keyed
// encoding ("Z1:...") are still recognised so that their users can log in
// once and have them replaced.
#pragma once

#include "framework/CString.h"

// Work factors of every new hash: libsodium's interactive limits (2 passes
// over 64 MiB, well under a second on a station PC). Chosen because a login
// happens at an operator's keyboard, several stations may log in at once on
// small machines, and a copied file still costs an attacker 64 MiB and two
// passes per guess; throttling of failed logins covers the online side.
// Hashes made with other limits verify and are replaced at the next login.

// The longest stored hash; it fits the user table's 255-character column.
constexpr int PASSWORD_HASH_MAX_LENGTH = 128;

// The stored form of a new password: a fresh random salt every time, so two
// users with the same password get different forms. Throws
// CCredentialException (cryptoUnavailable) when the library cannot start or
// the 64 MiB cannot be had.
CString HashPassword(const CString& password);

enum class EPasswordCheck {
    wrong,      // not this password, or a stored form that is neither a hash nor a valid old encoding
    right,      // the password, stored as a current hash
    rightRenew  // the password, but stored in the old encoding or with other limits: store a new hash
};

// Checks a typed password against a stored form (trailing white space of
// the stored form is ignored). An old-encoding form decodes only with the
// key it was made with; an empty old-encoding form never stands for the
// empty password unless it is that password's real encoding. Throws
// CCredentialException only when the station's key file cannot be read
// (for an old-encoding form) or the library cannot start.
EPasswordCheck CheckStoredPassword(const CString& stored, const CString& password);

// Spends about the time of checking a password against a stored hash, for
// names that have no user: a login try then takes as long whether the name
// exists or not. The first call also makes a hash (once per process).
void SpendPasswordCheckTime(const CString& password);

// True when the stored form is a hash of this module ("$argon2id$").
bool IsPasswordHash(const CString& stored);
