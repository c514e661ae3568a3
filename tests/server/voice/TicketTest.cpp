// Voice tickets: signing and checking, the key files, and the cache of used nonces.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "TicketKeys.h"
#include "TicketReplayCache.h"
#include "VoiceTicket.h"
#include "support/TempFolder.h"

namespace qv::voicesvc {
namespace {

using ticket::Fault;

constexpr std::int64_t kNow = 1800000000;

ticket::VoiceTicket Ticket() {
    ticket::VoiceTicket t;
    t.userId = "1234";
    t.nickname = "Ann [Lee]";
    t.expires = kNow + 300;
    t.nonce = ticket::NewNonce();
    t.cluster = "quorvane";
    return t;
}

TEST(VoiceTicketTest, ASignedTicketChecksOutAndEveryFaultIsNamed) {
    ASSERT_TRUE(ticket::Initialize());
    ticket::SecretKey key{};
    ticket::SecretKey other{};
    ticket::NewSigningKey(key);
    ticket::NewSigningKey(other);
    ticket::PublicKey publicKey{};
    std::copy(key.begin() + 32, key.end(), publicKey.begin());

    const std::string good = ticket::Sign(Ticket(), key);
    ASSERT_FALSE(good.empty());
    ticket::VoiceTicket read;
    ASSERT_EQ(ticket::Verify(good, publicKey, kNow, 900, "quorvane", read), Fault::kNone);
    EXPECT_EQ(read.userId, "1234");
    EXPECT_EQ(read.nickname, "Ann [Lee]");
    EXPECT_EQ(read.expires, kNow + 300);
    EXPECT_EQ(read.nonce.size(), 32u);

    auto with = [&](auto change) {
        ticket::VoiceTicket t = Ticket();
        change(t);
        return ticket::Sign(t, key);
    };
    std::string flipped = good;
    // Swapped for another base64 letter: a flipped bit could make '[' of 'Z', a malformed ticket.
    char& inSignature = flipped[flipped.find('.') + 5];
    inSignature = inSignature == 'A' ? 'B' : 'A';
    std::string payloadFlipped = good;
    payloadFlipped[3] = payloadFlipped[3] == 'A' ? 'B' : 'A';
    struct Case {
        const char* name;
        std::string text;
        std::int64_t now;
        Fault fault;
    };
    const std::vector<Case> cases = {
        {"expired", with([](auto& t) { t.expires = kNow; }), kNow, Fault::kExpired},
        {"checked after expiry", good, kNow + 301, Fault::kExpired},
        {"valid too long (skewed clock)", with([](auto& t) { t.expires = kNow + 3600; }), kNow,
         Fault::kTooLong},
        {"another cluster", with([](auto& t) { t.cluster = "west"; }), kNow, Fault::kOtherCluster},
        {"another key", ticket::Sign(Ticket(), other), kNow, Fault::kBadSignature},
        {"signature changed", flipped, kNow, Fault::kBadSignature},
        {"payload changed", payloadFlipped, kNow, Fault::kBadSignature},
        {"no dot", "abc", kNow, Fault::kMalformed},
        {"not base64", "a*b.c*d", kNow, Fault::kMalformed},
        {"empty", "", kNow, Fault::kMalformed},
        {"too long", std::string(2000, 'a') + "." + std::string(86, 'a'), kNow, Fault::kMalformed},
    };
    for (const Case& c : cases) {
        ticket::VoiceTicket ignored;
        EXPECT_EQ(ticket::Verify(c.text, publicKey, c.now, 900, "quorvane", ignored), c.fault)
            << c.name;
        EXPECT_STRNE(ticket::FaultName(c.fault), "unknown");
    }
    // What the wire cannot carry is not signed.
    EXPECT_TRUE(with([](auto& t) { t.nickname = "a\nb"; }).empty());
    EXPECT_TRUE(with([](auto& t) { t.nonce = "short"; }).empty());
}

TEST(TicketKeysTest, TheKeyPairIsMadeOnceWithPrivateModesAndReadBack) {
    qv::test::TempFolder folder;
    const std::string path = folder.File("keys/ticket.key");
    ticket::SecretKey made{};
    std::string error;
    ASSERT_TRUE(ticket::LoadOrCreateSigningKey(path, made, error)) << error;
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(folder.File("keys").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    ticket::SecretKey again{};
    ASSERT_TRUE(ticket::LoadOrCreateSigningKey(path, again, error)) << error;
    EXPECT_EQ(made, again);
    ticket::PublicKey publicKey{};
    ASSERT_TRUE(ticket::LoadPublicKey(ticket::PublicKeyPath(path), publicKey, error)) << error;
    const std::string signedTicket = ticket::Sign(Ticket(), again);
    ticket::VoiceTicket read;
    EXPECT_EQ(ticket::Verify(signedTicket, publicKey, kNow, 900, "quorvane", read), Fault::kNone);

    EXPECT_FALSE(ticket::LoadPublicKey(folder.File("none.pub"), publicKey, error));
    EXPECT_NE(error.find("none.pub"), std::string::npos);
    EXPECT_FALSE(ticket::LoadPublicKey(folder.Write("bad.pub", "12ab\n"), publicKey, error));
    EXPECT_NE(error.find("does not hold a key"), std::string::npos);
    EXPECT_FALSE(ticket::LoadOrCreateSigningKey(folder.Write("bad.key", "zz"), again, error));
}

TEST(TicketReplayCacheTest, ANonceLogsInOnceUntilItsTicketExpires) {
    TicketReplayCache cache(2);
    using Result = TicketReplayCache::Result;
    EXPECT_EQ(cache.Remember("a", 100, 10), Result::kFresh);
    EXPECT_EQ(cache.Remember("a", 100, 20), Result::kReplayed);
    EXPECT_EQ(cache.Remember("b", 200, 20), Result::kFresh);
    // Full of live nonces: a new one is not taken (and not let in unremembered).
    EXPECT_EQ(cache.Remember("c", 300, 30), Result::kFull);
    // Once "a" has expired it is forgotten, which makes room.
    EXPECT_EQ(cache.Remember("c", 300, 101), Result::kFresh);
    EXPECT_EQ(cache.Size(), 2u);
    EXPECT_EQ(cache.Remember("b", 200, 150), Result::kReplayed);
}

}  // namespace
}  // namespace qv::voicesvc
