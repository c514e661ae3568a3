#include "security/PasswordHasher.h"

#include <algorithm>

#include <sodium.h>

namespace qv::dirsvc {

namespace {

// Releases a hashing slot when the work is done.
class SlotGuard {
  public:
    explicit SlotGuard(std::counting_semaphore<PasswordHasher::kMaxConcurrent>& slots)
        : slots_(slots) {}
    ~SlotGuard() { slots_.release(); }
    SlotGuard(const SlotGuard&) = delete;
    SlotGuard& operator=(const SlotGuard&) = delete;

  private:
    std::counting_semaphore<PasswordHasher::kMaxConcurrent>& slots_;
};

}  // namespace

HashCost HashCost::Interactive() {
    return {crypto_pwhash_argon2id_OPSLIMIT_INTERACTIVE,
            crypto_pwhash_argon2id_MEMLIMIT_INTERACTIVE};
}

HashCost HashCost::Moderate() {
    return {crypto_pwhash_argon2id_OPSLIMIT_MODERATE, crypto_pwhash_argon2id_MEMLIMIT_MODERATE};
}

HashCost HashCost::Minimal() {
    return {crypto_pwhash_argon2id_OPSLIMIT_MIN, crypto_pwhash_argon2id_MEMLIMIT_MIN};
}

std::optional<HashCost> HashCost::Named(std::string_view name) {
    if (name == "interactive") {
        return Interactive();
    }
    if (name == "moderate") {
        return Moderate();
    }
    if (name == "minimal") {
        return Minimal();
    }
    return std::nullopt;
}

PasswordHasher::PasswordHasher(HashCost cost, int concurrent, std::chrono::milliseconds slotWait)
    : cost_(cost), slots_(std::clamp(concurrent, 1, kMaxConcurrent)), slotWait_(slotWait) {
    char encoded[crypto_pwhash_STRBYTES];
    // The unknown-user hash is of a random value nobody can type.
    unsigned char filler[32];
    randombytes_buf(filler, sizeof filler);
    if (crypto_pwhash_argon2id_str(encoded, reinterpret_cast<const char*>(filler), sizeof filler,
                                   cost_.opsLimit, cost_.memLimit) == 0) {
        unknownHash_ = encoded;
    }
}

std::string PasswordHasher::Hash(std::string_view password) {
    if (!slots_.try_acquire_for(slotWait_)) {
        return {};
    }
    SlotGuard guard(slots_);
    char encoded[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_argon2id_str(encoded, password.data(), password.size(), cost_.opsLimit,
                                   cost_.memLimit) != 0) {
        return {};
    }
    return encoded;
}

PasswordHasher::Verdict PasswordHasher::Verify(const std::string& hash, std::string_view password) {
    if (hash.empty()) {
        return VerifyUnknown(password);
    }
    if (!slots_.try_acquire_for(slotWait_)) {
        return Verdict::kBusy;
    }
    SlotGuard guard(slots_);
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0
               ? Verdict::kMatch
               : Verdict::kMismatch;
}

PasswordHasher::Verdict PasswordHasher::VerifyUnknown(std::string_view password) {
    if (!slots_.try_acquire_for(slotWait_)) {
        return Verdict::kBusy;
    }
    SlotGuard guard(slots_);
    if (!unknownHash_.empty()) {
        [[maybe_unused]] const int ignored =
            crypto_pwhash_str_verify(unknownHash_.c_str(), password.data(), password.size());
    }
    return Verdict::kMismatch;
}

bool PasswordHasher::NeedsRehash(const std::string& hash) const {
    return crypto_pwhash_str_needs_rehash(hash.c_str(), cost_.opsLimit, cost_.memLimit) != 0;
}

}  // namespace qv::dirsvc
