#pragma once

// The stored login: the "Login" key under the product key, with the user's id, nickname,
// password in its stored form and the profile copy.

#include <string>
#include <string_view>

namespace qv::login_key {

inline constexpr const char* kSubkey = "Login";

inline constexpr const char* kQuorvaneId = "QuorvaneID";
inline constexpr const char* kNickName = "NickName";
inline constexpr const char* kPassword = "Password";
inline constexpr const char* kLoginName = "LoginName";
inline constexpr const char* kFirstName = "FirstName";
inline constexpr const char* kLastName = "LastName";
inline constexpr const char* kEmail = "Email";
inline constexpr const char* kCompany = "Company";
inline constexpr const char* kComment = "Comment";
inline constexpr const char* kEmailPublic = "EmailPublic";
inline constexpr const char* kAllowSpam = "AllowSpam";
inline constexpr const char* kGlobalFlags = "GlobalFlags";

// Bit 0 of GlobalFlags: this user has been set up on this machine once.
inline constexpr unsigned kUserSetUp = 1;

// The stored form: byte i becomes (byte + 5 + i % 8) mod 256. Not a protection of any kind, only
// the form other installations read.
std::string EncodePassword(std::string_view typed);
std::string DecodePassword(std::string_view stored);

}  // namespace qv::login_key
