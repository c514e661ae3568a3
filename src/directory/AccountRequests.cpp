#include "directory/AccountRequests.h"

#include <memory>

#include "directory/AccountReplies.h"
#include "directory/DirectoryClient.h"
#include "directory/DirectoryStatus.h"
#include "directory/DirectoryUrl.h"

namespace qv {

namespace {

constexpr std::string_view kEmptyMarker = "__EMPTY__";

std::string Page(RequestKind kind) {
    return "\\Quorvane\\" + std::string(PageName(kind)) + ".asp?";
}

std::string EncodeOrEmptyMarker(std::string_view value) {
    return EncodeParam(value.empty() ? kEmptyMarker : value);
}

// Queues the request, or reports refuse() at once when the client cannot take it.
template <typename Refuse>
bool Submit(DirectoryClient& client, RequestKind kind, std::string url,
            DirectoryRequest::Handler handler, RequestContext context, Refuse refuse) {
    if (!client.Accepts(kind)) {
        refuse();
        return false;
    }
    client.Queue(
        std::make_unique<DirectoryRequest>(kind, std::move(url), std::move(handler), context));
    return true;
}

DirectoryRequest::Handler StatusHandler(StatusCallback callback) {
    if (!callback) {
        return nullptr;
    }
    return [callback = std::move(callback)](const DirectoryRequest& request, bool deliver) {
        if (!deliver) {
            return;
        }
        StatusReply reply = ParseStatusReply(request.reply);
        callback(reply.error, reply.status, request.context);
    };
}

using ProfileParser = ProfileReply (*)(std::string_view, std::string_view);

DirectoryRequest::Handler ProfileHandler(ProfileCallback callback, ProfileParser parse) {
    if (!callback) {
        return nullptr;
    }
    return [callback = std::move(callback), parse](const DirectoryRequest& request, bool deliver) {
        if (!deliver) {
            return;
        }
        ProfileReply reply = parse(request.reply, request.url);
        callback(reply.status == kStatusSuccess ? &reply.profile : nullptr, reply.error,
                 reply.status, request.context);
    };
}

}  // namespace

bool LoginEx2(DirectoryClient& client, std::string_view loginId, std::string_view password,
              LoginCallback callback, RequestContext context) {
    client.SetLoginRefused(false);
    if (!client.IsOpen()) {
        if (callback) {
            callback(kNotConnectedMessage, {}, 0, 0, 0, 0, kStatusFailure, context);
        }
        client.SetLoginRefused(true);
        client.ReleaseHeld();
        return false;
    }
    std::string url = Page(RequestKind::LoginEx2) + "LoginId=" + std::string(loginId) +
                      "&Password=" + EncodeParam(password) +
                      "&PartnerId=" + std::to_string(client.PartnerNumber());
    DirectoryClient* owner = &client;
    auto handler = [owner, callback = std::move(callback)](const DirectoryRequest& request,
                                                           bool deliver) {
        LoginReply reply = ParseLoginReply(request.reply);
        if (reply.status == kStatusSuccess) {
            owner->SetConnectionId(reply.connectId);
            owner->SetVoiceTicket(reply.voiceTicket);
            owner->SetLoginRefused(false);
        } else {
            owner->SetConnectionId({});
            owner->SetVoiceTicket({});
            owner->SetLoginRefused(true);
        }
        if (deliver && callback) {
            callback(reply.text, reply.nickName, reply.contactListVersion, reply.blockListVersion,
                     reply.partnerListVersion, reply.partnerParamsVersion, reply.status,
                     request.context);
        }
        owner->ReleaseHeld();
    };
    client.Queue(std::make_unique<DirectoryRequest>(RequestKind::LoginEx2, std::move(url),
                                                    std::move(handler), context));
    return true;
}

bool RegisterEx(DirectoryClient& client, const UserProfile& profile, std::string_view password,
                bool mailingsAccepted, RegisterCallback callback, RequestContext context) {
    std::string url =
        Page(RequestKind::RegisterEx) + "NickName=" + EncodeParam(profile.NickName) +
        "&Password=" + EncodeParam(password) + "&FirstName=" + EncodeParam(profile.FirstName) +
        "&LastName=" + EncodeParam(profile.LastName) + "&Email1=" + EncodeParam(profile.Email1) +
        "&Company=" + EncodeParam(profile.Company) + "&Comment=" + EncodeParam(profile.Comment) +
        "&HideEmail=" + (profile.showEmail == 0 ? "1" : "0") +
        "&PartnerId=" + std::to_string(client.PartnerNumber()) +
        "&SendMailsOK=" + (mailingsAccepted ? "1" : "0");
    DirectoryRequest::Handler handler;
    if (callback) {
        handler = [callback](const DirectoryRequest& request, bool deliver) {
            if (!deliver) {
                return;
            }
            RegisterReply reply = ParseRegisterReply(request.reply);
            callback(reply.loginId, reply.password, reply.error, reply.status, request.context);
        };
    }
    return Submit(client, RequestKind::RegisterEx, std::move(url), std::move(handler), context,
                  [&] {
                      if (callback) {
                          callback({}, {}, kNotConnectedMessage, kStatusFailure, context);
                      }
                  });
}

bool ModifyProfileEx(DirectoryClient& client, const UserProfile& profile, std::string_view password,
                     StatusCallback callback, RequestContext context) {
    std::string url = Page(RequestKind::ModifyProfileEx) + "ConnectionId=" + client.ConnectionId() +
                      "&NickName=" + EncodeOrEmptyMarker(profile.NickName) +
                      "&Email1=" + EncodeOrEmptyMarker(profile.Email1) +
                      "&HideEmail=" + (profile.showEmail == 0 ? "1" : "0") +
                      "&SubscribeToMails=" + std::to_string(profile.SubscribeToMails) +
                      "&FirstName=" + EncodeOrEmptyMarker(profile.FirstName) +
                      "&LastName=" + EncodeOrEmptyMarker(profile.LastName) +
                      "&Password=" + EncodeOrEmptyMarker(password) +
                      "&Company=" + EncodeOrEmptyMarker(profile.Company) +
                      "&Comment=" + EncodeOrEmptyMarker(profile.Comment);
    StatusCallback refuse = callback;
    return Submit(client, RequestKind::ModifyProfileEx, std::move(url),
                  StatusHandler(std::move(callback)), context, [&] {
                      if (refuse) {
                          refuse(kNotConnectedMessage, kStatusFailure, context);
                      }
                  });
}

bool GetUserProfile(DirectoryClient& client, std::string_view loginId, ProfileCallback callback,
                    RequestContext context) {
    std::string url = Page(RequestKind::GetUserProfile) + "LoginId=" + std::string(loginId);
    ProfileCallback refuse = callback;
    return Submit(client, RequestKind::GetUserProfile, std::move(url),
                  ProfileHandler(std::move(callback), &ParseUserProfileReply), context, [&] {
                      if (refuse) {
                          refuse(nullptr, kNotConnectedMessage, kStatusFailure, context);
                      }
                  });
}

bool GetProfileEx(DirectoryClient& client, std::string_view loginId, ProfileCallback callback,
                  RequestContext context) {
    std::string url = Page(RequestKind::GetProfileEx) + "ConnectionID=" + client.ConnectionId() +
                      "&LoginId=" + std::string(loginId);
    ProfileCallback refuse = callback;
    return Submit(client, RequestKind::GetProfileEx, std::move(url),
                  ProfileHandler(std::move(callback), &ParseProfileExReply), context, [&] {
                      if (refuse) {
                          refuse(nullptr, kNotConnectedMessage, kStatusFailure, context);
                      }
                  });
}

bool ForgotPass(DirectoryClient& client, std::string_view loginId, StatusCallback callback,
                RequestContext context) {
    std::string url = Page(RequestKind::ForgotPass) + "LoginId=" + std::string(loginId);
    StatusCallback refuse = callback;
    return Submit(client, RequestKind::ForgotPass, std::move(url),
                  StatusHandler(std::move(callback)), context, [&] {
                      if (refuse) {
                          refuse(kNotConnectedMessage, kStatusFailure, context);
                      }
                  });
}

}  // namespace qv
