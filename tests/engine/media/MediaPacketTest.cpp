#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MediaPacket.h"

namespace qv::media {
namespace {

MediaKeys Keys(std::uint8_t seed) {
    MediaKeys keys;
    for (std::size_t i = 0; i < keys.key.size(); ++i) {
        keys.key[i] = static_cast<std::uint8_t>(seed + i);
    }
    for (std::size_t i = 0; i < keys.token.size(); ++i) {
        keys.token[i] = static_cast<std::uint8_t>(seed * 3 + i);
    }
    return keys;
}

MediaHeader Voice() {
    MediaHeader h;
    h.marker = true;
    h.sequence = 0x123456789ABCull;
    h.timestamp = 0xDEADBEEF;
    h.streamId = 0x01020304;
    h.epoch = 7;
    h.level = 30;
    return h;
}

const std::vector<std::uint8_t> kOpus = {0x78, 0x01, 0x02, 0x03, 0x00, 0xFF, 0x10};

TEST(MediaPacketTest, ASealedPacketOpensWithItsKeyAndDirection) {
    const MediaKeys keys = Keys(1);
    struct Case {
        const char* name;
        MediaHeader header;
        std::vector<std::uint8_t> payload;
    };
    MediaHeader plain;
    MediaHeader wide = Voice();
    wide.sequence = kSequenceMask;  // the highest 48-bit sequence
    MediaHeader beyond = Voice();
    beyond.sequence = kSequenceMask + 5;  // taken modulo 2^48
    const std::vector<Case> cases = {
        {"voice", Voice(), kOpus},
        {"defaults, empty payload", plain, {}},
        {"highest sequence", wide, kOpus},
        {"largest payload", Voice(), std::vector<std::uint8_t>(kMaxPayload, 0xAB)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (Direction direction : {Direction::kUp, Direction::kDown}) {
            const auto datagram = Seal(keys, direction, c.header, c.payload);
            ASSERT_EQ(datagram.size(), kHeaderSize + c.payload.size() + kTagSize);
            const auto opened = Open(keys, direction, datagram);
            ASSERT_TRUE(opened.has_value());
            EXPECT_EQ(opened->payload, c.payload);
            const MediaHeader& h = opened->header;
            EXPECT_EQ(h.kind, c.header.kind);
            EXPECT_EQ(h.marker, c.header.marker);
            EXPECT_EQ(h.sequence, c.header.sequence);
            EXPECT_EQ(h.timestamp, c.header.timestamp);
            EXPECT_EQ(h.streamId, c.header.streamId);
            EXPECT_EQ(h.epoch, c.header.epoch);
            EXPECT_EQ(h.level, c.header.level);
            EXPECT_EQ(PeekStreamId(datagram), c.header.streamId);
        }
    }
    const auto wrapped = Open(keys, Direction::kUp, Seal(keys, Direction::kUp, beyond, kOpus));
    ASSERT_TRUE(wrapped.has_value());
    EXPECT_EQ(wrapped->header.sequence, 4u);
}

TEST(MediaPacketTest, TheHeaderIsRtpWithTheExtension) {
    const auto d = Seal(Keys(1), Direction::kUp, Voice(), kOpus);
    ASSERT_GE(d.size(), kHeaderSize);
    EXPECT_EQ(d[0], 0x90);                      // version 2, extension
    EXPECT_EQ(d[1], 0x80 | kVoicePayloadType);  // marker, Opus
    EXPECT_EQ(d[2], 0x9A);                      // low 16 bits of the sequence
    EXPECT_EQ(d[3], 0xBC);
    EXPECT_EQ(std::vector<std::uint8_t>(d.begin() + 4, d.begin() + 12),
              (std::vector<std::uint8_t>{0xDE, 0xAD, 0xBE, 0xEF, 1, 2, 3, 4}));
    EXPECT_EQ(std::vector<std::uint8_t>(d.begin() + 12, d.begin() + 24),
              (std::vector<std::uint8_t>{0x51, 0x56, 0, 2, 30, 0, 0, 7, 0x12, 0x34, 0x56, 0x78}));
    const auto keepalive = SealKeepalive(Keys(1), Direction::kUp, 9, 1);
    EXPECT_EQ(keepalive[1], kKeepalivePayloadType);
}

TEST(MediaPacketTest, WhatIsNotOursDoesNotOpen) {
    const MediaKeys keys = Keys(1);
    const auto good = Seal(keys, Direction::kUp, Voice(), kOpus);
    ASSERT_TRUE(Open(keys, Direction::kUp, good).has_value());
    auto flipped = [&good](std::size_t at) {
        auto d = good;
        d[at] ^= 0x01;
        return d;
    };
    struct Case {
        const char* name;
        MediaKeys keys;
        Direction direction;
        std::vector<std::uint8_t> datagram;
    };
    const std::vector<Case> cases = {
        {"wrong key", Keys(2), Direction::kUp, good},
        {"wrong direction (a reflected packet)", keys, Direction::kDown, good},
        {"tampered sequence", keys, Direction::kUp, flipped(3)},
        {"tampered timestamp", keys, Direction::kUp, flipped(5)},
        {"tampered stream", keys, Direction::kUp, flipped(11)},
        {"tampered level", keys, Direction::kUp, flipped(16)},
        {"tampered epoch", keys, Direction::kUp, flipped(19)},
        {"tampered upper sequence", keys, Direction::kUp, flipped(23)},
        {"payload type 110", keys, Direction::kUp, flipped(1)},
        {"tampered payload", keys, Direction::kUp, flipped(kHeaderSize)},
        {"tampered tag", keys, Direction::kUp, flipped(good.size() - 1)},
        {"truncated by one", keys, Direction::kUp, {good.begin(), good.end() - 1}},
        {"header and tag only",
         keys,
         Direction::kUp,
         {good.begin(), good.begin() + kHeaderSize + kTagSize - 1}},
        {"header only", keys, Direction::kUp, {good.begin(), good.begin() + kHeaderSize}},
        {"empty", keys, Direction::kUp, {}},
        {"too long", keys, Direction::kUp, std::vector<std::uint8_t>(kMaxDatagram + 1, 0x90)},
        {"version 1", keys, Direction::kUp, flipped(0) /* 0x91: a contributing source */},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(Open(c.keys, c.direction, c.datagram).has_value()) << c.name;
    }
    EXPECT_FALSE(PeekStreamId(std::vector<std::uint8_t>(11, 0)).has_value());
    EXPECT_EQ(PeekStreamId(std::vector<std::uint8_t>(12, 1)), 0x01010101u);
}

TEST(MediaPacketTest, AKeepaliveNeedsTheTokenToo) {
    const MediaKeys keys = Keys(1);
    MediaKeys otherToken = keys;
    otherToken.token[0] ^= 0xFF;
    const auto keepalive = SealKeepalive(keys, Direction::kUp, 5, 42);
    const auto opened = Open(keys, Direction::kUp, keepalive);
    ASSERT_TRUE(opened.has_value());
    EXPECT_EQ(opened->header.kind, PacketKind::kKeepalive);
    EXPECT_EQ(opened->header.sequence, 42u);
    EXPECT_EQ(opened->header.level, kSilence);
    // Same key, another token: the tag is good but the keepalive is not this session's.
    EXPECT_FALSE(Open(otherToken, Direction::kUp, keepalive).has_value());
    // A keepalive whose payload is not a token at all.
    MediaHeader h;
    h.kind = PacketKind::kKeepalive;
    EXPECT_FALSE(Open(keys, Direction::kUp, Seal(keys, Direction::kUp, h, kOpus)).has_value());
    // Voice carries no token.
    EXPECT_TRUE(Open(otherToken, Direction::kUp, Seal(keys, Direction::kUp, Voice(), kOpus)));
}

TEST(MediaPacketTest, WhatCannotBeSealedIsRefused) {
    MediaHeader loud = Voice();
    loud.level = 128;
    EXPECT_TRUE(Seal(Keys(1), Direction::kUp, loud, kOpus).empty());
    EXPECT_TRUE(
        Seal(Keys(1), Direction::kUp, Voice(), std::vector<std::uint8_t>(kMaxPayload + 1, 0))
            .empty());
}

TEST(MediaPacketTest, FreshKeysDiffer) {
    const auto a = MakeMediaKeys();
    const auto b = MakeMediaKeys();
    ASSERT_TRUE(a && b);
    EXPECT_NE(a->key, b->key);
    EXPECT_NE(a->token, b->token);
}

}  // namespace
}  // namespace qv::media
