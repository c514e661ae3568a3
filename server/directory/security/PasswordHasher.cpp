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
    const std::optional<HashCost> stored = CostOf(hash);
    if (!stored) {
        return false;
    }
    // Never weaker: a lowered --hash-cost leaves the stronger hashes as they are.
    const bool notWeaker = cost_.opsLimit >= stored->opsLimit && cost_.memLimit >= stored->memLimit;
    const bool stronger = cost_.opsLimit > stored->opsLimit || cost_.memLimit > stored->memLimit;
    return notWeaker && stronger;
}

std::optional<HashCost> PasswordHasher::CostOf(std::string_view hash) {
    // $argon2id$v=19$m=<KiB>,t=<passes>,p=<lanes>$salt$digest
    constexpr std::string_view kPrefix = "$argon2id$v=19$m=";
    if (!hash.starts_with(kPrefix)) {
        return std::nullopt;
    }
    hash.remove_prefix(kPrefix.size());
    auto number = [&hash](unsigned long long& value) {
        value = 0;
        size_t digits = 0;
        while (digits < hash.size() && hash[digits] >= '0' && hash[digits] <= '9' && digits < 12) {
            value = value * 10 + static_cast<unsigned long long>(hash[digits] - '0');
            ++digits;
        }
        hash.remove_prefix(digits);
        return digits > 0;
    };
    unsigned long long memKiB = 0;
    unsigned long long passes = 0;
    if (!number(memKiB) || !hash.starts_with(",t=")) {
        return std::nullopt;
    }
    hash.remove_prefix(3);
    if (!number(passes) || !hash.starts_with(",p=")) {
        return std::nullopt;
    }
    return HashCost{passes, static_cast<size_t>(memKiB) * 1024};
}

}  // namespace qv::dirsvc
