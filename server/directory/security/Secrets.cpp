#include "security/Secrets.h"

#include <sodium.h>

namespace qv::dirsvc::secrets {

namespace {

constexpr size_t kConnectionIdBytes = 16;
constexpr size_t kPasswordLength = 10;
constexpr std::string_view kPasswordAlphabet =
    "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";

}  // namespace

bool Initialize() {
    return sodium_init() >= 0;
}

std::string NewConnectionId() {
    unsigned char bytes[kConnectionIdBytes];
    randombytes_buf(bytes, sizeof bytes);
    char hex[kConnectionIdBytes * 2 + 1];
    sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
    return std::string(hex, kConnectionIdBytes * 2);
}

std::string NewPassword() {
    std::string password;
    password.reserve(kPasswordLength);
    for (size_t i = 0; i < kPasswordLength; ++i) {
        const auto pick = randombytes_uniform(static_cast<uint32_t>(kPasswordAlphabet.size()));
        password.push_back(kPasswordAlphabet[pick]);
    }
    return password;
}

std::string Digest(std::string_view token) {
    unsigned char digest[crypto_generichash_BYTES];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(token.data()),
                       token.size(), nullptr, 0);
    return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}

}  // namespace qv::dirsvc::secrets
