// Keyed BLAKE2b (libsodium crypto_generichash) over length-prefixed parts,
// with the key taken from the station's key file.
#include "companions/AuditSeal.h"

#include "companions/Obvra.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <string>

namespace {

using Key = std::array<unsigned char, crypto_generichash_KEYBYTES>;

// Used when the configuration names no key file.
constexpr Key kBuiltInKey = {0x5d, 0x21, 0x9c, 0xe4, 0x07, 0x6a, 0xb3, 0x18, 0xf0, 0x4e, 0x92,
                             0x3b, 0xc7, 0x65, 0x0d, 0xaa, 0x81, 0x2f, 0xde, 0x56, 0x19, 0xb4,
                             0x73, 0x08, 0xe9, 0x42, 0x6c, 0x95, 0x30, 0xfb, 0x1e, 0xc2};
// The key file's content is hashed under this text, so the audit key differs
// from the key that encodes the stored credentials.
constexpr char kContext[] = "ZEN audit trail key";

void StartSodium()
{
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] { started = sodium_init() >= 0; });
    if (!started)
        throw CCredentialException(CCredentialException::cryptoUnavailable,
                                   "The cryptographic library could not be initialised.");
}

// The audit key: the configured key file's material hashed under kContext,
// or the built-in key.
Key CurrentKey()
{
    const std::string material = Obvra_ReadStationKeyMaterial();
    Key key = kBuiltInKey;
    if (!material.empty())
        crypto_generichash(key.data(), key.size(), reinterpret_cast<const unsigned char*>(material.data()),
                           material.size(), reinterpret_cast<const unsigned char*>(kContext), sizeof(kContext) - 1);
    return key;
}

} // namespace

CAuditSealer::CAuditSealer()
{
    StartSodium();
    const Key key = CurrentKey();
    static_assert(sizeof(m_key) == std::tuple_size<Key>::value);
    std::copy(key.begin(), key.end(), m_key);
}

CAuditSealer::~CAuditSealer()
{
    sodium_memzero(m_key, sizeof(m_key));
}

CString CAuditSealer::Seal(const std::vector<CString>& parts) const
{
    crypto_generichash_state state;
    crypto_generichash_init(&state, m_key, sizeof(m_key), crypto_generichash_BYTES);
    for (const CString& part : parts) {
        const auto length = static_cast<unsigned long long>(part.GetLength());
        unsigned char prefix[8];
        for (int i = 0; i < 8; ++i)
            prefix[i] = static_cast<unsigned char>(length >> (8 * i));
        crypto_generichash_update(&state, prefix, sizeof(prefix));
        crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(part.GetString()), length);
    }
    unsigned char hash[crypto_generichash_BYTES];
    crypto_generichash_final(&state, hash, sizeof(hash));
    char hex[2 * crypto_generichash_BYTES + 1];
    sodium_bin2hex(hex, sizeof(hex), hash, sizeof(hash));
    return CString(hex);
}
