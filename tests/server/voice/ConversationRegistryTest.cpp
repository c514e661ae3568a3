// Conferences without sockets: what each call owes which session, in order, with the time
// handed in.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "ConversationRegistry.h"
#include "FrameText.h"
#include "PresenceRegistry.h"

namespace qv::voicesvc {
namespace {

using Lines = std::vector<std::string>;
using Clock = ConversationRegistry::Clock;
using std::chrono::milliseconds;

std::string Describe(const Delivery& d) {
    return std::to_string(d.to) + " " + test::FrameText(d.frame);
}

Lines Describe(const Deliveries& deliveries) {
    Lines lines;
    for (const Delivery& d : deliveries) {
        lines.push_back(Describe(d));
    }
    return lines;
}

// Sessions 1-3 are Ann (100), Bob (200) and Cid (300); 4 is Dan (400), whose engine speaks only
// version 2; user 500 is not logged in.
class ConversationRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Deliveries ignored;
        presence.Admit(1, "100", "Ann", "10.0.0.1", ignored);
        presence.Admit(2, "200", "Bob", "10.0.0.2", ignored);
        presence.Admit(3, "300", "Cid", "10.0.0.3", ignored);
        presence.Admit(4, "400", "Dan", "10.0.0.4", ignored);
        for (SessionId s : {1, 2, 3}) {
            calls.AddSession(s);
        }
    }

    // A user more, for the limits: session s is user "1000<s>", nickname "U<s>".
    void AddUser(SessionId s) {
        Deliveries ignored;
        presence.Admit(s, "1000" + std::to_string(s), "U" + std::to_string(s), "10.0.1.1", ignored);
        calls.AddSession(s);
    }

    Lines Invite(SessionId s, const std::string& alias, std::int16_t kind = 0,
                 const std::string& text = "") {
        Deliveries out;
        calls.InviteUser(s, {alias, kind, text}, now, out);
        return Describe(out);
    }
    Lines Accept(SessionId s, std::int32_t c) {
        Deliveries out;
        calls.Accept(s, c, out);
        return Describe(out);
    }
    Lines Decline(SessionId s, std::int32_t c, std::int16_t reason = 0,
                  const std::string& text = "") {
        Deliveries out;
        calls.Decline(s, {c, reason, text}, out);
        return Describe(out);
    }
    Lines Hold(SessionId s, std::int32_t c) {
        Deliveries out;
        calls.Hold(s, {c, 0, ""}, out);
        return Describe(out);
    }
    Lines Leave(SessionId s, std::int32_t c) {
        Deliveries out;
        calls.Leave(s, {c, 0, ""}, out);
        return Describe(out);
    }
    Lines Cancel(SessionId s, const std::string& ids, std::int16_t reason = 0,
                 const std::string& text = "") {
        Deliveries out;
        calls.CancelInvitations(s, {ids, reason, text}, out);
        return Describe(out);
    }
    Lines Remove(SessionId s) {
        Deliveries out;
        calls.Remove(s, out);
        presence.Remove(s, out);
        Lines lines = Describe(out);
        // Presence's Watch frames are not what these tests are about.
        std::erase_if(lines, [](const std::string& l) { return l.find(" Watch ") != l.npos; });
        return lines;
    }
    Lines After(milliseconds elapsed) {
        now = start + elapsed;
        Deliveries out;
        calls.Expire(now, out);
        return Describe(out);
    }
    // Ann calls Bob, who answers: conference 1.
    void AnnAndBobTalk() {
        Invite(1, "200");
        Accept(2, 1);
    }

    PresenceRegistry presence;
    ConversationRegistry calls{presence};
    const Clock::time_point start = Clock::time_point{} + std::chrono::hours(1);
    Clock::time_point now = start;
};

