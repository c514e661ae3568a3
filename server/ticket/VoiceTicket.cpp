#include "VoiceTicket.h"

#include <sodium.h>

#include <vector>

namespace qv::ticket {

namespace {

constexpr std::string_view kMagic = "QVT1";
constexpr int kVariant = sodium_base64_VARIANT_URLSAFE_NO_PADDING;

std::string Encode(const unsigned char* data, std::size_t size) {
    std::string out(sodium_base64_encoded_len(size, kVariant), '\0');
    sodium_bin2base64(out.data(), out.size(), data, size, kVariant);
    out.resize(out.find('\0'));
    return out;
}

bool Decode(std::string_view text, std::vector<unsigned char>& out) {
    out.assign(text.size(), 0);
    std::size_t size = 0;
    const char* end = nullptr;
    if (sodium_base642bin(out.data(), out.size(), text.data(), text.size(), nullptr, &size, &end,
                          kVariant) != 0 ||
        end != text.data() + text.size()) {
        return false;
    }
    out.resize(size);
    return true;
}

bool Plain(std::string_view field) {
    return field.find('\n') == std::string_view::npos && field.find('\0') == std::string_view::npos;
}

bool IsNonce(std::string_view nonce) {
    if (nonce.size() != 32) {
        return false;
    }
    for (char c : nonce) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

// The lines of the payload; false unless there are exactly six.
bool Split(std::string_view payload, std::array<std::string_view, 6>& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t end = payload.find('\n');
        if ((end == std::string_view::npos) != (i + 1 == lines.size())) {
            return false;
        }
        lines[i] = payload.substr(0, end);
        payload = end == std::string_view::npos ? std::string_view() : payload.substr(end + 1);
    }
    return true;
}

bool ParseSeconds(std::string_view text, std::int64_t& value) {
    if (text.empty() || text.size() > 12) {
        return false;
    }
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    return true;
}

}  // namespace

const char* FaultName(Fault fault) {
    switch (fault) {
        case Fault::kNone:
            return "valid";
        case Fault::kMalformed:
            return "malformed ticket";
        case Fault::kBadSignature:
            return "bad signature";
        case Fault::kExpired:
            return "expired";
        case Fault::kTooLong:
            return "valid for too long";
        case Fault::kOtherCluster:
            return "meant for another voice cluster";
        case Fault::kOtherUser:
            return "issued to another user";
        case Fault::kReplayed:
            return "used before";
        case Fault::kCacheFull:
            return "too many logins to remember";
    }
    return "unknown";
}

bool Initialize() {
    return sodium_init() >= 0;
}

std::string NewNonce() {
    unsigned char bytes[16];
    randombytes_buf(bytes, sizeof bytes);
    char hex[33];
    sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
    return hex;
}

std::string Sign(const VoiceTicket& ticket, const SecretKey& key) {
    if (!Plain(ticket.userId) || !Plain(ticket.nickname) || !Plain(ticket.cluster) ||
        !IsNonce(ticket.nonce) || ticket.cluster.size() > kMaxCluster || ticket.expires < 0) {
        return {};
    }
    const std::string payload = std::string(kMagic) + "\n" + ticket.userId + "\n" +
                                ticket.nickname + "\n" + std::to_string(ticket.expires) + "\n" +
                                ticket.nonce + "\n" + ticket.cluster;
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(payload.data()),
                         payload.size(), key.data());
    std::string text =
        Encode(reinterpret_cast<const unsigned char*>(payload.data()), payload.size()) + "." +
        Encode(signature, sizeof signature);
    if (text.size() > kMaxTicketText) {
        return {};
    }
    return text;
}

Fault Verify(std::string_view text, const PublicKey& key, std::int64_t now,
             std::int64_t maxLifetime, std::string_view cluster, VoiceTicket& ticket) {
    const std::size_t dot = text.find('.');
    if (text.size() > kMaxTicketText || dot == std::string_view::npos) {
        return Fault::kMalformed;
    }
    std::vector<unsigned char> payload;
    std::vector<unsigned char> signature;
    if (!Decode(text.substr(0, dot), payload) || !Decode(text.substr(dot + 1), signature) ||
        signature.size() != crypto_sign_BYTES) {
        return Fault::kMalformed;
    }
    if (crypto_sign_verify_detached(signature.data(), payload.data(), payload.size(), key.data()) !=
        0) {
        return Fault::kBadSignature;
    }
    const std::string_view body(reinterpret_cast<const char*>(payload.data()), payload.size());
    std::array<std::string_view, 6> lines;
    VoiceTicket parsed;
    if (!Split(body, lines) || lines[0] != kMagic || !ParseSeconds(lines[3], parsed.expires) ||
        !IsNonce(lines[4])) {
        return Fault::kMalformed;
    }
    parsed.userId = lines[1];
    parsed.nickname = lines[2];
    parsed.nonce = lines[4];
    parsed.cluster = lines[5];
    if (parsed.cluster != cluster) {
        return Fault::kOtherCluster;
    }
    if (parsed.expires <= now) {
        return Fault::kExpired;
    }
    if (parsed.expires - now > maxLifetime) {
        return Fault::kTooLong;
    }
    ticket = std::move(parsed);
    return Fault::kNone;
}

}  // namespace qv::ticket
