// Calls through the networked engine against a scripted server: the frames each method sends,
// the events the server's conference frames become, and the user list built from the rows.

#include "NetEngineFixture.h"

namespace qv::test {
namespace {

using Lines = std::vector<std::string>;
using Millis = std::chrono::milliseconds;
using voice::MessageType;

class NetConferenceTest : public NetEngineFixture {
  protected:
    void SetUp() override {
        NetEngineFixture::SetUp();
        LogIn();
        seen = sink.Count();
    }
    // Sends the frames, then waits for count more events: those events, which are then taken.
    Lines After(const std::vector<std::string>& frames, std::size_t count) {
        for (const std::string& f : frames) {
            EXPECT_TRUE(server.Send(f));
        }
        EXPECT_TRUE(sink.WaitForCount(seen + count));
        const Lines all = sink.Events();
        Lines out(all.begin() + static_cast<std::ptrdiff_t>(seen), all.end());
        seen = all.size();
        return out;
    }
    // Nothing more is raised for a while.
    bool Silent() { return sink.StaysAt(seen, Millis(200)); }

    static std::string Joined(std::int32_t c, int joined, int deleted) {
        return voice::Encode(voice::JoinedConference{c, static_cast<std::uint8_t>(joined),
                                                     static_cast<std::uint8_t>(deleted)});
    }
    static std::string Member(std::int32_t c, const std::string& nick, const std::string& id,
                              const std::string& letters, int existing) {
        return voice::Encode(
            voice::MemberJoined{c, nick, id, letters, static_cast<std::uint8_t>(existing)});
    }
    static std::string Changed(std::int32_t c, const std::string& nick, const std::string& id,
                               const std::string& letters) {
        return voice::Encode(voice::MemberChanged{c, nick, id, letters});
    }
    static std::string Left(std::int32_t c, const std::string& nick, const std::string& id,
                            voice::LeaveCause cause) {
        return voice::Encode(voice::MemberLeft{c, nick, id, static_cast<std::uint8_t>(cause)});
    }
    static std::string Invitation(std::int32_t c, const std::string& nick, const std::string& id) {
        return voice::EncodeInvitation(voice::InvitationNotice{c, nick, id, 0, ""});
    }

    // Ann (us, 42) calls Bob (7): conference 5 with Bob ringing.
    void CallBobRinging() {
        ASSERT_NE(Engine().InviteUser("7", 0, ""), 0);
        const auto invite = As<voice::InviteUser>(server.Next(), MessageType::kInviteUser);
        ASSERT_TRUE(invite);
        EXPECT_EQ(invite->alias, "7");
        EXPECT_EQ(
            After({Joined(5, 1, 0), Member(5, "Nick", "42", "", 0), Member(5, "Bob", "7", "I", 0)},
                  4),
            (Lines{"JoinedConference 5 1 0", "userListUpdate", "userListUpdate",
                   "userListUpdate"}));
    }
    // Bob calls us in conference 9 and we answer.
    void AnswerBob(std::int32_t c) {
        EXPECT_EQ(After({Invitation(c, "Bob", "7")}, 1),
                  Lines{"Invitation " + std::to_string(c) + " Bob 7 0 "});
        ASSERT_NE(Engine().AcceptConference(c), 0);
        const auto accept =
            As<voice::AcceptConference>(server.Next(), MessageType::kAcceptConference);
        ASSERT_TRUE(accept);
        EXPECT_EQ(accept->conference, c);
        const std::string id = std::to_string(c);
        EXPECT_EQ(
            After({Joined(c, 1, 0), Member(c, "Bob", "7", "", 1), Member(c, "Nick", "42", "", 0)},
                  5),
            (Lines{"JoinedConference " + id + " 1 0", "userListUpdate", "UserChange Bob 7 1 1",
                   "userListUpdate", "userListUpdate"}));
    }

