#pragma once

// Password hashes (libsodium argon2id). Hashing is costly by design, so only a few run at once;
// a request that cannot get a slot soon is answered "busy" instead of tying up a server thread.

#include <chrono>
#include <optional>
#include <semaphore>
#include <string>
#include <string_view>

namespace qv::dirsvc {

struct HashCost {
    unsigned long long opsLimit;
    size_t memLimit;

    static HashCost Interactive();
    static HashCost Moderate();
    // For tests and benchmark data only.
    static HashCost Minimal();
    // "interactive", "moderate" or "minimal"; nullopt for anything else.
    static std::optional<HashCost> Named(std::string_view name);
};

class PasswordHasher {
  public:
    enum class Verdict { kMatch, kMismatch, kBusy };

    static constexpr int kMaxConcurrent = 16;

    PasswordHasher(HashCost cost, int concurrent,
                   std::chrono::milliseconds slotWait = std::chrono::seconds(5));

    // The encoded hash (algorithm, cost and salt included); empty when busy or out of memory.
    std::string Hash(std::string_view password);
    Verdict Verify(const std::string& hash, std::string_view password);
    // Spends the same work as Verify for a user that does not exist, so that timing does not
    // tell which numbers are taken.
    Verdict VerifyUnknown(std::string_view password);
    // True when the current cost is stronger than the hash's (never to a weaker one).
    bool NeedsRehash(const std::string& hash) const;
    // The cost an argon2id hash was made with; nullopt for anything else.
    static std::optional<HashCost> CostOf(std::string_view hash);

  private:
    HashCost cost_;
    std::counting_semaphore<kMaxConcurrent> slots_;
    std::chrono::milliseconds slotWait_;
    std::string unknownHash_;
};

}  // namespace qv::dirsvc
