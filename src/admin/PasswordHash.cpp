#include "admin/PasswordHash.h"

#include <crypt.h>

#include <cstring>
#include <memory>

#include "admin/PasswordCompare.h"
#include "platform/Env.h"

namespace {

constexpr const char* kHashPrefix = "$y$";
// The salt's random bytes; yescrypt uses at most this many.
constexpr std::size_t kSaltBytes = 16;

// crypt_r's work area is 32 KiB: on the heap, and emptied before use as libcrypt asks.
std::optional<std::string> Crypt(const std::string& phrase, const std::string& setting) {
    auto data = std::make_unique<crypt_data>();
    std::memset(data.get(), 0, sizeof *data);
    const char* hash = ::crypt_r(phrase.c_str(), setting.c_str(), data.get());
    // A failure gives null or a text starting with '*', which no setting starts with.
    if (hash == nullptr || hash[0] == '*') {
        return std::nullopt;
    }
    return std::string(hash);
}

}  // namespace

bool IsPasswordHash(const std::string& stored) {
    return stored.rfind(kHashPrefix, 0) == 0;
}

std::optional<std::string> HashPassword(const std::string& password, Env& env) {
    unsigned char random[kSaltBytes];
    if (!env.RandomBytes(random, sizeof random)) {
        return std::nullopt;
    }
    char setting[CRYPT_GENSALT_OUTPUT_SIZE];
    if (::crypt_gensalt_rn(kHashPrefix, 0, reinterpret_cast<const char*>(random), sizeof random,
                           setting, sizeof setting) == nullptr) {
        return std::nullopt;
    }
    return Crypt(password, setting);
}

bool PasswordMatches(const std::string& typed, const std::string& stored) {
    if (stored.empty()) {
        return false;
    }
    if (!IsPasswordHash(stored)) {
        return SamePassword(typed, stored);
    }
    const std::optional<std::string> hash = Crypt(typed, stored);
    return hash && SamePassword(*hash, stored);
}
