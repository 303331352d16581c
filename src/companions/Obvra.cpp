// Synthetic-nonce encryption of stored credentials with libsodium: nonce =
// keyed hash of the plain text, stream cipher under that nonce, base64 text.
#include "companions/Obvra.h"

#include "companions/ConfigFile.h"

#include <sodium.h>

#include <array>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

IMPLEMENT_DYNAMIC(CCredentialException, CException)

CCredentialException::CCredentialException(int cause, const CString& message)
    : CException(message), m_cause(cause)
{
}

namespace {

constexpr char kVersionMarker[] = "Z1:";
constexpr size_t kMarkerLength = sizeof(kVersionMarker) - 1;
constexpr size_t kNonceBytes = crypto_stream_xchacha20_NONCEBYTES;
constexpr int kVariant = sodium_base64_VARIANT_URLSAFE_NO_PADDING;
// Subkeys are derived under this context; it has to be exactly 8 bytes.
constexpr char kKdfContext[crypto_kdf_CONTEXTBYTES + 1] = "ZENObvra";
constexpr uint64_t kNonceKeyId = 1;
constexpr uint64_t kStreamKeyId = 2;

static_assert(crypto_kdf_KEYBYTES == 32 && crypto_stream_xchacha20_KEYBYTES == 32);
static_assert(kNonceBytes >= crypto_generichash_BYTES_MIN && kNonceBytes <= crypto_generichash_BYTES_MAX);

// Length of the unpadded base64 text of n bytes: ceil(4n / 3).
constexpr size_t Base64Length(size_t n)
{
    return (4 * n + 2) / 3;
}

static_assert(kMarkerLength + Base64Length(kNonceBytes + OBVRA_MAX_TEXT_LENGTH) <= OBVRA_MAX_STORED_LENGTH &&
                  kMarkerLength + Base64Length(kNonceBytes + OBVRA_MAX_TEXT_LENGTH + 1) > OBVRA_MAX_STORED_LENGTH,
              "OBVRA_MAX_TEXT_LENGTH must be the longest text that fits");

using Key = std::array<unsigned char, 32>;

// Used when the configuration names no key file.
constexpr Key kBuiltInKey = {0x06, 0xba, 0x1b, 0xa4, 0x3a, 0x8e, 0x8e, 0x43, 0xfe, 0x0e, 0xfd,
                             0x49, 0x10, 0xf1, 0x63, 0x68, 0xbb, 0x52, 0x9b, 0x79, 0x2e, 0x14,
                             0x00, 0x62, 0xd8, 0xe0, 0xeb, 0x40, 0x1d, 0x53, 0x64, 0x83};

struct SubKeys {
    Key nonceKey{};
    Key streamKey{};
};

void StartSodium()
{
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] { started = sodium_init() >= 0; });
    if (!started)
        throw CCredentialException(CCredentialException::cryptoUnavailable,
                                   "The cryptographic library could not be initialised.");
}

SubKeys DeriveSubKeys(const Key& master)
{
    SubKeys keys;
    crypto_kdf_derive_from_key(keys.nonceKey.data(), keys.nonceKey.size(), kNonceKeyId, kKdfContext,
                               master.data());
    crypto_kdf_derive_from_key(keys.streamKey.data(), keys.streamKey.size(), kStreamKeyId, kKdfContext,
                               master.data());
    return keys;
}

// The subkeys for the configured key file's material, or the built-in key.
SubKeys CurrentSubKeys()
{
    const std::string material = Obvra_ReadStationKeyMaterial();
    Key master = kBuiltInKey;
    if (!material.empty())
        crypto_generichash(master.data(), master.size(), reinterpret_cast<const unsigned char*>(material.data()),
                           material.size(), nullptr, 0);
    const SubKeys keys = DeriveSubKeys(master);
    sodium_memzero(master.data(), master.size());
    return keys;
}

void ComputeNonce(unsigned char* nonce, const unsigned char* text, size_t length, const Key& nonceKey)
{
    crypto_generichash(nonce, kNonceBytes, text, length, nonceKey.data(), nonceKey.size());
}

// The stored form of plain under the given subkeys.
std::string Seal(const unsigned char* plain, size_t length, const SubKeys& keys)
{
    std::vector<unsigned char> sealed(kNonceBytes + length);
    ComputeNonce(sealed.data(), plain, length, keys.nonceKey);
    crypto_stream_xchacha20_xor(sealed.data() + kNonceBytes, plain, length, sealed.data(), keys.streamKey.data());

    std::string encoded(sodium_base64_ENCODED_LEN(sealed.size(), kVariant), '\0');
    sodium_bin2base64(encoded.data(), encoded.size(), sealed.data(), sealed.size(), kVariant);
    encoded.resize(Base64Length(sealed.size()));
    return kVersionMarker + encoded;
}

} // namespace

