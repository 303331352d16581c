// Argon2id password hashes through libsodium's crypto_pwhash_str family, and
// the check of passwords still stored in the older keyed encoding.
#include "companions/PasswordHash.h"

#include "companions/Obvra.h"

#include <sodium.h>

#include <mutex>
#include <string>

namespace {

constexpr unsigned long long kOpsLimit = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr size_t kMemLimit = crypto_pwhash_MEMLIMIT_INTERACTIVE;
constexpr char kHashPrefix[] = "$argon2id$";
constexpr char kOldPrefix[] = "Z1:";

static_assert(crypto_pwhash_STRBYTES <= PASSWORD_HASH_MAX_LENGTH + 1);

void StartSodium()
{
    if (sodium_init() < 0)
        throw CCredentialException(CCredentialException::cryptoUnavailable,
                                   "The cryptographic library could not be initialised.");
}

bool StartsWith(const CString& text, const char* prefix)
{
    const int length = static_cast<int>(std::char_traits<char>::length(prefix));
    return text.GetLength() >= length && text.Left(length) == prefix;
}

} // namespace

bool IsPasswordHash(const CString& stored)
{
    return StartsWith(stored, kHashPrefix);
}

CString HashPassword(const CString& password)
{
    StartSodium();
    char out[crypto_pwhash_STRBYTES] = {};
    if (crypto_pwhash_str(out, password.GetString(), static_cast<unsigned long long>(password.GetLength()),
                          kOpsLimit, kMemLimit) != 0)
        throw CCredentialException(CCredentialException::cryptoUnavailable,
                                   "The password could not be hashed (out of memory).");
    return CString(out);
}

EPasswordCheck CheckStoredPassword(const CString& storedForm, const CString& password)
{
    CString stored = storedForm;
    stored.TrimRight();
    if (IsPasswordHash(stored)) {
        StartSodium();
        if (stored.GetLength() >= static_cast<int>(crypto_pwhash_STRBYTES))
            return EPasswordCheck::wrong;
        if (crypto_pwhash_str_verify(stored.GetString(), password.GetString(),
                                     static_cast<unsigned long long>(password.GetLength())) != 0)
            return EPasswordCheck::wrong;
        return crypto_pwhash_str_needs_rehash(stored.GetString(), kOpsLimit, kMemLimit) == 0
                   ? EPasswordCheck::right
                   : EPasswordCheck::rightRenew;
    }
    if (!StartsWith(stored, kOldPrefix))
        return EPasswordCheck::wrong;
    // A form that does not decode yields the empty text, so the empty
    // password matches only the real encoding of the empty text.
    const CString decoded = Obvra_decode(stored);
    if (decoded.GetLength() != password.GetLength() ||
        sodium_memcmp(decoded.GetString(), password.GetString(), static_cast<size_t>(password.GetLength())) != 0)
        return EPasswordCheck::wrong;
    if (decoded.IsEmpty() && stored != Obvra_encode(CString()))
        return EPasswordCheck::wrong;
    return EPasswordCheck::rightRenew;
}

void SpendPasswordCheckTime(const CString& password)
{
    static std::once_flag once;
    static CString decoy;
    std::call_once(once, [] { decoy = HashPassword("no user has this password"); });
    StartSodium();
    // The answer is known (no); only the time matters.
    const int ignored = crypto_pwhash_str_verify(decoy.GetString(), password.GetString(),
                                                 static_cast<unsigned long long>(password.GetLength()));
    static_cast<void>(ignored);
}
