// Calls through the sonaro-server program: fake engines of real directory accounts invite,
// answer, decline, hold and hang up over TLS, and read what the server sends each of them.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <memory>
#include <string>
#include <vector>

#include "DirectoryAccounts.h"
#include "FrameText.h"
#include "RawVoiceClient.h"
#include "support/DirectoryServiceProcess.h"
#include "support/TempFolder.h"
#include "support/VoiceServerProcess.h"

namespace qv::voicesvc::test {
namespace {

using Lines = std::vector<std::string>;

class VoiceServerConferenceTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(directory.Host().empty()) << "no directory service"; }
    void TearDown() override {
        if (server == nullptr || server->Port() == 0) {
            return;
        }
        const int status = server->Stop();
        EXPECT_TRUE(status < 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << status;
        const std::string log = server->Log();
        EXPECT_EQ(log.find("Sanitizer"), std::string::npos) << log;
        EXPECT_EQ(log.find("runtime error"), std::string::npos) << log;
        EXPECT_EQ(log.find("which its version lacks"), std::string::npos) << log;
    }

    void Start(std::vector<std::string> extra = {}) {
        server = std::make_unique<qv::test::VoiceServerProcess>(QV_VOICE_SERVER_PROGRAM, folder,
                                                                directory.TicketPublicKey(), extra);
        ASSERT_GT(server->Port(), 0) << "the voice server did not start";
        ann = CreateAccount(directory, "Annie");
        bob = CreateAccount(directory, "Bobby");
        cid = CreateAccount(directory, "Cidney");
    }

    // Version 3 unless told: these are the conference rules; the media frames a version 4
    // session gets on top (MediaOffer, MediaStream) are VoiceServerMediaTest's.
    std::unique_ptr<RawVoiceClient> LoggedIn(const Account& account,
                                             std::uint16_t protocol = voice::kConferenceVersion) {
        auto client = std::make_unique<RawVoiceClient>();
        client->caFile = server->CaFile();
        EXPECT_TRUE(client->Connect(server->Port()));
        EXPECT_TRUE(client->Login(account.id, SignedTicket(directory, account), protocol))
            << account.id;
        return client;
    }

    // The next n frames as text; fewer when they do not come.
    static Lines Take(RawVoiceClient& client, std::size_t n) {
        Lines lines;
        while (lines.size() < n) {
            const auto frame = client.Next();
            if (!frame) {
                break;
            }
            lines.push_back(FrameText(*frame));
        }
        return lines;
    }

    // "MemberJoined 1 Annie <id> [I] 0" and the like, for an account.
    static std::string Row(const char* what, int conference, const Account& a,
                           const std::string& rest) {
        return std::string(what) + " " + std::to_string(conference) + " " + a.nickname + " " +
               a.id + " " + rest;
    }

    static std::string Invite(const Account& a) {
        return voice::Encode(voice::InviteUser{a.id, 0, ""});
    }
    static std::string Accept(int conference) {
        return voice::Encode(voice::AcceptConference{conference});
    }
    static std::string Hold(int conference) { return voice::EncodeHold({conference, 0, ""}); }
    static std::string Leave(int conference) { return voice::EncodeLeave({conference, 0, ""}); }

    qv::test::TempFolder folder;
    qv::test::DirectoryServiceProcess directory{QV_DIRECTORY_PROGRAM, folder};
    std::unique_ptr<qv::test::VoiceServerProcess> server;
    Account ann;
    Account bob;
    Account cid;
};

TEST_F(VoiceServerConferenceTest, ACallRingsIsAnsweredAndEndsWhenBothHangUp) {
    Start();
    auto a = LoggedIn(ann);
    auto b = LoggedIn(bob);
    ASSERT_TRUE(a->Send(voice::Encode(voice::InviteUser{bob.id, 0, "hi"})));
    EXPECT_EQ(Take(*a, 3), (Lines{
                               "Joined 1 1 0",
                               Row("MemberJoined", 1, ann, "[] 0"),
                               Row("MemberJoined", 1, bob, "[I] 0"),
                           }));
    EXPECT_EQ(Take(*b, 1), (Lines{Row("Invitation", 1, ann, "0 hi")}));

    ASSERT_TRUE(b->Send(Accept(1)));
    EXPECT_EQ(Take(*a, 2), (Lines{
                               "Accepted 1 1 " + bob.nickname + " " + bob.id + " 0 ",
                               Row("MemberChanged", 1, bob, "[]"),
                           }));
    EXPECT_EQ(Take(*b, 3), (Lines{
                               "Joined 1 1 0",
                               Row("MemberJoined", 1, ann, "[] 1"),
                               Row("MemberJoined", 1, bob, "[] 0"),
                           }));

    // Bob hangs up; Ann is alone in the call until her client hangs up too.
    ASSERT_TRUE(b->Send(Leave(1)));
    EXPECT_EQ(Take(*b, 1), (Lines{"Joined 1 0 1"}));
    EXPECT_EQ(Take(*a, 1), (Lines{Row("MemberLeft", 1, bob, "0")}));
    ASSERT_TRUE(a->Send(voice::Encode(voice::CancelInvitations{bob.id + "\n", 0, ""})));
    ASSERT_TRUE(a->Send(Leave(1)));
    EXPECT_EQ(Take(*a, 1), (Lines{"Joined 1 0 1"}));
    EXPECT_TRUE(b->Quiet(200));
}

TEST_F(VoiceServerConferenceTest, ADeclineSendsItsReasonBeforeTheRowGoes) {
    Start();
    auto a = LoggedIn(ann);
    auto b = LoggedIn(bob);
    ASSERT_TRUE(a->Send(Invite(bob)));
    Take(*a, 3);
    Take(*b, 1);
    ASSERT_TRUE(b->Send(voice::EncodeDecline({1, 1, "Please do not disturb."})));
    EXPECT_EQ(Take(*a, 2),
              (Lines{
                  "Accepted 1 0 " + bob.nickname + " " + bob.id + " 1 Please do not disturb.",
                  Row("MemberLeft", 1, bob, "1"),
              }));
    EXPECT_TRUE(b->Quiet(200));
}

TEST_F(VoiceServerConferenceTest, AnInviteeThatIsNotThereForCallsIsOffline) {
    Start();
    auto a = LoggedIn(ann);
    // Cidney is not logged in at all; Bobby's engine speaks only version 2.
    ASSERT_TRUE(a->Send(Invite(cid)));
    EXPECT_EQ(Take(*a, 3), (Lines{
                               "Joined 1 1 0",
                               Row("MemberJoined", 1, ann, "[] 0"),
                               "ServerMessage 1 5 User is offline - " + cid.id,
                           }));
    auto old = LoggedIn(bob, 2);
    ASSERT_TRUE(a->Send(Invite(bob)));
    EXPECT_EQ(Take(*a, 1), (Lines{"ServerMessage 1 5 User is offline - " + bob.id}));
    // The old engine was sent nothing of the call, and may not make one.
    EXPECT_TRUE(old->Quiet(300));
    ASSERT_TRUE(old->Send(Invite(ann)));
    EXPECT_TRUE(old->WaitClosed());
    EXPECT_TRUE(server->LogShows("protocol error: unexpected message type")) << server->Log();
}

TEST_F(VoiceServerConferenceTest, CallWaitingHoldAndSwitch) {
    Start();
    auto a = LoggedIn(ann);
    auto b = LoggedIn(bob);
    auto c = LoggedIn(cid);
    ASSERT_TRUE(a->Send(Invite(bob)));
    Take(*a, 3);
    Take(*b, 1);
    ASSERT_TRUE(b->Send(Accept(1)));
    Take(*a, 2);
    Take(*b, 3);

    // Cidney calls Bobby while he talks to Annie.
    ASSERT_TRUE(c->Send(Invite(bob)));
    EXPECT_EQ(Take(*c, 3).back(), Row("MemberJoined", 2, bob, "[I] 0"));
    EXPECT_EQ(Take(*b, 1), (Lines{Row("Invitation", 2, cid, "0 ")}));
    // He picks up: Annie's call on hold, Cidney's answered.
    ASSERT_TRUE(b->Send(Hold(1) + Accept(2)));
    EXPECT_EQ(Take(*a, 1), (Lines{Row("MemberChanged", 1, bob, "[H]")}));
    EXPECT_EQ(Take(*b, 4), (Lines{
                               "Joined 1 0 0",
                               "Joined 2 1 0",
                               Row("MemberJoined", 2, cid, "[] 1"),
                               Row("MemberJoined", 2, bob, "[] 0"),
                           }));
    EXPECT_EQ(Take(*c, 2).front(), "Accepted 2 1 " + bob.nickname + " " + bob.id + " 0 ");
    // And switches back: Annie's call is joined again.
    ASSERT_TRUE(b->Send(Hold(2) + Accept(1)));
    EXPECT_EQ(Take(*b, 2), (Lines{"Joined 2 0 0", "Joined 1 1 0"}));
    EXPECT_EQ(Take(*a, 1), (Lines{Row("MemberChanged", 1, bob, "[]")}));
    EXPECT_EQ(Take(*c, 1), (Lines{Row("MemberChanged", 2, bob, "[H]")}));
    // His connection breaks: he leaves both calls, the active and the held one.
    b.reset();
    EXPECT_EQ(Take(*a, 1), (Lines{Row("MemberLeft", 1, bob, "3")}));
    EXPECT_EQ(Take(*c, 1), (Lines{Row("MemberLeft", 2, bob, "3")}));
}

TEST_F(VoiceServerConferenceTest, AConnectionThatEndsLeavesItsCalls) {
    Start();
    auto a = LoggedIn(ann);
    auto b = LoggedIn(bob);
    auto c = LoggedIn(cid);
    // The invitee vanishes while it rings: declined for it, as unanswered.
    ASSERT_TRUE(a->Send(Invite(bob)));
    Take(*a, 3);
    Take(*b, 1);
    b.reset();
    EXPECT_EQ(Take(*a, 2), (Lines{
                               "Accepted 1 0 " + bob.nickname + " " + bob.id + " 3 ",
                               Row("MemberLeft", 1, bob, "1"),
                           }));
    // The caller vanishes while it rings: the invitation is withdrawn.
    ASSERT_TRUE(a->Send(Invite(cid)));
    EXPECT_EQ(Take(*a, 1), (Lines{Row("MemberJoined", 1, cid, "[I] 0")}));
    EXPECT_EQ(Take(*c, 1), (Lines{Row("Invitation", 1, ann, "0 ")}));
    ASSERT_TRUE(a->Send(voice::Encode(voice::Bye{})));
    EXPECT_EQ(Take(*c, 1), (Lines{Row("InvitationCancel", 1, ann, "0 ")}));
    // Answering it now is told the same.
    ASSERT_TRUE(c->Send(Accept(1)));
    EXPECT_EQ(Take(*c, 1), (Lines{"InvitationCancel 1   0 "}));
}

TEST_F(VoiceServerConferenceTest, TheServerEndsUnansweredAndBlockedInvitations) {
    // Short lifetimes, so the test need not wait a minute.
    Start({"--invitation-lifetime-ms", "1500", "--blocked-invitation-ms", "1000"});
    auto a = LoggedIn(ann);
    auto b = LoggedIn(bob);
    auto c = LoggedIn(cid);
    ASSERT_TRUE(a->Send(Invite(bob)));
    Take(*a, 3);
    Take(*b, 1);
    EXPECT_EQ(Take(*a, 2), (Lines{
                               "Accepted 1 0 " + bob.nickname + " " + bob.id + " 3 ",
                               Row("MemberLeft", 1, bob, "1"),
                           }));
    EXPECT_EQ(Take(*b, 1), (Lines{Row("InvitationCancel", 1, ann, "0 ")}));

    // Cidney blocks Annie: she is never asked, and Annie only sees no answer.
    ASSERT_TRUE(c->Send(voice::EncodeBlockList({0, ann.id + "\n"})));
    ASSERT_TRUE(c->RoundTrip());
    ASSERT_TRUE(a->Send(Invite(cid)));
    EXPECT_EQ(Take(*a, 1), (Lines{Row("MemberJoined", 1, cid, "[I] 0")}));
    EXPECT_EQ(Take(*a, 2), (Lines{
                               "Accepted 1 0 " + cid.nickname + " " + cid.id + " 3 ",
                               Row("MemberLeft", 1, cid, "1"),
                           }));
    EXPECT_TRUE(c->Quiet(300));
}

}  // namespace
}  // namespace qv::voicesvc::test
