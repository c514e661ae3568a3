#pragma once

// The voice datagram (docs/voice-protocol.md, "Datagrams"): an RTP header (RFC 3550) with one
// header extension that carries the sender's level, the upper bits of its sequence and the
// conversation epoch, the payload (an Opus packet, or the session's token for a keepalive),
// then the tag of ChaCha20-Poly1305 (IETF) over the payload with the whole header as associated
// data. The nonce is SSRC || direction || extended sequence, so it never repeats under one key as
// long as a sender never reuses a sequence within its session.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qv::media {

inline constexpr std::size_t kKeySize = 32, kTokenSize = 16, kMaxDatagram = 1200;
// RTP's 12 bytes, the extension's 4-byte head and its 8 bytes.
inline constexpr std::size_t kHeaderSize = 24;
inline constexpr std::size_t kTagSize = 16;
inline constexpr std::size_t kMaxPayload = kMaxDatagram - kHeaderSize - kTagSize;
inline constexpr std::uint8_t kVoicePayloadType = 111;
inline constexpr std::uint8_t kKeepalivePayloadType = 112;
inline constexpr std::uint8_t kSilence = 127;
// Sequences are 48 bits wide.
inline constexpr std::uint64_t kSequenceMask = (std::uint64_t{1} << 48) - 1;

struct MediaKeys {
    std::array<std::uint8_t, kKeySize> key{};
    std::array<std::uint8_t, kTokenSize> token{};
};

enum class Direction : std::uint8_t { kUp = 0, kDown = 1 };
enum class PacketKind : std::uint8_t { kVoice, kKeepalive };

struct MediaHeader {
    PacketKind kind = PacketKind::kVoice;
    bool marker = false;          // first packet of a talkspurt
    std::uint64_t sequence = 0;   // 48-bit extended sequence, per sender, +1 per packet
    std::uint32_t timestamp = 0;  // 48 kHz
    std::uint32_t streamId = 0;   // SSRC
    std::uint16_t epoch = 0;
    std::uint8_t level = 127;  // dBov, 127 silence
};

// The whole datagram; empty when the payload does not fit kMaxDatagram or the level is above
// 127. The sequence is taken modulo 2^48.
std::vector<std::uint8_t> Seal(const MediaKeys&, Direction, const MediaHeader&,
                               std::span<const std::uint8_t> payload);

struct OpenedPacket {
    MediaHeader header;
    std::vector<std::uint8_t> payload;
};

// nullopt: not ours, malformed, wrong key or (for keepalives) wrong token.
std::optional<OpenedPacket> Open(const MediaKeys&, Direction,
                                 std::span<const std::uint8_t> datagram);

// The SSRC of a datagram without opening it (the server's key lookup); nullopt when too short.
std::optional<std::uint32_t> PeekStreamId(std::span<const std::uint8_t> datagram);

// A keepalive: the token as payload, silence as level.
std::vector<std::uint8_t> SealKeepalive(const MediaKeys&, Direction, std::uint32_t streamId,
                                        std::uint64_t sequence, std::uint16_t epoch = 0);

// Fresh random keys and token; nullopt when the system's randomness is not available.
std::optional<MediaKeys> MakeMediaKeys();

}  // namespace qv::media
