#pragma once

// Command ids of the contact list and the block list, shared by their buttons, their context
// menus and the main window's View menu.

namespace qv::cmd {

// Commands on the contact list's selection
inline constexpr int kAddContact = 33101;
inline constexpr int kAddGroup = 33102;
inline constexpr int kRemoveFromList = 33103;
inline constexpr int kBlockContact = 33104;
inline constexpr int kCallContact = 33105;
inline constexpr int kSendMessage = 33106;
inline constexpr int kInviteToForum = 33107;

// View menu
inline constexpr int kViewBlockList = 33110;
inline constexpr int kViewGroups = 33111;
inline constexpr int kViewOnlineOnly = 33112;

}  // namespace qv::cmd
