// The forum operations of the CallManager: joining and creating, what happens once joined or
// thrown out, speaking privileges and forced push-to-talk by forum size.

#include <memory>

#include "calls/ActiveCallPane.h"
#include "calls/CallChatLines.h"
#include "calls/CallManager.h"
#include "calls/CallSurroundings.h"
#include "calls/ForcedPushToTalk.h"
#include "calls/ForumModeration.h"
#include "calls/ForumNames.h"
#include "engine/CSonaroManager.h"
#include "messaging/SystemNotices.h"
#include "platform/TickClock.h"
#include "platform/Trace.h"
#include "settings/Options.h"

namespace qv {

namespace {

constexpr std::int32_t kHiddenFlag = 1;
constexpr std::int32_t kJoinOnlyFlag = 2;
constexpr std::int32_t kModeratedFlag = 4;
constexpr std::int32_t kControlledMicrophonesFlag = 8;
constexpr std::int16_t kBan = 1;

void CanTalkThunk(bool onOff, void* context) {
    static_cast<CallManager*>(context)->OnCanTalk(onOff);
}

}  // namespace

void CallManager::SubscribeForums() {
    engine_.Subscribe<engine_event::canTalkEvent>(&CanTalkThunk, this);
}

void CallManager::UnsubscribeForums() {
    engine_.Unsubscribe<engine_event::canTalkEvent>(&CanTalkThunk, this);
}

bool CallManager::JoinExistingForum(const std::string& path, const std::string& password,
                                    std::int32_t firstOption, bool moderated, bool /*ignored*/,
                                    bool webTour, bool controlledMicrophones, bool blockListBan) {
    Trace("CallManager", "JoinExistingForum");
    return JoinForumSlot(path, password, firstOption, kJoinOnlyFlag, moderated, webTour,
                         controlledMicrophones, blockListBan);
}

bool CallManager::CreateOrJoinForum(const std::string& path, const std::string& password,
                                    bool hidden, bool moderated, bool secondFlag, bool webTour,
                                    bool controlledMicrophones, bool blockListBan) {
    Trace("CallManager", "CreateOrJoinForum");
    const std::int32_t flags = (hidden ? kHiddenFlag : 0) | (secondFlag ? kJoinOnlyFlag : 0) |
                               (moderated ? kModeratedFlag : 0) |
                               (controlledMicrophones ? kControlledMicrophonesFlag : 0);
    return JoinForumSlot(path, password, hidden ? 1 : 0, flags, moderated, webTour,
                         controlledMicrophones, blockListBan);
}

bool CallManager::JoinForumSlot(const std::string& path, const std::string& password,
                                std::int32_t firstOption, std::int32_t flags, bool moderated,
                                bool webTour, bool controlledMicrophones, bool blockListBan) {
    // An empty path would be the engine's leave, not a join.
    if (path.empty()) {
        return false;
    }
    if (stopVoiceMail_) {
        stopVoiceMail_();
    }
    if (!webTour) {
        if (path.size() > kMaxForumPath) {
            notices_.AddSystemNotice(forum_text::kTooLong, true, wallClock_());
            return false;
        }
        if (surroundings_ != nullptr) {
            surroundings_->WebTourVoiceLinkOff();
        }
    }
    if (ActiveIsForum() && active_->forumName == path) {
        return true;
    }
    EndActiveToFill();
    if (!engine_.JoinForum(path, password, flags)) {
        return false;
    }
    auto record = std::make_unique<CallRecord>();
    record->forumName = path;
    record->forumPassword = password;
    record->forumFirstOption = firstOption;
    record->startTime = clock_.Now();
    record->connected = false;
    record->webTourForum = webTour;
    record->controlledMicrophones = controlledMicrophones;
    record->forumOptionWord1 = moderated ? 1 : 0;
    record->forumOptionWord2 = blockListBan ? 1 : 0;
    active_ = std::move(record);
    // A new forum starts with its own count.
    if (forcedPushToTalk_) {
        SetForced(false);
    }
    if (activePane_ != nullptr) {
        activePane_->ShowActive(active_.get());
    }
    return true;
}

void CallManager::ForumJoined(const std::string& groupName) {
    if (!ActiveIsForum()) {
        return;
    }
    if (active_->connected) {
        // Renamed by its owner: every member hears the new path.
        if (active_->forumName != groupName) {
            active_->forumName = groupName;
            if (activePane_ != nullptr) {
                activePane_->Refresh();
            }
        }
        return;
    }
    // The answer to an earlier join (left before it came) is not this forum's.
    if (active_->forumName != groupName) {
        return;
    }
    active_->connected = true;
    active_->startTime = clock_.Now();
    if (chat_ != nullptr) {
        chat_->JoinedForum(active_->forumName);
    }
    if (!active_->webTourForum && active_->controlledMicrophones) {
        if (!controlledNoticeShown_) {
            controlledNoticeShown_ = true;
            notices_.AddSystemNotice(kControlledMicrophonesNotice, true, wallClock_());
        } else if (chat_ != nullptr) {
            chat_->NoticeLine(kControlledMicrophonesNotice);
        }
    }
    if (activePane_ != nullptr) {
        activePane_->Refresh();
    }
    if (active_->forumOptionWord2 != 0 && surroundings_ != nullptr) {
        for (const std::string& id : surroundings_->BlockedIds()) {
            engine_.BanMember(id, kBan);
        }
    }
}

void CallManager::ForumEndedByServer() {
    // Only a forum the user is in: the answer to the user's own leave finds the slot empty, or
    // holding the next forum still joining.
    if (!ActiveIsForum() || !active_->connected) {
        return;
    }
    std::unique_ptr<CallRecord> record = std::move(active_);
    if (forcedPushToTalk_) {
        SetForced(false);
    }
    if (activePane_ != nullptr) {
        activePane_->StopTextChatBlink();
        activePane_->ShowActive(nullptr);
    }
    if (chat_ != nullptr) {
        if (!record->webTourForum) {
            chat_->LeftForum(record->forumName);
        }
        chat_->NoConversation();
    }
}

void CallManager::OnCanTalk(bool onOff) {
    Trace("CallManager", "OnCanTalk");
    if (ActiveHasControlledMicrophones() && chat_ != nullptr) {
        chat_->NoticeLine(onOff ? kGrantedSpeaking : kNoSpeaking);
    }
}

void CallManager::ParticipantCountChanged(int participants) {
    ForcedPushToTalkInput in;
    in.participants = participants;
    in.forum = ActiveIsForum();
    in.webTour = ActiveIsWebTourForum();
    in.controlledMicrophones = ActiveHasControlledMicrophones();
    in.forced = forcedPushToTalk_;
    in.pushToTalkSetting = options_.PushToTalk() != 0;
    if (forcedPushToTalk_ && (!in.forum || in.webTour || in.controlledMicrophones)) {
        SetForced(false);  // forced by a forum that is no longer the active slot
        return;
    }
    const ForcedPushToTalkStep step = NextForcedPushToTalk(in);
    if (step.change == ForcedPushToTalkStep::Change::kNone) {
        return;
    }
    SetForced(step.change == ForcedPushToTalkStep::Change::kOn);
    if (!step.message.empty()) {
        notices_.AddSystemNotice(step.message, true, wallClock_());
    }
}

void CallManager::SetForced(bool on) {
    forcedPushToTalk_ = on;
    if (activePane_ != nullptr) {
        activePane_->ForcedPushToTalkChanged(on);
    }
}

ForumModeration& CallManager::Moderation() {
    if (!moderation_) {
        moderation_ =
            std::make_unique<ForumModeration>(engine_, notices_, [this] { return wallClock_(); });
    }
    return *moderation_;
}

}  // namespace qv
