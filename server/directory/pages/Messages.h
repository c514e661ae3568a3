#pragma once

// Failure messages. The first three and the list texts are compared by the client (the login
// one without regard to case, the others exactly), so they must stay byte for byte as they are.

namespace qv::dirsvc::messages {

inline constexpr const char* kInvalidLogin = "Invalid userid or password";
inline constexpr const char* kNickNameTaken = "NickName already exists";
inline constexpr const char* kInvalidNickName = "Invalid NickName";

// Compared exactly by the client's contact and block lists.
inline constexpr const char* kContactPresent = "Contact already present in group";
inline constexpr const char* kContactNotPresent = "Contact not present in group";
inline constexpr const char* kGroupExists = "Group already exists";
inline constexpr const char* kGroupNotFound = "Group not found";
inline constexpr const char* kAlreadyBlocked = "Already blocked";
inline constexpr const char* kNotBlocked = "Not Blocked";
// The client drops a change refused with one of these instead of sending it again.
inline constexpr const char* kInvalidGroupName = "Invalid group name";
inline constexpr const char* kTooManyContacts = "Too many contacts";
inline constexpr const char* kTooManyGroups = "Too many groups";
inline constexpr const char* kTooManyBlocked = "Too many blocked users";
inline constexpr const char* kBlockSelf = "You can't block yourself";
inline constexpr const char* kUnknownPartnerSite = "Unknown partner site";

inline constexpr const char* kInvalidEmail = "The email address you have entered is not valid.";
inline constexpr const char* kUserNotFound = "User not found";
inline constexpr const char* kInvalidConnection =
    "Your connection to the directory has expired. Please log in again.";
inline constexpr const char* kAccessDenied = "Access denied";
inline constexpr const char* kDatabase =
    "The directory database is not available at the moment. Please try again later.";
inline constexpr const char* kBusy = "The service is busy. Please try again in a moment.";
inline constexpr const char* kNoMoreNumbers =
    "Quorvane is not accepting any more accounts at this time.";
inline constexpr const char* kAccountMailFailed =
    "Your account could not be created because its e-mail could not be sent. Please try again "
    "later.";
inline constexpr const char* kPasswordMailFailed =
    "The e-mail with your new password could not be sent. Please try again later.";
inline constexpr const char* kPasswordMailedRecently =
    "A new password was e-mailed to you a few minutes ago. Please check your mail.";
inline constexpr const char* kTooManyRegistrations =
    "Too many new accounts were made from your address. Please try again later.";
inline constexpr const char* kTooManyPasswordMails =
    "Too many new passwords were asked for from your address. Please try again later.";
inline constexpr const char* kUnknownPartner = "Unknown partner";
inline constexpr const char* kNotAllowed = "Not allowed";

}  // namespace qv::dirsvc::messages