TEST_F(ConversationRegistryTest, ACallRingsWhileTheCalleeIsInTheCallersListAndIsAnswered) {
    EXPECT_EQ(Invite(1, "200", 7, "hello"), (Lines{
                                                "1 Joined 1 1 0",
                                                "1 MemberJoined 1 Ann 100 [] 0",
                                                "1 MemberJoined 1 Bob 200 [I] 0",
                                                "2 Invitation 1 Ann 100 7 hello",
                                            }));
    EXPECT_EQ(calls.ConferenceCount(), 1u);
    EXPECT_EQ(calls.InvitationCount(), 1u);
    EXPECT_EQ(Accept(2, 1), (Lines{
                                "1 Accepted 1 1 Bob 200 0 ",
                                "1 MemberChanged 1 Bob 200 []",
                                "2 Joined 1 1 0",
                                "2 MemberJoined 1 Ann 100 [] 1",
                                "2 MemberJoined 1 Bob 200 [] 0",
                            }));
    EXPECT_EQ(calls.InvitationCount(), 0u);
    // Answering again, or a stale invitation's timer, changes nothing.
    EXPECT_EQ(Accept(2, 1), Lines{});
    EXPECT_EQ(After(milliseconds(80000)), Lines{});
    // Bob hangs up; Ann stays, alone, until she leaves too.
    EXPECT_EQ(Leave(2, 1), (Lines{"1 MemberLeft 1 Bob 200 0", "2 Joined 1 0 1"}));
    EXPECT_EQ(calls.ConferenceCount(), 1u);
    EXPECT_EQ(Leave(1, 1), (Lines{"1 Joined 1 0 1"}));
    EXPECT_EQ(calls.ConferenceCount(), 0u);
    // Leaving what is gone is harmless.
    EXPECT_EQ(Leave(1, 1), Lines{});
}

TEST_F(ConversationRegistryTest, ADeclineGivesTheReasonBeforeTheRowGoes) {
    struct Case {
        std::int16_t reason;
        std::string text;
    };
    const std::vector<Case> cases = {
        {0, ""}, {1, "Not now, please."}, {2, ""}, {3, ""}, {4, "In a meeting."}};
    std::int32_t conference = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        ++conference;
        Invite(1, "200");
        const std::string id = std::to_string(conference);
        EXPECT_EQ(Decline(2, conference, c.reason, c.text),
                  (Lines{
                      "1 Accepted " + id + " 0 Bob 200 " + std::to_string(c.reason) + " " + c.text,
                      "1 MemberLeft " + id + " Bob 200 1",
                  }));
        // Ann is alone in her call; her client hangs up.
        EXPECT_EQ(Cancel(1, "200\n"), Lines{});
        EXPECT_EQ(Leave(1, conference), (Lines{"1 Joined " + id + " 0 1"}));
    }
    EXPECT_EQ(calls.ConferenceCount(), 0u);
    EXPECT_EQ(calls.InvitationCount(), 0u);
}

TEST_F(ConversationRegistryTest, AnInviteeThatCannotBeReachedIsOfflineAndTheCallStaysWithOne) {
    struct Case {
        const char* alias;
        const char* why;
    };
    const std::vector<Case> cases = {
        {"500", "not logged in"},
        {"400", "an engine without conferences"},
        {"Bob", "not an id"},
        {"0200", "not an id either"},
    };
    std::int32_t conference = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        ++conference;
        const std::string id = std::to_string(conference);
        EXPECT_EQ(Invite(1, c.alias),
                  (Lines{
                      "1 Joined " + id + " 1 0",
                      "1 MemberJoined " + id + " Ann 100 [] 0",
                      std::string("1 ServerMessage 1 5 User is offline - ") + c.alias,
                  }));
        Leave(1, conference);
    }
    // Calling oneself is refused the same way, in a call of one.
    EXPECT_EQ(Invite(1, "100"), (Lines{
                                    "1 Joined 5 1 0",
                                    "1 MemberJoined 5 Ann 100 [] 0",
                                    "1 ServerMessage 1 6 You cannot call yourself.",
                                }));
}

