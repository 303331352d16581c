// Encoding of the user names and passwords kept in the user table, so that a
// copied database file does not give them away. The encoding is keyed,
// deterministic (a user's row is found by the stored form of the name) and
// reversible (the login decodes and compares).
#pragma once

#include "framework/CString.h"
#include "framework/Exceptions.h"

#include <string>

// Stored form: "Z1:" followed by the URL-safe base64 text (no padding) of a
// 24-byte synthetic nonce and the ciphertext. The nonce is a keyed BLAKE2b
// hash of the plain text, the ciphertext the plain text XORed with the
// XChaCha20 stream under that nonce (two subkeys derived from one key), so
// equal texts give equal forms and decoding can verify what it produced.
// The form is printable ASCII without quote characters or blanks.
//
// Key: the file named in the station configuration (section "Security", key
// "KeyFile"; any content, e.g. 32 random bytes, is hashed into the key), else
// a key built into the library. Forms made with one key do not decode with
// another; changing the key file therefore needs the user table re-encoded.

// Longest stored form: the user table's text columns hold 255 characters.
constexpr int OBVRA_MAX_STORED_LENGTH = 255;
// Longest plain text (bytes) whose stored form fits OBVRA_MAX_STORED_LENGTH.
constexpr int OBVRA_MAX_TEXT_LENGTH = 165;

// Failures of the encoding. Thrown (by value) by Obvra_encode and
// Obvra_decode; never for a stored form that merely does not verify.
class CCredentialException : public CException {
    DECLARE_DYNAMIC(CCredentialException)
public:
    enum {
        none,
        textTooLong,        // plain text longer than OBVRA_MAX_TEXT_LENGTH bytes
        keyFileUnreadable,  // the configured key file is missing, unreadable or empty
        cryptoUnavailable   // the cryptographic library could not start
    };

    CCredentialException(int cause, const CString& message);

    int m_cause;
};

// The station key's material: the content of the key file the configuration
// names ("Security"/"KeyFile"), read again only when the file's name, size or
// modification time changes; empty when no key file is named (callers then
// use a key built into the library). Each use derives its own key from it.
// Throws CCredentialException (keyFileUnreadable) for a named file that is
// missing, not a regular file, unreadable or empty.
std::string Obvra_ReadStationKeyMaterial();


// The stored form of text. Throws CCredentialException (textTooLong) for a
// text longer than OBVRA_MAX_TEXT_LENGTH bytes rather than producing a form
// the column would cut, and (keyFileUnreadable) when the configured key file
// cannot be read.
CString Obvra_encode(const CString& text);

// The plain text of a stored form (trailing white space is ignored; callers
// remove it already). Only the form that Obvra_encode gives for that text
// decodes: a form that is not one of ours, was altered, is spelled another
// way that would decode to the same bytes, or was made with another key
// yields an empty text. Throws CCredentialException only as Obvra_encode
// does for the key.
CString Obvra_decode(const CString& stored);

// Writes a new station key file at path: 32 random bytes, with the given mode
// (0600: only the owner reads it; 0640 for a lab group), set whatever the
// process's umask. Never replaces
// an existing file. false with the reason in *error (when given) otherwise;
// a file that could not be completed is removed again.
bool Obvra_CreateKeyFile(const CString& path, CString* error = nullptr, int mode = 0600);