CString Obvra_encode(const CString& text)
{
    const size_t length = static_cast<size_t>(text.GetLength());
    if (length > static_cast<size_t>(OBVRA_MAX_TEXT_LENGTH)) {
        CString message;
        message.Format("The text is too long to be stored: %d bytes, at most %d are possible.",
                       text.GetLength(), OBVRA_MAX_TEXT_LENGTH);
        throw CCredentialException(CCredentialException::textTooLong, message);
    }
    StartSodium();
    SubKeys keys = CurrentSubKeys();
    std::string stored = Seal(reinterpret_cast<const unsigned char*>(text.GetString()), length, keys);
    sodium_memzero(&keys, sizeof keys);
    return CString(std::move(stored));
}

CString Obvra_decode(const CString& stored)
{
    CString form = stored;
    form.TrimRight();
    if (form.GetLength() < static_cast<int>(kMarkerLength) || form.Left(static_cast<int>(kMarkerLength)) != kVersionMarker)
        return CString();
    const std::string body = form.Mid(static_cast<int>(kMarkerLength)).Str();
    if (body.empty())
        return CString();

    std::vector<unsigned char> sealed(body.size());  // base64 never decodes longer than its text
    size_t sealedLength = 0;
    const char* end = nullptr;
    if (sodium_base642bin(sealed.data(), sealed.size(), body.data(), body.size(), nullptr, &sealedLength, &end,
                          kVariant) != 0 ||
        end != body.data() + body.size() || sealedLength < kNonceBytes)
        return CString();

    StartSodium();
    SubKeys keys = CurrentSubKeys();
    const size_t length = sealedLength - kNonceBytes;
    std::string plain(length, '\0');
    auto* plainBytes = reinterpret_cast<unsigned char*>(plain.data());
    crypto_stream_xchacha20_xor(plainBytes, sealed.data() + kNonceBytes, length, sealed.data(),
                                keys.streamKey.data());
    // Only the one form that encoding gives is accepted. The base64 decoder
    // reads some other spellings alike (bytes 0x80-0xFF as '_', spare bits
    // of the last character set), and a leading blank would be dropped by a
    // trim; a stored form spelled otherwise has been altered.
    std::string canonical = Seal(plainBytes, length, keys);
    sodium_memzero(&keys, sizeof keys);
    const bool same = canonical.size() == static_cast<size_t>(form.GetLength()) &&
                      sodium_memcmp(canonical.data(), form.GetString(), canonical.size()) == 0;
    if (!same) {
        sodium_memzero(plain.data(), plain.size());
        return CString();
    }
    return CString(std::move(plain));
}

bool Obvra_CreateKeyFile(const CString& path, CString* error, int mode)
{
    const auto fail = [&](const char* what) {
        if (error != nullptr)
            *error = CString("The key file '") + path + "' cannot be " + what + ": " + std::strerror(errno) + ".";
        return false;
    };
    if (sodium_init() < 0) {
        if (error != nullptr)
            *error = "The cryptographic library could not be initialised.";
        return false;
    }
    const int fd = open(path.GetString(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, static_cast<mode_t>(mode));
    if (fd < 0)
        return fail("created");
    Key key{};
    randombytes_buf(key.data(), key.size());
    const bool written = fchmod(fd, static_cast<mode_t>(mode)) == 0 &&
                         write(fd, key.data(), key.size()) == static_cast<ssize_t>(key.size()) && fsync(fd) == 0;
    const int savedErrno = errno;
    sodium_memzero(key.data(), key.size());
    close(fd);
    if (!written) {
        unlink(path.GetString());
        errno = savedErrno;
        return fail("written");
    }
    return true;
}

std::string Obvra_ReadStationKeyMaterial()
{
    static std::mutex mutex;
    static std::string cachedIdentity;
    static std::string cachedMaterial;

    const CString keyFile = GetStringFromConfigFile("Security", "KeyFile", "");
    if (keyFile.IsEmpty())
        return std::string();
    struct stat info {};
    if (stat(keyFile.GetString(), &info) != 0 || !S_ISREG(info.st_mode))
        throw CCredentialException(CCredentialException::keyFileUnreadable,
                                   "The credential key file '" + keyFile + "' cannot be read.");
    const std::string identity = keyFile.Str() + "|" + std::to_string(info.st_size) + "|" +
                                 std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
    std::lock_guard<std::mutex> lock(mutex);
    if (identity == cachedIdentity)
        return cachedMaterial;
    std::ifstream in(keyFile.Str(), std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof())
        throw CCredentialException(CCredentialException::keyFileUnreadable,
                                   "The credential key file '" + keyFile + "' cannot be read.");
    if (content.empty())
        throw CCredentialException(CCredentialException::keyFileUnreadable,
                                   "The credential key file '" + keyFile + "' is empty.");
    cachedMaterial = std::move(content);
    cachedIdentity = identity;
    return cachedMaterial;
}