TEST_F(ConversationRegistryTest, AThirdPartyJoinsTheSameCall) {
    AnnAndBobTalk();
    // No second conference and no second Joined for Ann.
    EXPECT_EQ(Invite(1, "300"), (Lines{
                                    "1 MemberJoined 1 Cid 300 [I] 0",
                                    "2 MemberJoined 1 Cid 300 [I] 0",
                                    "3 Invitation 1 Ann 100 0 ",
                                }));
    // Inviting someone already there changes nothing, whatever the state.
    EXPECT_EQ(Invite(1, "300"), Lines{});
    EXPECT_EQ(Invite(2, "100"), Lines{});
    EXPECT_EQ(Accept(3, 1), (Lines{
                                "1 Accepted 1 1 Cid 300 0 ",
                                "1 MemberChanged 1 Cid 300 []",
                                "2 MemberChanged 1 Cid 300 []",
                                "3 Joined 1 1 0",
                                "3 MemberJoined 1 Ann 100 [] 1",
                                "3 MemberJoined 1 Bob 200 [] 1",
                                "3 MemberJoined 1 Cid 300 [] 0",
                            }));
    // Ann leaves; Bob and Cid go on.
    EXPECT_EQ(Leave(1, 1), (Lines{
                               "2 MemberLeft 1 Ann 100 0",
                               "3 MemberLeft 1 Ann 100 0",
                               "1 Joined 1 0 1",
                           }));
    EXPECT_EQ(calls.ConferenceCount(), 1u);
}

TEST_F(ConversationRegistryTest, AJoinerSeesWhoElseStillRings) {
    Invite(1, "200");
    Invite(1, "300");
    EXPECT_EQ(Accept(2, 1), (Lines{
                                "1 Accepted 1 1 Bob 200 0 ",
                                "1 MemberChanged 1 Bob 200 []",
                                "2 Joined 1 1 0",
                                "2 MemberJoined 1 Ann 100 [] 1",
                                "2 MemberJoined 1 Bob 200 [] 0",
                                "2 MemberJoined 1 Cid 300 [I] 1",
                            }));
    // Cid declines: only the inviter hears the reason; everyone loses the row.
    EXPECT_EQ(Decline(3, 1, 1, "DND"), (Lines{
                                           "1 Accepted 1 0 Cid 300 1 DND",
                                           "1 MemberLeft 1 Cid 300 1",
                                           "2 MemberLeft 1 Cid 300 1",
                                       }));
}

TEST_F(ConversationRegistryTest, WhenTheCallerEndsFirstTheInvitationIsCancelled) {
    // By CancelInvitations (what the client sends), with its number and text.
    Invite(1, "200");
    EXPECT_EQ(Cancel(1, "999\n200\r\nxyz\n", 0, ""), (Lines{
                                                         "2 InvitationCancel 1 Ann 100 0 ",
                                                         "1 MemberLeft 1 Bob 200 2",
                                                     }));
    EXPECT_EQ(Leave(1, 1), (Lines{"1 Joined 1 0 1"}));
    // By leaving without cancelling.
    Invite(1, "200");
    EXPECT_EQ(Leave(1, 2), (Lines{"2 InvitationCancel 2 Ann 100 0 ", "1 Joined 2 0 1"}));
    // Answering the withdrawn call is told so; declining it changes nothing.
    EXPECT_EQ(Accept(2, 2), (Lines{"2 InvitationCancel 2   0 "}));
    EXPECT_EQ(Decline(2, 2), Lines{});
    EXPECT_EQ(calls.ConferenceCount(), 0u);
    EXPECT_EQ(calls.InvitationCount(), 0u);
}

TEST_F(ConversationRegistryTest, CancelInvitationsTouchesOnlyTheSendersPendingInvitations) {
    AnnAndBobTalk();
    Invite(2, "300");  // Bob invites Cid into the call
    // Ann did not invite Cid, and Bob has already answered: nothing to cancel for Ann.
    EXPECT_EQ(Cancel(1, "200\n300\n"), Lines{});
    EXPECT_EQ(Cancel(2, "300\n", 5, "sorry"), (Lines{
                                                  "3 InvitationCancel 1 Bob 200 5 sorry",
                                                  "1 MemberLeft 1 Cid 300 2",
                                                  "2 MemberLeft 1 Cid 300 2",
                                              }));
}