    std::size_t seen = 0;
};

TEST_F(NetConferenceTest, TheCalleeRingsInTheCallersListAndAnswers) {
    CallBobRinging();
    EXPECT_EQ(Engine().GetUserList(), "Nick\t42\t\nBob\t7\tI\n");
    EXPECT_EQ(After({voice::Encode(voice::AcceptedConference{5, 1, "Bob", "7", 0, ""}),
                     Changed(5, "Bob", "7", "")},
                    3),
              (Lines{"AcceptedConference 1 Bob 7 0 ", "UserChange Bob 7 1 0", "userListUpdate"}));
    EXPECT_EQ(Engine().GetUserList(), "Nick\t42\t\nBob\t7\t\n");
    // Bob hangs up: we stay in the call, alone, until we leave it.
    EXPECT_EQ(After({Left(5, "Bob", "7", voice::LeaveCause::kLeft)}, 2),
              (Lines{"UserChange Bob 7 0 0", "userListUpdate"}));
    EXPECT_EQ(Engine().GetUserList(), "Nick\t42\t\n");
    ASSERT_NE(Engine().LeaveConference(5, 0, ""), 0);
    voice::ConferenceRequest leave;
    const auto frame = server.Next();
    ASSERT_TRUE(frame && frame->type == MessageType::kLeaveConference &&
                voice::Decode(frame->fields, leave));
    EXPECT_EQ(leave.conference, 5);
    EXPECT_EQ(After({Joined(5, 0, 1)}, 2), (Lines{"JoinedConference 5 0 1", "userListUpdate"}));
    EXPECT_EQ(Engine().GetUserList(), "");
    EXPECT_EQ(Engine().LeaveConference(5, 0, ""), 0);  // gone
}

TEST_F(NetConferenceTest, ADeclineComesBeforeTheCalleeDropsOut) {
    CallBobRinging();
    EXPECT_EQ(After({voice::Encode(
                         voice::AcceptedConference{5, 0, "Bob", "7", 1, "Please, do not disturb!"}),
                     Left(5, "Bob", "7", voice::LeaveCause::kDeclined)},
                    3),
              (Lines{"AcceptedConference 0 Bob 7 1 Please, do not disturb!", "UserChange Bob 7 0 0",
                     "userListUpdate"}));
    EXPECT_EQ(Engine().GetUserList(), "Nick\t42\t\n");
}

TEST_F(NetConferenceTest, RequestsCarryTheirArgumentsAndCancelGoesInPieces) {
    CallBobRinging();
    ASSERT_NE(Engine().CancelInvitations("7\n", 0, ""), 0);
    const auto cancel =
        As<voice::CancelInvitations>(server.Next(), MessageType::kCancelInvitations);
    ASSERT_TRUE(cancel);
    EXPECT_EQ(cancel->ids, "7\n");
    // A call's invited ids can outgrow one frame.
    std::string many;
    for (int i = 0; i < 9000; ++i) {
        many += std::to_string(1000000 + i) + "\n";
    }
    ASSERT_GT(many.size(), voice::kMaxCancelList);
    ASSERT_NE(Engine().CancelInvitations(many, 0, ""), 0);
    std::string joined;
    while (joined.size() < many.size()) {
        const auto piece =
            As<voice::CancelInvitations>(server.Next(), MessageType::kCancelInvitations);
        ASSERT_TRUE(piece);
        EXPECT_LE(piece->ids.size(), voice::kMaxCancelList);
        joined += piece->ids;
    }
    EXPECT_EQ(joined, many);
    EXPECT_EQ(Engine().CancelInvitations("", 0, ""), 0);
    EXPECT_EQ(Engine().InviteUser("", 0, ""), 0);
    EXPECT_EQ(Engine().InviteUser("7", 0, std::string(1024, 'x')), 0);
    EXPECT_TRUE(server.Quiet());
}

TEST_F(NetConferenceTest, AnIncomingCallIsAnsweredAndItsCallerListedFirst) {
    AnswerBob(9);
    EXPECT_EQ(Engine().GetUserList(), "Bob\t7\t\nNick\t42\t\n");
    EXPECT_EQ(Engine().AcceptConference(9), 0);  // already in it
    EXPECT_EQ(Engine().DeclineConference(9, 0, ""), 0);
    EXPECT_TRUE(server.Quiet());
}

TEST_F(NetConferenceTest, ADeclinedInvitationCannotBeAnsweredAfterwards) {
    EXPECT_EQ(After({Invitation(9, "Bob", "7")}, 1), Lines{"Invitation 9 Bob 7 0 "});
    ASSERT_NE(Engine().DeclineConference(9, 4, "I am occupied."), 0);
    voice::ConferenceRequest decline;
    const auto frame = server.Next();
    ASSERT_TRUE(frame && frame->type == MessageType::kDeclineConference &&
                voice::Decode(frame->fields, decline));
    EXPECT_EQ(decline.conference, 9);
    EXPECT_EQ(decline.reason, 4);
    EXPECT_EQ(decline.text, "I am occupied.");
    EXPECT_EQ(Engine().DeclineConference(9, 4, ""), 0);
    EXPECT_EQ(Engine().AcceptConference(9), 0);
    EXPECT_TRUE(server.Quiet());
}

TEST_F(NetConferenceTest, AWithdrawnInvitationIsCancelledAndForgotten) {
    EXPECT_EQ(After({Invitation(9, "Bob", "7"),
                     voice::EncodeInvitationCancel(voice::InvitationNotice{9, "Bob", "7", 0, ""})},
                    2),
              (Lines{"Invitation 9 Bob 7 0 ", "InvitationCancel 9 Bob 7 0 "}));
    EXPECT_EQ(Engine().AcceptConference(9), 0);
    EXPECT_TRUE(server.Quiet());
}

TEST_F(NetConferenceTest, HoldAndSwitchResumeWithAJoinAndHoldShowsAsH) {
    AnswerBob(9);
    EXPECT_EQ(After({Invitation(10, "Cat", "8")}, 1), Lines{"Invitation 10 Cat 8 0 "});
    // Picking up the waiting call: hold the one we are in, answer the other.
    ASSERT_NE(Engine().HoldConference(9, 0, ""), 0);
    ASSERT_NE(Engine().AcceptConference(10), 0);
    EXPECT_EQ(server.Next()->type, MessageType::kHoldConference);
    EXPECT_EQ(server.Next()->type, MessageType::kAcceptConference);
    EXPECT_EQ(After({Joined(9, 0, 0), Joined(10, 1, 0), Member(10, "Cat", "8", "", 1),
                     Member(10, "Nick", "42", "", 0)},
                    6),
              (Lines{"userListUpdate", "JoinedConference 10 1 0", "userListUpdate",
                     "UserChange Cat 8 1 1", "userListUpdate", "userListUpdate"}));
    EXPECT_EQ(Engine().GetUserList(), "Cat\t8\t\nNick\t42\t\n");
    EXPECT_EQ(Engine().HoldConference(9, 0, ""), 0);  // held already
    // Bob's side of the held call goes on; we see it once we are back.
    EXPECT_EQ(After({Changed(9, "Bob", "7", "H")}, 0), Lines{});
    // Switching back resumes the held call with a join.
    ASSERT_NE(Engine().HoldConference(10, 0, ""), 0);
    ASSERT_NE(Engine().AcceptConference(9), 0);
    EXPECT_EQ(server.Next()->type, MessageType::kHoldConference);
    const auto resume = As<voice::AcceptConference>(server.Next(), MessageType::kAcceptConference);
    ASSERT_TRUE(resume);
    EXPECT_EQ(resume->conference, 9);
    EXPECT_EQ(After({Joined(10, 0, 0), Joined(9, 1, 0)}, 3),
              (Lines{"userListUpdate", "JoinedConference 9 1 0", "userListUpdate"}));
    EXPECT_EQ(Engine().GetUserList(), "Bob\t7\tH\nNick\t42\t\n");
    // Cat hangs up the held call: no list of ours changes.
    EXPECT_EQ(After({Left(10, "Cat", "8", voice::LeaveCause::kLeft)}, 1),
              Lines{"UserChange Cat 8 0 0"});
    EXPECT_TRUE(Silent());
}

TEST_F(NetConferenceTest, AThirdPartyJoinsTheSameCall) {
    CallBobRinging();
    ASSERT_NE(Engine().InviteUser("8", 0, ""), 0);
    ASSERT_TRUE(As<voice::InviteUser>(server.Next(), MessageType::kInviteUser));
    EXPECT_EQ(After({Member(5, "Cat", "8", "I", 0), Changed(5, "Cat", "8", "")}, 3),
              (Lines{"userListUpdate", "UserChange Cat 8 1 0", "userListUpdate"}));
    EXPECT_EQ(Engine().GetUserList(), "Nick\t42\t\nBob\t7\tI\nCat\t8\t\n");
}

TEST_F(NetConferenceTest, LettersOutsideTheListsAlphabetAreDropped) {
    CallBobRinging();
    After({Changed(5, "Bob", "7", "HZq")}, 1);
    EXPECT_EQ(Engine().GetUserList(), "Nick\t42\t\nBob\t7\tH\n");
}

TEST_F(NetConferenceTest, ACallHungUpBeforeItsConferenceCameIsLeftWhenItComes) {
    ASSERT_NE(Engine().InviteUser("7", 0, ""), 0);
    ASSERT_TRUE(As<voice::InviteUser>(server.Next(), MessageType::kInviteUser));
    // The host has no conference id yet.
    ASSERT_NE(Engine().LeaveConference(0, 0, ""), 0);
    ASSERT_TRUE(server.Send(Joined(5, 1, 0)) && server.Send(Member(5, "Nick", "42", "", 0)) &&
                server.Send(Member(5, "Bob", "7", "I", 0)));
    const auto leave = server.Next();
    voice::ConferenceRequest request;
    ASSERT_TRUE(leave && leave->type == MessageType::kLeaveConference &&
                voice::Decode(leave->fields, request));
    EXPECT_EQ(request.conference, 5);
    ASSERT_TRUE(server.Send(Joined(5, 0, 1)));
    EXPECT_TRUE(Silent());  // the host never hears of it
    EXPECT_EQ(Engine().GetUserList(), "");
}

TEST_F(NetConferenceTest, ARefusedCallHungUpDoesNotTakeTheNextCallWithIt) {
    ASSERT_NE(Engine().InviteUser("7", 0, ""), 0);
    ASSERT_TRUE(As<voice::InviteUser>(server.Next(), MessageType::kInviteUser));
    ASSERT_TRUE(server.Send(voice::Encode(
        voice::ServerMessage{1, 6, "You are in too many calls. Hang up one of them first."})));
    ASSERT_TRUE(sink.WaitForCount(++seen));
    ASSERT_NE(Engine().LeaveConference(0, 0, ""), 0);
    ASSERT_NE(Engine().InviteUser("8", 0, ""), 0);
    // Reading on answers the fence ping before the next call's frames go out.
    ASSERT_TRUE(As<voice::InviteUser>(server.Next(), MessageType::kInviteUser));
    EXPECT_EQ(After({Joined(6, 1, 0)}, 2), (Lines{"JoinedConference 6 1 0", "userListUpdate"}));
    EXPECT_TRUE(server.Quiet());  // no LeaveConference
}

TEST_F(NetConferenceTest, AConferenceJoinedBeforeTheHangUpIsLeftAtOnce) {
    CallBobRinging();
    ASSERT_NE(Engine().LeaveConference(0, 0, ""), 0);
    voice::ConferenceRequest request;
    const auto leave = server.Next();
    ASSERT_TRUE(leave && leave->type == MessageType::kLeaveConference &&
                voice::Decode(leave->fields, request));
    EXPECT_EQ(request.conference, 5);
}

TEST_F(NetConferenceTest, StaleIdsAreRefusedWithoutAWord) {
    EXPECT_EQ(Engine().AcceptConference(0), 0);
    EXPECT_EQ(Engine().AcceptConference(77), 0);
    EXPECT_EQ(Engine().DeclineConference(77, 0, ""), 0);
    EXPECT_EQ(Engine().HoldConference(0, 0, ""), 0);
    EXPECT_EQ(Engine().HoldConference(77, 0, ""), 0);
    EXPECT_EQ(Engine().LeaveConference(77, 0, ""), 0);
    EXPECT_EQ(Engine().LeaveConference(0, 0, ""), 0);  // no call was placed
    EXPECT_TRUE(server.Quiet());
    // Rows of a conversation we are not in change nothing.
    ASSERT_TRUE(server.Send(Member(77, "Bob", "7", "", 0)));
    EXPECT_TRUE(Silent());
    EXPECT_EQ(Engine().GetUserList(), "");
}

TEST_F(NetConferenceTest, AMalformedConferenceFrameEndsTheSession) {
    EXPECT_EQ(After({Joined(5, 1, 1)}, 1), Lines{"connectionEvent 5 Protocol error"});
}

// A server of version 2 has no conferences: nothing of them is sent, and a conference frame
// from it is a protocol error.
class NetOldServerTest : public NetEngineFixture {
  protected:
    void SetUp() override {
        NetEngineFixture::SetUp();
        server.protocol = 2;
        LogIn();
    }
};

TEST_F(NetOldServerTest, ConferenceMethodsAreRefusedAndSendNothing) {
    SonaroControl& e = Engine();
    EXPECT_EQ(e.InviteUser("7", 0, ""), 0);
    EXPECT_EQ(e.AcceptConference(1), 0);
    EXPECT_EQ(e.DeclineConference(1, 0, ""), 0);
    EXPECT_EQ(e.LeaveConference(1, 0, ""), 0);
    EXPECT_EQ(e.LeaveConference(0, 0, ""), 0);
    EXPECT_EQ(e.HoldConference(1, 0, ""), 0);
    EXPECT_EQ(e.CancelInvitations("7\n", 0, ""), 0);
    EXPECT_EQ(e.GetUserList(), "");
    EXPECT_TRUE(server.Quiet(Millis(300)));
    // The session itself goes on.
    ASSERT_NE(e.SetStatus(2), 0);
    EXPECT_TRUE(As<voice::SetStatus>(server.Next(), MessageType::kSetStatus));
}

TEST_F(NetOldServerTest, AConferenceFrameFromItIsAProtocolError) {
    ASSERT_TRUE(
        server.Send(voice::EncodeInvitation(voice::InvitationNotice{9, "Bob", "7", 0, ""})));
    EXPECT_TRUE(sink.WaitFor("connectionEvent 5 Protocol error"));
    EXPECT_FALSE(sink.WaitFor("Invitation", Millis(100)));
}

}  // namespace
}  // namespace qv::test
