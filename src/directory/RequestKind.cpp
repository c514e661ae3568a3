#include "directory/RequestKind.h"

namespace qv {

namespace {

struct KindInfo {
    RequestKind kind;
    std::string_view page;
    bool held;
    bool refused;
};

constexpr KindInfo kKinds[] = {
    {RequestKind::RegisterEx, "RegisterEx", false, false},
    {RequestKind::ModifyProfileEx, "ModifyProfileEx", true, true},
    {RequestKind::LoginEx2, "LoginEx2", false, false},
    {RequestKind::FindEx3, "FindEx3", false, false},
    {RequestKind::FindEx3_Next, "FindEx3_Next", false, false},
    {RequestKind::FindEx3_Prev, "FindEx3_Prev", false, false},
    {RequestKind::FindEx3_Close, "FindEx3_Close", false, false},
    {RequestKind::GetUserProfile, "GetUserProfile", false, false},
    {RequestKind::GetProfileEx, "GetProfileEx", true, false},
    {RequestKind::ForgotPass, "ForgotPass", false, false},
    {RequestKind::Invite, "Invite", true, true},
    {RequestKind::GetMessagesEx, "GetMessagesEx", true, true},
    {RequestKind::DeleteMessage, "DeleteMessage", true, true},
    {RequestKind::ReadMessage, "ReadMessage", true, true},
    {RequestKind::SendMessage, "SendMessage", true, true},
    {RequestKind::GetContacts, "GetContacts", true, true},
    {RequestKind::AddContact, "AddContact", true, true},
    {RequestKind::DeleteContact, "DeleteContact", true, true},
    {RequestKind::AddGroup, "AddGroup", true, true},
    {RequestKind::DeleteGroup, "DeleteGroup", true, true},
    {RequestKind::GetBlockList, "GetBlockList", true, true},
    {RequestKind::AddBlock, "AddBlock", true, true},
    {RequestKind::RemoveBlock, "RemoveBlock", true, true},
    {RequestKind::GetPartnersList, "GetPartnersList", true, true},
    {RequestKind::GetPartnerForums, "GetPartnerForums", true, true},
    {RequestKind::GetPartnerParams, "GetPartnerParams", false, false},
    {RequestKind::SendVoiceMail, "SendVoiceMail", true, true},
    {RequestKind::ReadVoiceMail, "ReadVoiceMail", true, true},
};

const KindInfo* Find(RequestKind kind) {
    for (const KindInfo& info : kKinds) {
        if (info.kind == kind) {
            return &info;
        }
    }
    return nullptr;
}

}  // namespace

bool IsHeldKind(RequestKind kind) {
    const KindInfo* info = Find(kind);
    return info != nullptr && info->held;
}

bool IsRefusedKind(RequestKind kind) {
    const KindInfo* info = Find(kind);
    return info != nullptr && info->refused;
}

std::string_view PageName(RequestKind kind) {
    const KindInfo* info = Find(kind);
    return info != nullptr ? info->page : std::string_view();
}

}  // namespace qv