TEST_F(ConversationRegistryTest, HoldAndSwitchBetweenTwoCalls) {
    AnnAndBobTalk();  // conference 1
    // Cid calls Bob: call waiting.
    EXPECT_EQ(Invite(3, "200"), (Lines{
                                    "3 Joined 2 1 0",
                                    "3 MemberJoined 2 Cid 300 [] 0",
                                    "3 MemberJoined 2 Bob 200 [I] 0",
                                    "2 Invitation 2 Cid 300 0 ",
                                }));
    // Bob picks up: holds 1, answers 2.
    EXPECT_EQ(Hold(2, 1), (Lines{"2 Joined 1 0 0", "1 MemberChanged 1 Bob 200 [H]"}));
    EXPECT_EQ(Hold(2, 1), Lines{});
    EXPECT_EQ(Accept(2, 2), (Lines{
                                "3 Accepted 2 1 Bob 200 0 ",
                                "3 MemberChanged 2 Bob 200 []",
                                "2 Joined 2 1 0",
                                "2 MemberJoined 2 Cid 300 [] 1",
                                "2 MemberJoined 2 Bob 200 [] 0",
                            }));
    // Switch back: hold 2, resume 1, which is Joined again.
    EXPECT_EQ(Hold(2, 2), (Lines{"2 Joined 2 0 0", "3 MemberChanged 2 Bob 200 [H]"}));
    EXPECT_EQ(Accept(2, 1), (Lines{"2 Joined 1 1 0", "1 MemberChanged 1 Bob 200 []"}));
    // A held member still hears of its call's changes.
    EXPECT_EQ(Leave(3, 2), (Lines{"2 MemberLeft 2 Cid 300 0", "3 Joined 2 0 1"}));
    // Resuming while active elsewhere holds the other call first.
    Invite(3, "200");
    Hold(2, 1);
    Accept(2, 3);
    EXPECT_EQ(Accept(2, 1), (Lines{
                                "2 Joined 3 0 0",
                                "3 MemberChanged 3 Bob 200 [H]",
                                "2 Joined 1 1 0",
                                "1 MemberChanged 1 Bob 200 []",
                            }));
}

TEST_F(ConversationRegistryTest, AnsweringWhileInAnotherCallHoldsThatCall) {
    AnnAndBobTalk();
    Invite(3, "200");
    EXPECT_EQ(Accept(2, 2), (Lines{
                                "2 Joined 1 0 0",
                                "1 MemberChanged 1 Bob 200 [H]",
                                "3 Accepted 2 1 Bob 200 0 ",
                                "3 MemberChanged 2 Bob 200 []",
                                "2 Joined 2 1 0",
                                "2 MemberJoined 2 Cid 300 [] 1",
                                "2 MemberJoined 2 Bob 200 [] 0",
                            }));
    // Bob invites from his active call 2, not from the held one.
    EXPECT_EQ(Invite(2, "100"), (Lines{
                                    "3 MemberJoined 2 Ann 100 [I] 0",
                                    "2 MemberJoined 2 Ann 100 [I] 0",
                                    "1 Invitation 2 Bob 200 0 ",
                                }));
}

TEST_F(ConversationRegistryTest, WithOnlyAHeldCallAnInvitationMakesANewOne) {
    AnnAndBobTalk();
    Hold(1, 1);
    EXPECT_EQ(Invite(1, "300"), (Lines{
                                    "1 Joined 2 1 0",
                                    "1 MemberJoined 2 Ann 100 [] 0",
                                    "1 MemberJoined 2 Cid 300 [I] 0",
                                    "3 Invitation 2 Ann 100 0 ",
                                }));
}

