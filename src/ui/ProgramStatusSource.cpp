#include "ui/ProgramStatusSource.h"

#include "calls/CallManager.h"
#include "engine/CSonaroManager.h"

namespace qv {

ProgramStatusSource::ProgramStatusSource(CSonaroManager* manager) : manager_(manager) {
    if (manager_ != nullptr) {
        manager_->Subscribe<engine_event::ConnectionState>(
            &ProgramStatusSource::ConnectionStateThunk, this);
    }
}

ProgramStatusSource::~ProgramStatusSource() {
    if (manager_ != nullptr) {
        manager_->Unsubscribe<engine_event::ConnectionState>(
            &ProgramStatusSource::ConnectionStateThunk, this);
    }
}

void ProgramStatusSource::ConnectionStateThunk(std::int32_t, void* self) {
    auto* source = static_cast<ProgramStatusSource*>(self);
    if (source->line_ != nullptr) {
        source->line_->Update();
    }
}

int ProgramStatusSource::ManagerState() const {
    return manager_ != nullptr ? manager_->State() : -1;
}

bool ProgramStatusSource::CallOrForumActive() const {
    if (calls_ != nullptr) {
        return calls_->Active() != nullptr;
    }
    return manager_ != nullptr && manager_->IsInGroupOrConference();
}

bool ProgramStatusSource::ActiveIsForum() const {
    if (calls_ != nullptr) {
        return calls_->ActiveIsForum();
    }
    return manager_ != nullptr && !manager_->CurrentGroup().empty();
}

bool ProgramStatusSource::IncomingCallWaiting() const {
    return calls_ != nullptr && calls_->IsRinging();
}

std::int32_t ProgramStatusSource::Ping() const {
    return manager_ != nullptr ? manager_->GetPing() : 0;
}

float ProgramStatusSource::PacketLoss() const {
    return manager_ != nullptr ? manager_->GetPacketLoss() : 0.0f;
}

}  // namespace qv
