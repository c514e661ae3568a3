#pragma once

// The rules for forum names and for creating a forum, with the exact texts the user is shown.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "calls/ForumTree.h"

namespace qv {

namespace forum_text {
inline constexpr const char* kInvalidName =
    "You have entered a blank name, one that is less than two characters long, or one that "
    "contains invalid characters. Valid characters are numbers, letters, or the following: ` _ "
    "[] {}.";
inline constexpr const char* kTopLevel =
    "Cannot create a top level forum or category. Please choose a category for your forum or "
    "specify the full path for it. (i.e. If attempting to create a forum named \"Friends\" which "
    "you would like to place within the \"General\" category you would type: General/Friends";
inline constexpr const char* kNoFolders = "No folders creation allowed.";
inline constexpr const char* kNoCategory = "No category(folder) exist for forum.";
inline constexpr const char* kInternalError = "Internal forum creation error.";
inline constexpr const char* kTooLong = "Forum names must be 255 characters or less.";
inline constexpr const char* kJoinErrorFormat =
    "Error joining forum \"%s\". Possible reasons:\n\nYou must enter the entire path of the "
    "forum (i.e. If attempting to join a forum named \"Friends\" which is within the "
    "\"General\" category you would type: General/Friends.\n\n- IF the forum requires a "
    "password you may have entered it incorrectly.\n\n- The forum you attempted to enter "
    "contained invalid characters or inappropriate language in its title.\r\n\r\n-You were "
    "banned from the forum.\r\n\r\n-The forum you are attempting to join no longer exists or "
    "has too many users in it.";
inline constexpr const char* kUnbannedFormat = "User %s has been unbanned from this forum.";
inline constexpr const char* kCreateTitleFormat = "Create Forum in %s";
inline constexpr const char* kCreateTitle = "Create Forum";
inline constexpr const char* kDisbandTitle = "Warning";
inline constexpr const char* kDisbandQuestion =
    "All remaining participants will be kicked from forum. Proceed with disband?";
}  // namespace forum_text

// The longest path the program joins (web-tour joins aside).
inline constexpr std::size_t kMaxForumPath = 255;
// The Join dialog's name buffer holds 254 bytes: at most 253 characters, checked against 254.
inline constexpr std::size_t kJoinDialogNameMax = 254;

// Bytes allowed in a forum name: 0x20 0x2C 0x2D 0x2F 0x30-0x39 0x41-0x5B 0x5D 0x5F-0x7B 0x7D.
bool IsForumNameByte(unsigned char byte);

// Trims leading and trailing spaces of name in place, then true when it is at least 2 and at
// most maxLength bytes of allowed bytes; with digitsOnlyAllowed false a name of only digits and
// spaces fails too. A name of spaces only fails (it trims to empty).
bool CheckForumName(std::string& name, std::size_t maxLength, bool digitsOnlyAllowed);

// The Create dialog's checks, in order, under the tree lock: the name check (maximum = the
// path's own length, digits-only allowed; the path is trimmed in place), a slash somewhere, no
// slash at the end, the category (up to the last slash) in the tree, and for a new forum that is
// not hidden its addition to the tree (count 1, flags moderated 1 + password given 2 + controlled
// microphones 4). The first failing check's message, or nullopt when the forum may be created.
struct CreateRequest {
    std::string path;
    bool passwordGiven = false;
    bool hidden = false;
    bool moderated = false;
    bool controlledMicrophones = false;
};
struct CreateCheck {
    std::optional<std::string> message;
    // The forum was added to the tree here (remove it when the create fails afterwards).
    bool added = false;
};
CreateCheck CheckCreate(ForumTree& tree, const ForumTree::Lock& held, CreateRequest& request);

// "Create Forum in %s" with the category path, or "Create Forum" at the top level.
std::string CreateDialogTitle(const std::string& categoryPath);

// Replaces the first "%s" of format by value.
std::string FormatForumText(const char* format, const std::string& value);

}  // namespace qv
