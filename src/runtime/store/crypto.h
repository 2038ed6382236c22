// Protection of table files: keys derived from passwords with Argon2id, and every stored value
// sealed with XChaCha20-Poly1305 under a fresh random nonce, its associated data naming the file,
// the record and the field it belongs to, so a value copied elsewhere no longer opens.
//
// Key derivation is slow on purpose. Derived keys stay cached for the life of the process,
// keyed by (password, salt, limits), and a new protection with a password already derived
// reuses that salt: the four stores protected with one password cost one derivation per start.
// Keys live in sodium_malloc'd memory and are wiped when the last holder lets go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace runtime::store::detail {

inline constexpr std::size_t kKeyBytes = 32;
inline constexpr std::size_t kSaltBytes = 16;
inline constexpr std::size_t kNonceBytes = 24;
inline constexpr std::size_t kTagBytes = 16;
inline constexpr std::size_t kSealOverhead = kNonceBytes + kTagBytes;
inline constexpr std::size_t kFileIdBytes = 16;

struct KdfParams {
    std::string salt;  // kSaltBytes raw bytes
    uint64_t opslimit = 0;
    uint64_t memlimit = 0;
    friend bool operator==(const KdfParams&, const KdfParams&) = default;
};

class SecretKey {
public:
    SecretKey();
    ~SecretKey();
    SecretKey(const SecretKey&) = delete;
    SecretKey& operator=(const SecretKey&) = delete;
    unsigned char* data() { return bytes_; }
    const unsigned char* data() const { return bytes_; }
    bool valid() const { return bytes_ != nullptr; }

private:
    unsigned char* bytes_;
};
using KeyPtr = std::shared_ptr<const SecretKey>;

// False when libsodium cannot start (no random source); everything below needs it.
bool cryptoReady();
std::string randomBytes(std::size_t n);

// Limits a file may declare; anything outside is a lying header, not a password question.
bool kdfParamsAcceptable(const KdfParams& params);
// Parameters for protecting with `password`: the salt and limits of a key already derived for
// it in this process, else a fresh salt with the current limits.
KdfParams paramsForPassword(std::string_view password);
// The key for the password under the parameters; cached. Null (with `error`) on failure.
KeyPtr deriveKey(std::string_view password, const KdfParams& params, std::string& error);

// nonce || ciphertext || tag.
std::string seal(const SecretKey& key, std::string_view plain, std::string_view associated);
bool unseal(const SecretKey& key, std::string_view sealed, std::string_view associated, std::string& plain);

// Associated data: file identity, record key, field position and what the value is.
enum class SealKind : char { Field = 'F', Memo = 'M', KeyCheck = 'K' };
std::string associatedData(std::string_view fileId, int64_t recordKey, int fieldPosition, SealKind kind);

// Test seams.
void setKdfLimitsForTesting(uint64_t opslimit, uint64_t memlimit);   // limits for new protections
void setKdfMaximumForTesting(uint64_t opslimit, uint64_t memlimit);  // largest accepted from a file
void clearKeyCacheForTesting();
int keyDerivationCount();

}  // namespace runtime::store::detail
