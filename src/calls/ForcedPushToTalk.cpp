#include "calls/ForcedPushToTalk.h"

namespace qv {

ForcedPushToTalkStep NextForcedPushToTalk(const ForcedPushToTalkInput& in) {
    ForcedPushToTalkStep step;
    if (!in.forum || in.webTour || in.controlledMicrophones) {
        return step;
    }
    if (!in.forced && in.participants >= kForcedPushToTalkFrom) {
        step.change = ForcedPushToTalkStep::Change::kOn;
        if (!in.pushToTalkSetting) {
            step.message = forced_push_to_talk_text::kOn;
        }
    } else if (in.forced && in.participants < kForcedPushToTalkBelow) {
        step.change = ForcedPushToTalkStep::Change::kOff;
        if (!in.pushToTalkSetting) {
            step.message = forced_push_to_talk_text::kOff;
        }
    }
    return step;
}

}  // namespace qv
