// Key derivation, the process-wide key cache and value sealing (see crypto.h).
#include "runtime/store/crypto.h"

#include <sodium.h>

#include <cstring>
#include <mutex>
#include <vector>

namespace runtime::store::detail {
namespace {

struct Limits {
    uint64_t ops = crypto_pwhash_OPSLIMIT_INTERACTIVE;
    uint64_t mem = crypto_pwhash_MEMLIMIT_INTERACTIVE;
    uint64_t maxOps = 16;
    uint64_t maxMem = 256ull * 1024 * 1024;
};

// A cache entry names its password only through keyed hashes under a per-process secret, so
// the cache itself holds no password.
struct CacheEntry {
    std::string passwordId;  // H(secret, password)
    KdfParams params;
    KeyPtr key;
};

struct KeyCache {
    std::mutex mutex;
    Limits limits;
    std::vector<CacheEntry> entries;
    unsigned char* secret = nullptr;  // sodium_malloc'd, crypto_generichash_KEYBYTES
    int derivations = 0;
};

bool startSodium() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

KeyCache& cache() {
    static KeyCache* c = [] {
        startSodium();        // before any hashing, random bytes or guarded allocation
        return new KeyCache;  // lives to the end of the process on purpose
    }();
    return *c;
}

std::string passwordId(KeyCache& c, std::string_view password) {
    if (!c.secret) {
        c.secret = static_cast<unsigned char*>(sodium_malloc(crypto_generichash_KEYBYTES));
        if (!c.secret) return {};
        randombytes_buf(c.secret, crypto_generichash_KEYBYTES);
    }
    std::string id(32, '\0');
    crypto_generichash(reinterpret_cast<unsigned char*>(id.data()), id.size(),
                       reinterpret_cast<const unsigned char*>(password.data()), password.size(), c.secret,
                       crypto_generichash_KEYBYTES);
    return id;
}

}  // namespace

SecretKey::SecretKey()
    : bytes_(startSodium() ? static_cast<unsigned char*>(sodium_malloc(kKeyBytes)) : nullptr) {}

SecretKey::~SecretKey() {
    if (bytes_) sodium_free(bytes_);  // sodium_free wipes before releasing
}

bool cryptoReady() { return startSodium(); }

std::string randomBytes(std::size_t n) {
    std::string out(n, '\0');
    if (startSodium()) randombytes_buf(out.data(), n);
    return out;
}

bool kdfParamsAcceptable(const KdfParams& p) {
    KeyCache& c = cache();
    std::lock_guard lock(c.mutex);
    return p.salt.size() == kSaltBytes && p.opslimit >= crypto_pwhash_OPSLIMIT_MIN &&
           p.opslimit <= c.limits.maxOps && p.memlimit >= crypto_pwhash_MEMLIMIT_MIN &&
           p.memlimit <= c.limits.maxMem;
}

KdfParams paramsForPassword(std::string_view password) {
    KeyCache& c = cache();
    {
        std::lock_guard lock(c.mutex);
        const std::string id = passwordId(c, password);
        for (const CacheEntry& e : c.entries) {
            if (e.passwordId == id && e.params.opslimit == c.limits.ops &&
                e.params.memlimit == c.limits.mem) {
                return e.params;
            }
        }
    }
    KdfParams p;
    p.salt = randomBytes(kSaltBytes);
    std::lock_guard lock(c.mutex);
    p.opslimit = c.limits.ops;
    p.memlimit = c.limits.mem;
    return p;
}

KeyPtr deriveKey(std::string_view password, const KdfParams& params, std::string& error) {
    if (!startSodium()) {
        error = "加密库无法初始化";
        return nullptr;
    }
    if (!kdfParamsAcceptable(params)) {
        error = "加密参数无效";
        return nullptr;
    }
    KeyCache& c = cache();
    std::lock_guard lock(c.mutex);
    const std::string id = passwordId(c, password);
    if (id.empty()) {
        error = "内存不足";
        return nullptr;
    }
    for (const CacheEntry& e : c.entries) {
        if (e.passwordId == id && e.params == params) return e.key;
    }
    auto key = std::make_shared<SecretKey>();
    if (!key->valid()) {
        error = "内存不足";
        return nullptr;
    }
    ++c.derivations;
    if (crypto_pwhash(key->data(), kKeyBytes, password.data(), password.size(),
                      reinterpret_cast<const unsigned char*>(params.salt.data()), params.opslimit,
                      static_cast<size_t>(params.memlimit), crypto_pwhash_ALG_ARGON2ID13) != 0) {
        error = "由密码生成密钥失败（内存不足）";
        return nullptr;
    }
    c.entries.push_back({id, params, key});
    return key;
}

std::string seal(const SecretKey& key, std::string_view plain, std::string_view associated) {
    std::string out(kNonceBytes + plain.size() + kTagBytes, '\0');
    auto* o = reinterpret_cast<unsigned char*>(out.data());
    randombytes_buf(o, kNonceBytes);
    unsigned long long len = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        o + kNonceBytes, &len, reinterpret_cast<const unsigned char*>(plain.data()), plain.size(),
        reinterpret_cast<const unsigned char*>(associated.data()), associated.size(), nullptr, o, key.data());
    return out;
}

bool unseal(const SecretKey& key, std::string_view sealed, std::string_view associated, std::string& plain) {
    if (sealed.size() < kSealOverhead) return false;
    const auto* s = reinterpret_cast<const unsigned char*>(sealed.data());
    plain.resize(sealed.size() - kSealOverhead);
    unsigned long long len = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(reinterpret_cast<unsigned char*>(plain.data()), &len,
                                                   nullptr, s + kNonceBytes, sealed.size() - kNonceBytes,
                                                   reinterpret_cast<const unsigned char*>(associated.data()),
                                                   associated.size(), s, key.data()) != 0) {
        plain.clear();
        return false;
    }
    plain.resize(len);
    return true;
}

std::string associatedData(std::string_view fileId, int64_t recordKey, int fieldPosition, SealKind kind) {
    std::string ad;
    ad.reserve(fileId.size() + 14);
    ad.append("QB1");
    ad.push_back(static_cast<char>(kind));
    ad.append(fileId);
    for (int i = 0; i < 8; ++i)
        ad.push_back(static_cast<char>((static_cast<uint64_t>(recordKey) >> (8 * i)) & 0xFF));
    for (int i = 0; i < 4; ++i)
        ad.push_back(static_cast<char>((static_cast<uint32_t>(fieldPosition) >> (8 * i)) & 0xFF));
    return ad;
}

void setKdfLimitsForTesting(uint64_t opslimit, uint64_t memlimit) {
    KeyCache& c = cache();
    std::lock_guard lock(c.mutex);
    c.limits.ops = opslimit;
    c.limits.mem = memlimit;
}

void setKdfMaximumForTesting(uint64_t opslimit, uint64_t memlimit) {
    KeyCache& c = cache();
    std::lock_guard lock(c.mutex);
    c.limits.maxOps = opslimit;
    c.limits.maxMem = memlimit;
}

void clearKeyCacheForTesting() {
    KeyCache& c = cache();
    std::lock_guard lock(c.mutex);
    c.entries.clear();
}

int keyDerivationCount() {
    KeyCache& c = cache();
    std::lock_guard lock(c.mutex);
    return c.derivations;
}

}  // namespace runtime::store::detail
