#include "ui/ConnectionStatusLine.h"

#include <cstdio>

#include "app/TimerScheduler.h"

namespace qv {

ConnectionStatusLine::ConnectionStatusLine(StatusLineSource& source, TimerScheduler* scheduler)
    : source_(source), scheduler_(scheduler), text_(TextFor(kDisconnected, false, 0, 0.0f)) {}

ConnectionStatusLine::~ConnectionStatusLine() {
    if (scheduler_ != nullptr && entry_ != 0) {
        scheduler_->Remove(entry_);
    }
}

void ConnectionStatusLine::Start() {
    if (scheduler_ == nullptr || entry_ != 0) {
        return;
    }
    entry_ = scheduler_->Add([this](const std::string&, std::uintptr_t) { Update(); }, 0, kPeriodMs,
                             TimerScheduler::kRepeat);
    Update();
}

int ConnectionStatusLine::StateFor(const StatusLineSource& source) {
    const int manager = source.ManagerState();
    if (manager <= 0) {
        return kDisconnected;
    }
    if (manager == 1 || manager == 2) {
        return kConnecting;
    }
    if (source.CallOrForumActive()) {
        return kInCall;
    }
    if (source.IncomingCallWaiting()) {
        return kCallWaiting;
    }
    return kOnline;
}

int ConnectionStatusLine::IconFor(int state) {
    switch (state) {
        case kDisconnected:
            return 439;
        case kConnecting:
            return 438;
        case kCallWaiting:
            return 442;
        case kInCall:
            return 443;
        default:
            return 437;
    }
}

std::string ConnectionStatusLine::TextFor(int state, bool forum, std::int32_t ping,
                                          float packetLoss) {
    std::string suffix;
    if (state >= kOnline && ping != 0) {
        char buffer[96];
        std::snprintf(buffer, sizeof buffer, " - Ping: %ld ms  Ploss: %3.0f%%",
                      static_cast<long>(ping), static_cast<double>(packetLoss));
        suffix = buffer;
    }
    switch (state) {
        case kDisconnected:
            return "Disconnected - Click to connect to the Quorvane voice server";
        case kConnecting:
            return "Connecting";
        case kCallWaiting:
            return "Click here to answer this call" + suffix;
        case kInCall:
            return (forum ? "Click here to leave this forum" : "Click here to hang up this call") +
                   suffix;
        default:
            return "Online" + suffix;
    }
}

void ConnectionStatusLine::Update() {
    const int state = StateFor(source_);
    const std::int32_t ping = state >= kOnline ? source_.Ping() : 0;
    const bool forum = state == kInCall && source_.ActiveIsForum();
    if (shown_ && state == state_ && ping == ping_ && forum == forum_) {
        return;
    }
    state_ = state;
    ping_ = ping;
    forum_ = forum;
    text_ = TextFor(state, forum, ping, ping != 0 ? source_.PacketLoss() : 0.0f);
    if (view_ != nullptr) {
        view_->ShowStatus(state_, IconFor(state_), text_);
        shown_ = true;
    }
}

void ConnectionStatusLine::SetView(StatusLineView* view) {
    view_ = view;
    shown_ = false;
    if (view_ != nullptr) {
        view_->ShowStatus(state_, IconFor(state_), text_);
        shown_ = true;
    }
}

ConnectionStatusLine::Click ConnectionStatusLine::ClickAction() const {
    switch (state_) {
        case kDisconnected:
            return Click::Connect;
        case kCallWaiting:
            return Click::Answer;
        case kInCall:
            return forum_ ? Click::Leave : Click::HangUp;
        default:
            return Click::None;
    }
}

}  // namespace qv