TEST_F(ConversationRegistryTest, TheServerEndsAnInvitationNobodyAnswers) {
    Invite(1, "200");
    EXPECT_EQ(calls.NextDeadline(), start + milliseconds(75000));
    // The callee's client gives up after 60 s; until 75 s the server waits for it.
    EXPECT_EQ(After(milliseconds(60001)), Lines{});
    EXPECT_EQ(After(milliseconds(74999)), Lines{});
    EXPECT_EQ(After(milliseconds(75000)), (Lines{
                                              "1 Accepted 1 0 Bob 200 3 ",
                                              "1 MemberLeft 1 Bob 200 1",
                                              "2 InvitationCancel 1 Ann 100 0 ",
                                          }));
    EXPECT_EQ(calls.NextDeadline(), std::nullopt);
    EXPECT_EQ(calls.ConferenceCount(), 1u);
}

TEST_F(ConversationRegistryTest, InvitationsEndInTheOrderOfTheirDeadlines) {
    Invite(1, "200");
    now = start + milliseconds(1000);
    Invite(3, "200");
    EXPECT_EQ(After(milliseconds(75500)), (Lines{
                                              "1 Accepted 1 0 Bob 200 3 ",
                                              "1 MemberLeft 1 Bob 200 1",
                                              "2 InvitationCancel 1 Ann 100 0 ",
                                          }));
    EXPECT_EQ(calls.NextDeadline(), start + milliseconds(76000));
    EXPECT_EQ(After(milliseconds(90000)), (Lines{
                                              "3 Accepted 2 0 Bob 200 3 ",
                                              "3 MemberLeft 2 Bob 200 1",
                                              "2 InvitationCancel 2 Cid 300 0 ",
                                          }));
}

TEST_F(ConversationRegistryTest, ACalleeThatBlocksTheCallerIsNeverAskedAndNeverGivesItAway) {
    Deliveries ignored;
    presence.SetBlockList(2, {0, "100\n"}, ignored);
    // Ann sees Bob ring like anyone else; Bob hears nothing.
    EXPECT_EQ(Invite(1, "200"), (Lines{
                                    "1 Joined 1 1 0",
                                    "1 MemberJoined 1 Ann 100 [] 0",
                                    "1 MemberJoined 1 Bob 200 [I] 0",
                                }));
    EXPECT_EQ(After(milliseconds(59999)), Lines{});
    // At 60 s the server declines for Bob, as his client would have: no answer.
    EXPECT_EQ(After(milliseconds(60000)), (Lines{
                                              "1 Accepted 1 0 Bob 200 3 ",
                                              "1 MemberLeft 1 Bob 200 1",
                                          }));
    // Cancelling a blocked invitation tells the callee nothing either.
    Invite(1, "200");
    EXPECT_EQ(Cancel(1, "200\n"), (Lines{"1 MemberLeft 1 Bob 200 2"}));
    // Others still reach Bob.
    EXPECT_EQ(Invite(3, "200").back(), "2 Invitation 2 Cid 300 0 ");
}

TEST_F(ConversationRegistryTest, ASessionThatEndsLeavesItsCalls) {
    // A member in a call: the others see it leave (cause 3); its call goes on without it.
    AnnAndBobTalk();
    EXPECT_EQ(Remove(2), (Lines{"1 MemberLeft 1 Bob 200 3"}));
    EXPECT_EQ(calls.ConferenceCount(), 1u);
    // An invitee: declined for it at once, with "no answer".
    Deliveries ignored;
    presence.Admit(2, "200", "Bob", "10.0.0.2", ignored);
    calls.AddSession(2);
    Invite(1, "200");
    EXPECT_EQ(Remove(2), (Lines{
                             "1 Accepted 1 0 Bob 200 3 ",
                             "1 MemberLeft 1 Bob 200 1",
                         }));
    EXPECT_EQ(calls.InvitationCount(), 0u);
    // An inviter: its invitations are withdrawn and its call ends.
    Invite(1, "300");
    EXPECT_EQ(Remove(1), (Lines{"3 InvitationCancel 1 Ann 100 0 "}));
    EXPECT_EQ(calls.ConferenceCount(), 0u);
    EXPECT_EQ(calls.InvitationCount(), 0u);
    // The user is offline for calls now.
    EXPECT_EQ(Invite(3, "100").back(), "3 ServerMessage 1 5 User is offline - 100");
}

