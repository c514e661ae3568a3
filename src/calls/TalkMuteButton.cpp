#include "calls/TalkMuteButton.h"

namespace qv {

void TalkMuteButton::Update(bool pushToTalkMode) {
    const bool was = pushToTalk_;
    pushToTalk_ = pushToTalkMode;
    if (engine_.setPushToTalk) {
        engine_.setPushToTalk(pushToTalk_);
    }
    if (pushToTalk_) {
        muted_ = false;
        return;
    }
    // Voice-activated now: the engine opened the microphone for the mode, so a talk that was
    // going on just ends; a muted button keeps the microphone closed.
    if (was) {
        talking_ = false;
    }
    if (muted_ && engine_.setTalk) {
        engine_.setTalk(true);
    }
}

void TalkMuteButton::Click() {
    if (pushToTalk_) {
        return;
    }
    muted_ = !muted_;
    if (engine_.setTalk) {
        engine_.setTalk(muted_);
    }
}

void TalkMuteButton::TalkStart(bool hasRecord, bool enabled) {
    if (!hasRecord || !pushToTalk_ || !enabled) {
        return;
    }
    talking_ = true;
    if (engine_.setTalk) {
        engine_.setTalk(false);
    }
}

void TalkMuteButton::TalkStop(bool hasRecord) {
    if (!hasRecord || !pushToTalk_) {
        return;
    }
    talking_ = false;
    if (engine_.setTalk) {
        engine_.setTalk(true);
    }
}

void TalkMuteButton::Release() {
    muted_ = false;
    if (talking_) {
        talking_ = false;
        if (pushToTalk_ && engine_.setTalk) {
            engine_.setTalk(true);
        }
    }
}

TalkMuteLook TalkMuteButton::Look() const {
    TalkMuteLook look;
    if (pushToTalk_) {
        look.caption = "Talk";
        look.tooltip = "Push To Talk";
        look.redCaption = true;
        look.captionColour = kRed;
        look.pushed = talking_;
    } else {
        look.caption = "Mute";
        look.tooltip = "Mute your voice";
        look.pushed = muted_;
    }
    return look;
}

}  // namespace qv
