#pragma once

// The forum items of the participant context menu, as data: which show for whom, their texts and
// their order. The base items ("&Send Instant Message" ... "Mu&te Participant", "&Block
// Participant") come from the window's own menu; Mute is listed here too because its action is
// a forum one.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "calls/UserListText.h"

namespace qv {

enum class ParticipantAction {
    kInviteToWebTour,
    kRemoveFromWebTour,
    kMakeModerator,
    kMakeOwner,
    kRevokeModerator,
    kKick,
    kBan,
    kUnban,
    kGiveMicrophone,
    kTakeMicrophone,
    kGiveMicrophoneToSelection,
    kTakeMicrophoneFromSelection,
    kDisband,
    kMute,
};

struct ParticipantMenuItem {
    ParticipantAction action;
    const char* text;
    bool operator==(const ParticipantMenuItem& o) const;
};

// Participant flag bits (CallParticipant::flags).
struct ParticipantMenuContext {
    // The EnableModeration customisation switch: owner items, microphone items and disband.
    bool enableModeration = false;
    // The active slot is a forum (the forum items other than web tour and mute need one).
    bool inForum = false;
    bool webTourRunning = false;
    // The target is in the running web tour (then "&Remove from Web Tour").
    bool targetInWebTour = false;
    bool controlledMicrophones = false;
    // The local user's own participant flags, and the clicked participant's.
    std::uint32_t myFlags = 0;
    std::uint32_t targetFlags = 0;
    // How many participants are selected; 2 or more shows the selection's microphone items
    // instead of the clicked one's.
    std::size_t selectionCount = 1;
};

// Owner: flag 0x80000. Moderator for the menu: moderator or owner.
bool IsOwner(std::uint32_t flags);
bool IsModeratorOrOwner(std::uint32_t flags);

// The items in shown order.
std::vector<ParticipantMenuItem> ForumMenuItems(const ParticipantMenuContext& context);

}  // namespace qv
