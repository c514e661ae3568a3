#include "RegistrationGate.h"

namespace qv::net {

void RegistrationGate::SetNickname(const std::string& nickname) {
    // The wire cannot carry NUL bytes or more than the nickname limit; the server replaces the
    // nickname with the directory's anyway.
    std::string wire = nickname.substr(0, nickname.find('\0'));
    if (wire.size() > voice::kMaxNickname) {
        wire.resize(voice::kMaxNickname);
    }
    nickname_ = std::move(wire);
}

std::optional<voice::RegisterTicket> RegistrationGate::Take() {
    if (sent_ || !welcomed_ || !nickname_ || !voice::IsUserId(userId_) || ticket_.empty() ||
        ticket_.size() > voice::kMaxTicket || ticket_.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    sent_ = true;
    return voice::RegisterTicket{userId_, *nickname_, ticket_};
}

}  // namespace qv::net
