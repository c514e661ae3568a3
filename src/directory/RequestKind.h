#pragma once

// The kinds of directory request: the code selects the page and the reply handler, and says
// whether a request waits for the connection id (held) and whether it fails at once after a
// refused login (refused).

#include <cstdint>
#include <string_view>

namespace qv {

enum class RequestKind : std::int32_t {
    RegisterEx = 0,
    ModifyProfileEx = 1,
    LoginEx2 = 2,
    FindEx3 = 3,
    FindEx3_Next = 4,
    FindEx3_Prev = 5,
    FindEx3_Close = 6,
    GetUserProfile = 7,
    GetProfileEx = 8,
    ForgotPass = 11,
    Invite = 12,
    GetMessagesEx = 13,
    DeleteMessage = 14,
    ReadMessage = 15,
    SendMessage = 16,
    GetContacts = 17,
    AddContact = 18,
    DeleteContact = 19,
    AddGroup = 20,
    DeleteGroup = 21,
    GetBlockList = 22,
    AddBlock = 23,
    RemoveBlock = 24,
    GetPartnersList = 25,
    GetPartnerForums = 26,
    GetPartnerParams = 27,
    SendVoiceMail = 28,
    ReadVoiceMail = 29,
};

// Waits in the Held queue while no connection id is known.
bool IsHeldKind(RequestKind kind);
// Fails at once while the last login was refused.
bool IsRefusedKind(RequestKind kind);
// The page name ("LoginEx2"); empty for a code that does not occur.
std::string_view PageName(RequestKind kind);

}  // namespace qv