TEST_F(ConversationRegistryTest, ACallHoldsAtMostSixteen) {
    for (SessionId s = 10; s < 26; ++s) {
        AddUser(s);
    }
    // Ann and 15 invitees make 16.
    for (SessionId s = 10; s < 25; ++s) {
        Invite(1, "1000" + std::to_string(s));
    }
    EXPECT_EQ(Invite(1, "100025"),
              (Lines{"1 ServerMessage 1 6 This call is full: at most 16 people can be in one call "
                     "- 100025"}));
    // A place frees up when someone declines.
    Decline(10, 1);
    EXPECT_EQ(Invite(1, "100025").back(), "25 Invitation 1 Ann 100 0 ");
}

TEST_F(ConversationRegistryTest, AUserHasAtMostSixteenInvitationsRingingEitherWay) {
    for (SessionId s = 10; s < 27; ++s) {
        AddUser(s);
    }
    // Sixteen callers ring Bob; the seventeenth is refused.
    for (SessionId s = 10; s < 26; ++s) {
        EXPECT_EQ(Invite(s, "200").back(), "2 Invitation " + std::to_string(s - 9) + " U" +
                                               std::to_string(s) + " 1000" + std::to_string(s) +
                                               " 0 ");
    }
    EXPECT_EQ(Invite(26, "200").back(),
              "26 ServerMessage 1 6 This user cannot take another call right now - 200");
    // Ann rings sixteen people (in two calls: one of sixteen is full) and no more.
    for (SessionId s = 10; s < 25; ++s) {
        Invite(1, "1000" + std::to_string(s));
    }
    Hold(1, 18);
    Invite(1, "100025");
    EXPECT_EQ(Invite(1, "300").back(),
              "1 ServerMessage 1 6 You have too many calls ringing. Wait for an answer or hang up "
              "first.");
}

TEST_F(ConversationRegistryTest, AUserIsInAtMostFourCalls) {
    for (int i = 1; i <= 4; ++i) {
        Invite(1, "500");
        Hold(1, i);
    }
    EXPECT_EQ(Invite(1, "200"),
              (Lines{"1 ServerMessage 1 6 You are in too many calls. Hang up one of them first."}));
    // Nor can a fifth be answered: the invitation keeps ringing.
    Invite(2, "100");
    EXPECT_EQ(Accept(1, 5),
              (Lines{"1 ServerMessage 1 6 You are in too many calls. Hang up one of them first."}));
    Leave(1, 4);
    EXPECT_EQ(Accept(1, 5).back(), "1 MemberJoined 5 Ann 100 [] 0");
}

TEST_F(ConversationRegistryTest, ANicknameThatWouldBreakTheUserListIsMadeSafe) {
    Deliveries ignored;
    presence.Admit(7, "700", "Tab\tCr\rLf\n" + std::string(80, 'x'), "10.0.0.7", ignored);
    calls.AddSession(7);
    const std::string safe = "Tab Cr Lf " + std::string(54, 'x');
    EXPECT_EQ(Invite(7, "100"), (Lines{
                                    "7 Joined 1 1 0",
                                    "7 MemberJoined 1 " + safe + " 700 [] 0",
                                    "7 MemberJoined 1 Ann 100 [I] 0",
                                    "1 Invitation 1 " + safe + " 700 0 ",
                                }));
}

TEST_F(ConversationRegistryTest, RequestsForCallsOneIsNotInChangeNothing) {
    AnnAndBobTalk();
    for (std::int32_t c : {0, -1, 1, 77}) {
        SCOPED_TRACE(c);
        EXPECT_EQ(Hold(3, c), Lines{});
        EXPECT_EQ(Leave(3, c), Lines{});
        EXPECT_EQ(Decline(3, c), Lines{});
    }
    // Declining a call one is in, or holding an invitation, does nothing either.
    EXPECT_EQ(Decline(1, 1), Lines{});
    Invite(1, "300");
    EXPECT_EQ(Hold(3, 1), Lines{});
    EXPECT_EQ(Leave(3, 1), Lines{});
    // An unknown session is nobody.
    EXPECT_EQ(Invite(9, "100"), Lines{});
    EXPECT_EQ(Accept(9, 1), Lines{});
    EXPECT_EQ(Accept(3, 0), Lines{});
}

