#pragma once

// What a contact's item in the contact list shows: its presence icon, or the kind of the alert
// that waits from it. Plain rules, shared by the window and its tests.

#include <cstdint>
#include <optional>

namespace qv {

// The pictures a contact item can show.
enum class ContactIcon : int {
    kOffline = 0,
    kOnline,
    kAway,              // bit 1
    kDoNotDisturb,      // bit 2
    kOccupied,          // bit 3
    kAvailableForChat,  // bit 4
    kInstantMessage,
    kInstantMessageHighPriority,
    kForumInvitation,
    kWebInvitation,  // a website or a web tour
    kVoiceMail,
    kVoiceMailHighPriority,
};
inline constexpr int kContactIconCount = 12;

namespace presence {
inline constexpr std::uint32_t kOnline = 0x01;
inline constexpr std::uint32_t kAway = 0x02;
inline constexpr std::uint32_t kDoNotDisturb = 0x04;
inline constexpr std::uint32_t kOccupied = 0x08;
inline constexpr std::uint32_t kAvailableForChat = 0x10;
// Set by a contact who does not want to be seen online: counts as offline.
inline constexpr std::uint32_t kHidden = 0x20;
}  // namespace presence

// Alert kinds (their window templates) that a contact item can show.
namespace alert_kind {
inline constexpr int kInstantMessage = 174;
inline constexpr int kSystemNotice = 186;
inline constexpr int kForumInvitation = 189;
inline constexpr int kWebsiteInvitation = 347;
inline constexpr int kWebTourInvitation = 366;
inline constexpr int kVoiceMail = 383;
}  // namespace alert_kind

// Bit 0 of the message flags.
inline constexpr std::uint16_t kHighPriorityMessage = 0x01;

// Online and not hidden.
bool IsShownOnline(std::uint32_t presenceFlags);

// The offline icon, or the online variant of the flags: bit 2 over 3 over 1 over 4.
ContactIcon PresenceIcon(std::uint32_t presenceFlags);

// The icon of a waiting alert from the contact, or none when the alert does not show: a kind
// that has no icon, any alert while the user is in do-not-disturb mode, and in occupied mode
// any alert that is not high priority. ownMode is the user's own presence mode.
std::optional<ContactIcon> AlertIcon(int alertKind, std::uint16_t messageFlags,
                                     std::uint16_t ownMode);

// Whether the item is left out of the tree: offline while only online contacts are shown.
bool IsHiddenContact(std::uint32_t presenceFlags, bool showOnlineOnly);

}  // namespace qv
