#pragma once

// Decides when a session may send RegisterTicket: once it is welcomed, the nickname has been
// written since Connect, the user id is a valid id and the directory's voice ticket is known,
// whichever comes last, and only once per session.

#include <optional>
#include <string>

#include "VoiceProtocol.h"

namespace qv::net {

class RegistrationGate {
  public:
    void SetWelcomed() { welcomed_ = true; }
    void SetNickname(const std::string& nickname);
    void SetUserId(const std::string& userId) { userId_ = userId; }
    void SetTicket(const std::string& ticket) { ticket_ = ticket; }

    // The RegisterTicket to send now, if everything has come together and none was sent yet.
    std::optional<voice::RegisterTicket> Take();
    bool Sent() const { return sent_; }

  private:
    bool welcomed_ = false;
    std::optional<std::string> nickname_;
    std::string userId_;
    std::string ticket_;
    bool sent_ = false;
};

}  // namespace qv::net
