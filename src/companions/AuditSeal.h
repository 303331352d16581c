// The keyed hash that seals each entry of the audit trail and the chain head,
// so that an entry changed, inserted or removed afterwards no longer matches
// without the station's key.
#pragma once

#include "framework/CString.h"

#include <vector>

// Seals with the station's audit key, read once when constructed.
// Key: derived from the file named in the station configuration (section
// "Security", key "KeyFile") under a context of its own (the credential
// encoding uses another), else from a key built into the library. The
// constructor throws CCredentialException (Obvra.h) when the configured key
// file cannot be read or the cryptographic library cannot start.
class CAuditSealer {
public:
    CAuditSealer();
    ~CAuditSealer();
    CAuditSealer(const CAuditSealer&) = delete;
    CAuditSealer& operator=(const CAuditSealer&) = delete;

    // Hex text (64 characters) of the keyed BLAKE2b-256 hash over the parts
    // in order, each taken with its length (8 bytes, little-endian) before
    // its bytes, so that no two different lists of parts give the same input.
    CString Seal(const std::vector<CString>& parts) const;

private:
    unsigned char m_key[32];
};
