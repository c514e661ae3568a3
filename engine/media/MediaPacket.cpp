#include "MediaPacket.h"

#include <sodium.h>

#include <algorithm>

namespace qv::media {

namespace {

static_assert(crypto_aead_chacha20poly1305_IETF_KEYBYTES == kKeySize);
static_assert(crypto_aead_chacha20poly1305_IETF_ABYTES == kTagSize);
static_assert(crypto_aead_chacha20poly1305_IETF_NPUBBYTES == 12);

// RTP: version 2, no padding, an extension, no contributing sources.
constexpr std::uint8_t kFirstByte = 0x90;
// The extension's profile-defined id ("QV") and its length in 32-bit words.
constexpr std::uint16_t kExtensionId = 0x5156;
constexpr std::uint16_t kExtensionWords = 2;

using Nonce = std::array<std::uint8_t, 12>;

void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * (3 - i)));
    }
}
std::uint16_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
std::uint32_t Get32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

Nonce MakeNonce(std::uint32_t streamId, Direction direction, std::uint64_t sequence) {
    Nonce nonce{};
    Put32(nonce.data(), streamId);
    nonce[4] = static_cast<std::uint8_t>(direction);
    nonce[5] = 0;
    for (int i = 0; i < 6; ++i) {
        nonce[6 + i] = static_cast<std::uint8_t>(sequence >> (8 * (5 - i)));
    }
    return nonce;
}

}  // namespace

std::vector<std::uint8_t> Seal(const MediaKeys& keys, Direction direction, const MediaHeader& h,
                               std::span<const std::uint8_t> payload) {
    if (payload.size() > kMaxPayload || h.level > kSilence) {
        return {};
    }
    const std::uint64_t sequence = h.sequence & kSequenceMask;
    std::vector<std::uint8_t> out(kHeaderSize + payload.size() + kTagSize);
    std::uint8_t* p = out.data();
    p[0] = kFirstByte;
    const std::uint8_t type =
        h.kind == PacketKind::kKeepalive ? kKeepalivePayloadType : kVoicePayloadType;
    p[1] = static_cast<std::uint8_t>((h.marker ? 0x80 : 0) | type);
    Put16(p + 2, static_cast<std::uint16_t>(sequence));
    Put32(p + 4, h.timestamp);
    Put32(p + 8, h.streamId);
    Put16(p + 12, kExtensionId);
    Put16(p + 14, kExtensionWords);
    p[16] = h.level;
    p[17] = 0;
    Put16(p + 18, h.epoch);
    Put32(p + 20, static_cast<std::uint32_t>(sequence >> 16));
    const Nonce nonce = MakeNonce(h.streamId, direction, sequence);
    unsigned long long sealed = 0;
    crypto_aead_chacha20poly1305_ietf_encrypt(p + kHeaderSize, &sealed, payload.data(),
                                              payload.size(), p, kHeaderSize, nullptr, nonce.data(),
                                              keys.key.data());
    out.resize(kHeaderSize + static_cast<std::size_t>(sealed));
    return out;
}

std::optional<OpenedPacket> Open(const MediaKeys& keys, Direction direction,
                                 std::span<const std::uint8_t> datagram) {
    if (datagram.size() < kHeaderSize + kTagSize || datagram.size() > kMaxDatagram) {
        return std::nullopt;
    }
    const std::uint8_t* p = datagram.data();
    const std::uint8_t type = p[1] & 0x7F;
    if (p[0] != kFirstByte || (type != kVoicePayloadType && type != kKeepalivePayloadType) ||
        Get16(p + 12) != kExtensionId || Get16(p + 14) != kExtensionWords || p[16] > kSilence ||
        p[17] != 0) {
        return std::nullopt;
    }
    OpenedPacket opened;
    MediaHeader& h = opened.header;
    h.kind = type == kKeepalivePayloadType ? PacketKind::kKeepalive : PacketKind::kVoice;
    h.marker = (p[1] & 0x80) != 0;
    h.sequence = (std::uint64_t{Get32(p + 20)} << 16) | Get16(p + 2);
    h.timestamp = Get32(p + 4);
    h.streamId = Get32(p + 8);
    h.level = p[16];
    h.epoch = Get16(p + 18);
    const Nonce nonce = MakeNonce(h.streamId, direction, h.sequence);
    opened.payload.resize(datagram.size() - kHeaderSize - kTagSize);
    unsigned long long length = 0;
    if (crypto_aead_chacha20poly1305_ietf_decrypt(
            opened.payload.data(), &length, nullptr, p + kHeaderSize, datagram.size() - kHeaderSize,
            p, kHeaderSize, nonce.data(), keys.key.data()) != 0) {
        return std::nullopt;
    }
    if (h.kind == PacketKind::kKeepalive &&
        (opened.payload.size() != kTokenSize ||
         sodium_memcmp(opened.payload.data(), keys.token.data(), kTokenSize) != 0)) {
        return std::nullopt;
    }
    return opened;
}

std::optional<std::uint32_t> PeekStreamId(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < 12) {
        return std::nullopt;
    }
    return Get32(datagram.data() + 8);
}

std::vector<std::uint8_t> SealKeepalive(const MediaKeys& keys, Direction direction,
                                        std::uint32_t streamId, std::uint64_t sequence,
                                        std::uint16_t epoch) {
    MediaHeader h;
    h.kind = PacketKind::kKeepalive;
    h.sequence = sequence;
    h.streamId = streamId;
    h.epoch = epoch;
    h.level = kSilence;
    return Seal(keys, direction, h, keys.token);
}

std::optional<MediaKeys> MakeMediaKeys() {
    if (sodium_init() < 0) {
        return std::nullopt;
    }
    MediaKeys keys;
    randombytes_buf(keys.key.data(), keys.key.size());
    randombytes_buf(keys.token.data(), keys.token.size());
    return keys;
}

}  // namespace qv::media
