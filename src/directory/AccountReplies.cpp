#include "directory/AccountReplies.h"

#include <initializer_list>
#include <optional>

#include "directory/DirectoryStatus.h"
#include "directory/ReplyGrammar.h"

namespace qv {

namespace {

constexpr std::string_view kInvalidLogin = "Invalid userid or password";

struct Binding {
    std::string_view key;
    std::string UserProfile::*field;
};

// Fills every bound field; false when one is missing.
bool ReadRequired(std::string_view reply, std::initializer_list<Binding> bindings,
                  UserProfile& profile) {
    for (const Binding& b : bindings) {
        std::optional<std::string> value = reply::FindField(reply, b.key);
        if (!value) {
            return false;
        }
        profile.*(b.field) = std::move(*value);
    }
    return true;
}

ProfileReply ProfileFailure(std::string error) {
    ProfileReply out;
    out.status = kStatusFailure;
    out.error = std::move(error);
    return out;
}

}  // namespace

LoginReply ParseLoginReply(std::string_view reply) {
    LoginReply out;
    if (reply::IsSuccess(reply)) {
        auto id = reply::FindField(reply, "ConnectId");
        auto contacts = reply::FindField(reply, "ContactListVer");
        auto blocks = reply::FindField(reply, "BlockListVer");
        auto partners = reply::FindField(reply, "PartnerListVer");
        auto params = reply::FindField(reply, "PartnerParamsVer");
        auto nick = reply::FindField(reply, "NickName");
        if (id && contacts && blocks && partners && params && nick) {
            out.status = kStatusSuccess;
            out.text = std::string(reply);
            out.connectId = std::move(*id);
            if (auto ticket = reply::FindField(reply, "VoiceTicket")) {
                out.voiceTicket = std::move(*ticket);
            }
            out.nickName = std::move(*nick);
            out.contactListVersion = reply::Number(*contacts);
            out.blockListVersion = reply::Number(*blocks);
            out.partnerListVersion = reply::Number(*partners);
            out.partnerParamsVersion = reply::Number(*params);
            return out;
        }
    }
    out.text = reply::ErrorText(reply);
    out.status =
        reply::EqualsNoCase(out.text, kInvalidLogin) ? kStatusInvalidLogin : kStatusFailure;
    return out;
}

RegisterReply ParseRegisterReply(std::string_view reply) {
    RegisterReply out;
    if (!reply::IsSuccess(reply)) {
        out.error = reply::ErrorText(reply);
        return out;
    }
    out.status = kStatusSuccess;
    out.loginId = reply::Field(reply, "LoginId");
    out.password = reply::Field(reply, "Password");
    return out;
}

StatusReply ParseStatusReply(std::string_view reply) {
    if (reply::IsSuccess(reply)) {
        return {kStatusSuccess, {}};
    }
    return {kStatusFailure, reply::ErrorText(reply)};
}

ProfileReply ParseUserProfileReply(std::string_view reply, std::string_view url) {
    if (!reply::IsSuccess(reply)) {
        return ProfileFailure(reply::ErrorText(reply));
    }
    ProfileReply out;
    out.profile.LoginId = reply::TextAfterKey(url, "LoginId");
    const bool complete = ReadRequired(reply,
                                       {{"NickName", &UserProfile::NickName},
                                        {"FirstName", &UserProfile::FirstName},
                                        {"LastName", &UserProfile::LastName},
                                        {"Email1", &UserProfile::Email1},
                                        {"Company", &UserProfile::Company},
                                        {"Comment", &UserProfile::Comment},
                                        {"Address1", &UserProfile::Address1},
                                        {"Address2", &UserProfile::Address2},
                                        {"City", &UserProfile::City},
                                        {"State", &UserProfile::State},
                                        {"Zip", &UserProfile::Zip},
                                        {"Country", &UserProfile::Country},
                                        {"TeleHome", &UserProfile::TeleHome},
                                        {"TeleOffice", &UserProfile::TeleOffice},
                                        {"Fax", &UserProfile::Fax},
                                        {"Cell", &UserProfile::Cell},
                                        {"Pager", &UserProfile::Pager},
                                        {"HomePage", &UserProfile::HomePage}},
                                       out.profile);
    if (!complete) {
        return ProfileFailure(reply::kDatabaseConnectionMessage);
    }
    out.profile.state = 1;
    out.status = kStatusSuccess;
    return out;
}

ProfileReply ParseProfileExReply(std::string_view reply, std::string_view url) {
    if (!reply::IsSuccess(reply)) {
        return ProfileFailure(reply::ErrorText(reply));
    }
    ProfileReply out;
    out.profile.LoginId = reply::TextAfterKey(url, "LoginId");
    const bool complete = ReadRequired(reply,
                                       {{"NickName", &UserProfile::NickName},
                                        {"FirstName", &UserProfile::FirstName},
                                        {"LastName", &UserProfile::LastName},
                                        {"Email1", &UserProfile::Email1},
                                        {"Company", &UserProfile::Company},
                                        {"Comment", &UserProfile::Comment}},
                                       out.profile);
    if (!complete) {
        return ProfileFailure(reply::kDatabaseConnectionMessage);
    }
    if (auto hide = reply::FindField(reply, "HideEmail")) {
        out.profile.showEmail = reply::Number(*hide) == 1 ? 0 : 1;
    }
    if (auto mails = reply::FindField(reply, "SubscribeToMails")) {
        out.profile.SubscribeToMails = reply::Number(*mails) == 1 ? 1 : 0;
    }
    out.profile.state = 1;
    out.status = kStatusSuccess;
    return out;
}

}  // namespace qv