// What an engine would make of the frames it gets: the conferences it is in, the one it is
// active in, their rows, and what rings. Any frame that does not fit is a fault.
struct ClientModel {
    std::string userId;
    std::set<std::int32_t> member;
    std::int32_t active = 0;
    std::map<std::int32_t, std::map<std::string, std::string>> rows;
    std::set<std::int32_t> ringing;
    std::vector<std::string> faults;

    void Take(const std::string& frame) {
        voice::FrameReader reader;
        reader.Append(frame.data(), frame.size());
        voice::Frame f;
        if (reader.Next(f) != voice::FrameReader::Result::kFrame) {
            faults.push_back("bad frame");
            return;
        }
        const std::string text = test::FrameText(f);
        auto fault = [&](const char* what) { faults.push_back(std::string(what) + ": " + text); };
        switch (f.type) {
            case voice::MessageType::kJoinedConference: {
                voice::JoinedConference m;
                voice::Decode(f.fields, m);
                if (m.joined) {
                    if (active != 0 && active != m.conference) {
                        fault("active in two");
                    }
                    active = m.conference;
                    member.insert(m.conference);
                    ringing.erase(m.conference);
                } else if (m.deleted) {
                    if (member.erase(m.conference) == 0) {
                        fault("left what it was not in");
                    }
                    rows.erase(m.conference);
                    if (active == m.conference) {
                        active = 0;
                    }
                } else {
                    if (active != m.conference) {
                        fault("held what was not active");
                    }
                    active = 0;
                }
                break;
            }
            case voice::MessageType::kMemberJoined: {
                voice::MemberJoined m;
                voice::Decode(f.fields, m);
                if (member.count(m.conversation) == 0) {
                    fault("row of a conference it is not in");
                }
                if (!rows[m.conversation].emplace(m.userId, m.letters).second) {
                    fault("row twice");
                }
                break;
            }
            case voice::MessageType::kMemberChanged: {
                voice::MemberChanged m;
                voice::Decode(f.fields, m);
                auto& row = rows[m.conversation];
                if (row.count(m.userId) == 0) {
                    fault("change of a missing row");
                }
                row[m.userId] = m.letters;
                break;
            }
            case voice::MessageType::kMemberLeft: {
                voice::MemberLeft m;
                voice::Decode(f.fields, m);
                if (rows[m.conversation].erase(m.userId) == 0) {
                    fault("a missing row left");
                }
                break;
            }
            case voice::MessageType::kInvitation: {
                voice::InvitationNotice m;
                voice::Decode(f.fields, m);
                if (member.count(m.conference) != 0) {
                    fault("invited into its own conference");
                }
                ringing.insert(m.conference);
                break;
            }
            case voice::MessageType::kInvitationCancel: {
                voice::InvitationNotice m;
                voice::Decode(f.fields, m);
                ringing.erase(m.conference);
                break;
            }
            case voice::MessageType::kAcceptedConference: {
                voice::AcceptedConference m;
                voice::Decode(f.fields, m);
                if (member.count(m.conference) == 0) {
                    fault("an answer for a conference it is not in");
                }
                break;
            }
            case voice::MessageType::kServerMessage:
            case voice::MessageType::kWatch:
                break;
            default:
                fault("unexpected type");
        }
        if (text.starts_with("undecodable")) {
            fault("undecodable");
        }
    }
};

