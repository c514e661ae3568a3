#include "calls/GlobalPushToTalk.h"

#include "calls/KeyNames.h"
#include "platform/GlobalHotKey.h"

namespace qv {

GlobalPushToTalk::GlobalPushToTalk(GlobalHotKey& key, TimerScheduler& scheduler,
                                   std::function<void()> talkStart, std::function<void()> talkStop)
    : key_(key),
      timer_(scheduler, talkStart, talkStop),
      talkStart_(std::move(talkStart)),
      talkStop_(std::move(talkStop)) {
    GlobalHotKey::Events events;
    events.pressed = [this] {
        if (key_.DesktopBindsKey()) {
            if (talkStart_) {
                talkStart_();
            }
        } else {
            timer_.Press();
        }
    };
    events.released = [this] {
        if (key_.DesktopBindsKey()) {
            if (talkStop_) {
                talkStop_();
            }
        } else {
            timer_.Release();
        }
    };
    key_.SetEvents(std::move(events));
}

GlobalPushToTalk::~GlobalPushToTalk() {
    key_.SetEvents({});
    key_.Unregister();
}

void GlobalPushToTalk::Stop() {
    key_.Unregister();
    timer_.Cancel();
}

void GlobalPushToTalk::Refresh(bool pushToTalk, bool globalPushToTalk, std::uint32_t combination) {
    Stop();
    status_.clear();
    if (!pushToTalk || !globalPushToTalk) {
        status_ = key_.Mechanism() == "None"
                      ? key_.StatusText()
                      : "Global Push To Talk is off (" + key_.Mechanism() + ").";
        return;
    }
    HotKeyCombination c;
    c.name = CombinationName(combination);
    c.keysym = KeySymForVirtualKey(combination & key_combo::kKeyMask);
    const std::uint32_t mods = CombinationModifiers(combination);
    c.shift = (mods & key_combo::kShift) != 0;
    c.ctrl = (mods & key_combo::kCtrl) != 0;
    c.alt = (mods & key_combo::kAlt) != 0;
    if (c.keysym == 0 && !key_.DesktopBindsKey()) {
        status_ = c.name + " cannot be grabbed: the key has no key symbol on this system.";
        return;
    }
    key_.Register(c);
}

bool GlobalPushToTalk::Registered() const {
    return key_.Registered();
}

std::string GlobalPushToTalk::StatusText() const {
    return status_.empty() ? key_.StatusText() : status_;
}

}  // namespace qv
