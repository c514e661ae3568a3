#pragma once

// The checks the service applies to account fields. The nickname and e-mail rules are the
// client's own, repeated here because not every caller runs them (a partner's login library
// registers accounts directly).

#include <cstddef>
#include <string_view>

namespace qv::dirsvc::fields {

constexpr size_t kMaxNickName = 32;
constexpr size_t kMaxName = 63;  // the client's address book keeps 63 bytes a field
constexpr size_t kMaxEmail = 63;
constexpr size_t kMaxCompany = 63;
constexpr size_t kMaxComment = 255;
constexpr size_t kMaxPassword = 64;

// 0 valid, 1 empty, 2 shorter than 2, 3 longer than the maximum, 4 a character outside the
// allowed set, no ASCII letter, or digits and spaces only. Applied to the trimmed text.
int CheckNickName(std::string_view trimmed, size_t maxLength = kMaxNickName);
// Nicknames that the client shows as the service's staff.
bool IsReservedNickName(std::string_view trimmed);
bool IsValidEmail(std::string_view email);
// The client's rule plus what mail needs: one address of printable ASCII without blanks, commas,
// semicolons, quotes, brackets or angle brackets (which could name further recipients).
bool IsMailableEmail(std::string_view email);
// No control bytes, no DEL, no separator byte 0xFF, and at most maxLength bytes: such bytes
// would break replies, mail headers or the client's files.
bool IsPlainText(std::string_view text, size_t maxLength);
// A password the service accepts: 1 to kMaxPassword bytes of plain text.
bool IsAcceptablePassword(std::string_view password);

constexpr size_t kMaxGroupName = 63;  // the client's address book keeps 63 bytes
// A contact group name that can travel unencoded in a query and come back in GetContacts: 1 to
// 63 bytes of plain text, none of & # % ? (they would cut the query short), neither "Group=" nor
// "Contacts" (the client's reader looks for them in the reply), no space at either end.
bool IsAllowedGroupName(std::string_view name);

}  // namespace qv::dirsvc::fields