// Random requests of six users, some logging out and in again: every frame fits what the
// engine knows, all members of a conference see the same rows, and nothing is left at the end.
TEST(ConversationRegistryRandomTest, EveryoneSeesTheSameRowsAndNothingIsLeftOver) {
    PresenceRegistry presence;
    ConversationRegistry calls(presence);
    std::mt19937 random(20261210);
    auto pick = [&random](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    const std::vector<std::string> users = {"11", "12", "13", "14", "15", "16"};
    std::map<std::string, SessionId> sessionOf;
    std::map<SessionId, ClientModel> clients;
    SessionId nextSession = 1;
    auto login = [&](const std::string& user) {
        Deliveries ignored;
        const SessionId s = nextSession++;
        presence.Admit(s, user, "N" + user, "10.0.0.1", ignored);
        calls.AddSession(s);
        sessionOf[user] = s;
        clients[s].userId = user;
    };
    for (const std::string& user : users) {
        login(user);
    }
    Clock::time_point now = Clock::time_point{} + std::chrono::hours(1);
    auto deliver = [&](const Deliveries& out) {
        for (const Delivery& d : out) {
            const auto client = clients.find(d.to);
            ASSERT_NE(client, clients.end()) << "a frame for a session that is gone";
            client->second.Take(d.frame);
        }
    };
    for (int step = 0; step < 20000; ++step) {
        const std::string user = users[pick(users.size())];
        const SessionId s = sessionOf.at(user);
        ClientModel& me = clients.at(s);
        // A conference it knows of most of the time, any id now and then.
        auto someConference = [&]() -> std::int32_t {
            std::vector<std::int32_t> known(me.member.begin(), me.member.end());
            known.insert(known.end(), me.ringing.begin(), me.ringing.end());
            if (known.empty() || pick(10) == 0) {
                return static_cast<std::int32_t>(pick(40));
            }
            return known[pick(known.size())];
        };
        Deliveries out;
        switch (pick(9)) {
            case 0:
            case 1:
                calls.InviteUser(s, {pick(12) == 0 ? "99" : users[pick(users.size())], 0, ""}, now,
                                 out);
                break;
            case 2:
                calls.Accept(s, someConference(), out);
                break;
            case 3:
                calls.Decline(s, {someConference(), 1, "no"}, out);
                break;
            case 4:
                calls.Hold(s, {someConference(), 0, ""}, out);
                break;
            case 5:
                calls.Leave(s, {someConference(), 0, ""}, out);
                break;
            case 6:
                calls.CancelInvitations(s, {users[pick(users.size())] + "\n", 0, ""}, out);
                break;
            case 7:
                now += std::chrono::milliseconds(pick(40000));
                calls.Expire(now, out);
                break;
            case 8:
                if (pick(4) == 0) {
                    calls.Remove(s, out);
                    presence.Remove(s, out);
                    clients.erase(s);
                    deliver(out);
                    login(user);
                    continue;
                }
                break;
        }
        deliver(out);
        // Every member of a conference holds the same rows, but for its own: a member is not
        // told of its own holding, so its own row is plain while it holds the conference.
        std::map<std::int32_t, const ClientModel*> seen;
        for (const auto& [session, client] : clients) {
            ASSERT_TRUE(client.faults.empty()) << "step " << step << ": " << client.faults[0];
            for (const std::int32_t c : client.member) {
                auto rows = client.rows.at(c);
                ASSERT_EQ(rows.count(client.userId), 1u) << "step " << step << ": no own row";
                EXPECT_EQ(rows.at(client.userId), "") << "step " << step;
                const auto first = seen.emplace(c, &client);
                auto other = first.first->second->rows.at(c);
                for (const std::string& id : {client.userId, first.first->second->userId}) {
                    rows.erase(id);
                    other.erase(id);
                }
                ASSERT_EQ(other, rows) << "step " << step << ", conference " << c;
            }
        }
    }
    for (const std::string& user : users) {
        Deliveries out;
        calls.Remove(sessionOf.at(user), out);
        presence.Remove(sessionOf.at(user), out);
    }
    EXPECT_EQ(calls.ConferenceCount(), 0u);
    EXPECT_EQ(calls.InvitationCount(), 0u);
    EXPECT_EQ(calls.NextDeadline(), std::nullopt);
}

}  // namespace
}  // namespace qv::voicesvc
