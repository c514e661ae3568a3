#pragma once

// A voice ticket: the directory's signed word that a user logged in a moment ago. It names the
// user, the nickname, when it expires, a nonce that makes it single-use, and the voice cluster
// it is meant for. Signed with Ed25519; the voice server needs only the public key.
//
// Text form: base64url(payload) "." base64url(signature), where payload is
// "QVT1\n<user id>\n<nickname>\n<expiry, Unix seconds>\n<nonce, 32 hex digits>\n<cluster>".

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv::ticket {

using PublicKey = std::array<unsigned char, 32>;
using SecretKey = std::array<unsigned char, 64>;

inline constexpr std::size_t kMaxTicketText = 1024;
inline constexpr std::size_t kMaxCluster = 64;

struct VoiceTicket {
    std::string userId;
    std::string nickname;
    std::int64_t expires = 0;
    std::string nonce;
    std::string cluster;
};

enum class Fault {
    kNone,
    kMalformed,
    kBadSignature,
    kExpired,
    kTooLong,  // valid for longer than any ticket the directory issues: a skewed clock
    kOtherCluster,
    kOtherUser,
    kReplayed,
    kCacheFull,
};

// A few words for logs and the text the engine shows.
const char* FaultName(Fault fault);

// Initialises libsodium; false when it cannot run.
bool Initialize();

// A fresh 128-bit nonce as 32 lower-case hex digits.
std::string NewNonce();

// Empty when a field cannot be carried (a newline in a field, too long).
std::string Sign(const VoiceTicket& ticket, const SecretKey& key);

// Checks the form, the signature, the expiry against now (Unix seconds, at most maxLifetime
// ahead) and the cluster; the user and the replay are the caller's to check.
Fault Verify(std::string_view text, const PublicKey& key, std::int64_t now,
             std::int64_t maxLifetime, std::string_view cluster, VoiceTicket& ticket);

}  // namespace qv::ticket
