#include "calls/ParticipantMenu.h"

#include <cstring>

namespace qv {

bool ParticipantMenuItem::operator==(const ParticipantMenuItem& o) const {
    return action == o.action && std::strcmp(text, o.text) == 0;
}

bool IsOwner(std::uint32_t flags) {
    return (flags & participant_flag::kOwner) != 0;
}

bool IsModeratorOrOwner(std::uint32_t flags) {
    return (flags & (participant_flag::kModerator | participant_flag::kOwner)) != 0;
}

std::vector<ParticipantMenuItem> ForumMenuItems(const ParticipantMenuContext& c) {
    using A = ParticipantAction;
    std::vector<ParticipantMenuItem> items;
    if (c.webTourRunning) {
        items.push_back(c.targetInWebTour
                            ? ParticipantMenuItem{A::kRemoveFromWebTour, "&Remove from Web Tour"}
                            : ParticipantMenuItem{A::kInviteToWebTour, "Invite to &Web Tour"});
    }
    if (c.inForum) {
        const bool iOwn = IsOwner(c.myFlags);
        const bool iModerate = IsModeratorOrOwner(c.myFlags);
        const bool targetOwner = IsOwner(c.targetFlags);
        const bool targetModerator = (c.targetFlags & participant_flag::kModerator) != 0;
        const bool targetPlain = !targetOwner && !targetModerator;
        const bool targetHoldsMicrophone = (c.targetFlags & participant_flag::kMicrophone) != 0;
        if (c.enableModeration && iOwn) {
            if (targetPlain) {
                items.push_back({A::kMakeModerator, "Mak&e Moderator"});
                items.push_back({A::kMakeOwner, "Make &Owner"});
            } else if (targetModerator && !targetOwner) {
                items.push_back({A::kMakeOwner, "Make &Owner"});
                items.push_back({A::kRevokeModerator, "&Revoke Moderator Status"});
            }
        }
        if (iModerate && targetPlain) {
            items.push_back({A::kKick, "&Kick User"});
            items.push_back({A::kBan, "Ban Use&r"});
        }
        if (iModerate) {
            items.push_back({A::kUnban, "&UnBan User"});
        }
        if (c.enableModeration && c.controlledMicrophones && iModerate) {
            if (c.selectionCount >= 2) {
                items.push_back({A::kGiveMicrophoneToSelection, "&Give Microphone"});
                items.push_back({A::kTakeMicrophoneFromSelection, "T&ake Away Microphone"});
            } else if (targetPlain) {
                items.push_back(
                    targetHoldsMicrophone
                        ? ParticipantMenuItem{A::kTakeMicrophone, "Take A&way Microphone"}
                        : ParticipantMenuItem{A::kGiveMicrophone, "&Give Microphone"});
            }
        }
        if (c.enableModeration && iOwn) {
            items.push_back({A::kDisband, "&Disband Forum"});
        }
    }
    items.push_back({A::kMute, "Mu&te Participant"});
    return items;
}

}  // namespace qv
