#include "stores/ContactDisplay.h"

namespace qv {

namespace {

// The user's own presence modes that change what alerts show.
constexpr std::uint16_t kOwnDoNotDisturb = 4;
constexpr std::uint16_t kOwnOccupied = 8;

}  // namespace

bool IsShownOnline(std::uint32_t presenceFlags) {
    return (presenceFlags & presence::kOnline) != 0 && (presenceFlags & presence::kHidden) == 0;
}

ContactIcon PresenceIcon(std::uint32_t presenceFlags) {
    if (!IsShownOnline(presenceFlags)) {
        return ContactIcon::kOffline;
    }
    if ((presenceFlags & presence::kDoNotDisturb) != 0) {
        return ContactIcon::kDoNotDisturb;
    }
    if ((presenceFlags & presence::kOccupied) != 0) {
        return ContactIcon::kOccupied;
    }
    if ((presenceFlags & presence::kAway) != 0) {
        return ContactIcon::kAway;
    }
    if ((presenceFlags & presence::kAvailableForChat) != 0) {
        return ContactIcon::kAvailableForChat;
    }
    return ContactIcon::kOnline;
}

std::optional<ContactIcon> AlertIcon(int alertKind, std::uint16_t messageFlags,
                                     std::uint16_t ownMode) {
    const bool high = (messageFlags & kHighPriorityMessage) != 0;
    if (ownMode == kOwnDoNotDisturb) {
        return std::nullopt;
    }
    if (ownMode == kOwnOccupied && !high) {
        return std::nullopt;
    }
    switch (alertKind) {
        case alert_kind::kInstantMessage:
            return high ? ContactIcon::kInstantMessageHighPriority : ContactIcon::kInstantMessage;
        case alert_kind::kForumInvitation:
            return ContactIcon::kForumInvitation;
        case alert_kind::kWebsiteInvitation:
        case alert_kind::kWebTourInvitation:
            return ContactIcon::kWebInvitation;
        case alert_kind::kVoiceMail:
            return high ? ContactIcon::kVoiceMailHighPriority : ContactIcon::kVoiceMail;
        default:
            return std::nullopt;
    }
}

bool IsHiddenContact(std::uint32_t presenceFlags, bool showOnlineOnly) {
    return showOnlineOnly && !IsShownOnline(presenceFlags);
}

}  // namespace qv
