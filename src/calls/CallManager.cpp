#include "calls/CallManager.h"

#include <ctime>

#include "engine/CSonaroManager.h"

namespace qv {

CallManager::CallManager(CSonaroManager& engine, const Options& options, SystemNotices& notices,
                         Screen& screen, const TickClock& clock)
    : engine_(engine),
      options_(options),
      notices_(notices),
      screen_(screen),
      clock_(clock),
      wallClock_([] { return static_cast<std::uint32_t>(std::time(nullptr)); }) {}

CallManager::~CallManager() = default;

bool CallManager::PlaceCall(const std::string&, const std::string&) {
    return false;
}
void CallManager::IncomingCallHandler(std::int32_t, const std::string&, const std::string&,
                                      std::uint32_t) {}
CallManager::Offer CallManager::OfferIncoming(std::int32_t, const std::string&,
                                              const std::string&) {
    return {};
}
void CallManager::PickUp() {}
void CallManager::HoldOrSwitch() {}
void CallManager::HangUp() {}
void CallManager::EndActive(bool) {}
void CallManager::EndSecond(std::int16_t, const std::string&) {}
void CallManager::ForgetConference(std::int32_t) {}
void CallManager::DeclineRingingCall(std::int16_t, const std::string&) {}
bool CallManager::RingTimedOut() const {
    return false;
}
bool CallManager::CheckRingTimeout() {
    return false;
}
bool CallManager::FillActiveForum(std::unique_ptr<CallRecord>) {
    return false;
}
bool CallManager::IsIdle() const {
    return !active_ && !second_;
}
bool CallManager::ActiveIsCall() const {
    return active_ && active_->IsCall();
}
bool CallManager::ActiveIsForum() const {
    return active_ && active_->IsForum();
}
bool CallManager::ActiveIsWebTourForum() const {
    return false;
}
bool CallManager::ActiveHasControlledMicrophones() const {
    return false;
}
bool CallManager::IsRinging() const {
    return second_ && !second_->connected;
}
bool CallManager::IsHolding() const {
    return second_ && second_->connected;
}
bool CallManager::InForum(const std::string&) const {
    return false;
}
std::string CallManager::ActiveForumName() const {
    return {};
}
std::string CallManager::ActiveForumPassword() const {
    return {};
}
std::int32_t CallManager::ActiveForumFirstOption() const {
    return 0;
}
std::int32_t CallManager::ActiveForumOptionWord1() const {
    return 0;
}
std::int32_t CallManager::ActiveForumOptionWord2() const {
    return 0;
}
std::string CallManager::SecondUserId() const {
    return {};
}
std::string CallManager::SecondNickname() const {
    return {};
}
std::string CallManager::DeclineText(std::int32_t, const std::string&, const std::string&,
                                     const std::string&) {
    return {};
}
void CallManager::OnJoinedConference(std::int32_t, bool, bool) {}
void CallManager::OnJoinedGroup(const std::string&) {}
void CallManager::OnAcceptedConference(bool, const std::string&, const std::string&, std::int16_t,
                                       const std::string&) {}
void CallManager::OnUserChange(const std::string&, const std::string&, std::int16_t, bool) {}
void CallManager::OnInvitationCancel(std::int32_t, const std::string&, const std::string&,
                                     std::int16_t, const std::string&) {}
void CallManager::OnConnectionState(std::int32_t) {}
void CallManager::OnServerMessage(std::int16_t, std::int16_t, const std::string&) {}
void CallManager::OnInvitation(std::int32_t, const std::string&, const std::string&, std::int16_t,
                               const std::string&) {}

}  // namespace qv
