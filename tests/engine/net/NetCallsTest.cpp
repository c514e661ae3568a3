// Calls between the networked engines of several users on a real voice server, each behind an
// engine manager as the program has it: the orders in which the call control gets its events and
// the user lists the panes read.

#include <gtest/gtest.h>

#include <algorithm>

#include "VoiceRig.h"

namespace qv {
namespace {

using Lines = std::vector<std::string>;
using test::Account;
using test::VoiceUser;

struct Party {
    Account account;
    std::unique_ptr<VoiceUser> user;

    CSonaroManager& M() { return *user->h.manager; }
    std::string Row(const std::string& letters = "") const {
        return account.nick + "\t" + account.id + "\t" + letters + "\n";
    }
    bool ListIs(const std::string& list) {
        return user->DriveUntil([&] { return M().UserListText() == list; });
    }
    // Waits for an event line starting with prefix.
    bool Sees(const std::string& prefix) {
        return user->DriveUntil([&] { return !user->Events(prefix).empty(); });
    }
    // The conference id of the first event starting with prefix (Invitation or JoinedConference).
    std::int32_t IdOf(const std::string& prefix) {
        if (!Sees(prefix)) {
            return 0;
        }
        const std::string line = user->Events(prefix).front();
        return std::stoi(line.substr(prefix.size()));
    }
    bool Saw(const std::string& line) const { return user->Saw(line); }
    // Where the first line equal to line is in the log; -1 when absent.
    int IndexOf(const std::string& line) const {
        const auto& log = user->h.events.log;
        const auto it = std::find(log.begin(), log.end(), line);
        return it == log.end() ? -1 : static_cast<int>(it - log.begin());
    }
};

class NetCallsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(rig.Ready()) << "a server did not start";
        ASSERT_NE(rig.engine, nullptr);
        ann = LogIn("Ann");
        bob = LogIn("Bob");
    }
    Party LogIn(const std::string& nick) {
        Party p;
        p.account = rig.Register(nick);
        p.user = rig.NewUser();
        const std::string ticket = rig.LogInToDirectory(p.account);
        EXPECT_FALSE(ticket.empty());
        EXPECT_TRUE(rig.LogIn(*p.user, p.account, ticket)) << nick << " did not log in";
        return p;
    }
    // Ann calls Bob; his Invitation's conference, which is Ann's too.
    std::int32_t AnnCallsBob() {
        EXPECT_TRUE(ann.M().InviteUser(bob.account.id, 0, ""));
        const std::int32_t c = ann.IdOf("JoinedConference ");
        EXPECT_NE(c, 0);
        EXPECT_EQ(bob.IdOf("Invitation "), c);
        EXPECT_TRUE(bob.Saw("Invitation " + std::to_string(c) + " Ann " + ann.account.id + " 0 "));
        return c;
    }
    // Ann calls Bob and he answers.
    std::int32_t Connected() {
        const std::int32_t c = AnnCallsBob();
        EXPECT_TRUE(bob.M().AcceptConference(c));
        EXPECT_TRUE(ann.ListIs(ann.Row() + bob.Row()));
        EXPECT_TRUE(bob.ListIs(ann.Row() + bob.Row()));
        return c;
    }

    test::VoiceRig rig;
    Party ann;
    Party bob;
};

TEST_F(NetCallsTest, TheCalleeRingsInTheCallersListThenAnswers) {
    const std::int32_t c = AnnCallsBob();
    const std::string id = std::to_string(c);
    // Bob rings in Ann's list, so her pane does not take her for alone.
    EXPECT_TRUE(ann.ListIs(ann.Row() + bob.Row("I")));
    EXPECT_TRUE(bob.M().AcceptConference(c));
    EXPECT_TRUE(bob.Sees("JoinedConference " + id + " 1 0"));
    EXPECT_TRUE(bob.ListIs(ann.Row() + bob.Row()));
    EXPECT_TRUE(ann.ListIs(ann.Row() + bob.Row()));
    EXPECT_TRUE(ann.Sees("UserChange Bob " + bob.account.id + " 1 0"));
    const int accepted = ann.IndexOf("AcceptedConference 1 Bob " + bob.account.id + " 0 ");
    ASSERT_GE(accepted, 0);
    EXPECT_LT(accepted, ann.IndexOf("UserChange Bob " + bob.account.id + " 1 0"));
    EXPECT_EQ(ann.user->Events("JoinedConference "), Lines{"JoinedConference " + id + " 1 0"});
    EXPECT_EQ(ann.M().ConferenceId(), c);
    EXPECT_EQ(bob.M().ConferenceId(), c);

    // Bob hangs up: Ann stays in the call alone until she leaves it.
    EXPECT_TRUE(bob.M().LeaveConference(c, 0, ""));
    EXPECT_TRUE(bob.Sees("JoinedConference " + id + " 0 1"));
    EXPECT_TRUE(ann.Sees("UserChange Bob " + bob.account.id + " 0 0"));
    EXPECT_TRUE(ann.ListIs(ann.Row()));
    EXPECT_EQ(ann.M().ConferenceId(), c);
    EXPECT_TRUE(ann.M().LeaveConference(c, 0, ""));
    EXPECT_TRUE(ann.Sees("JoinedConference " + id + " 0 1"));
    EXPECT_TRUE(ann.ListIs(""));
    EXPECT_EQ(ann.M().ConferenceId(), 0);
}

TEST_F(NetCallsTest, ADeclineWithItsReasonComesBeforeTheCalleeDropsOut) {
    struct Case {
        std::int16_t reason;
        std::string text;
    };
    for (const Case& k : {Case{1, "Please, do not disturb!"}, Case{2, ""}, Case{4, "busy"}}) {
        SCOPED_TRACE(k.reason);
        ann.user->h.events.log.clear();
        bob.user->h.events.log.clear();
        const std::int32_t c = AnnCallsBob();
        EXPECT_TRUE(bob.M().DeclineConference(c, k.reason, k.text));
        const std::string left = "UserChange Bob " + bob.account.id + " 0 0";
        EXPECT_TRUE(ann.Sees(left));
        const int declined = ann.IndexOf("AcceptedConference 0 Bob " + bob.account.id + " " +
                                         std::to_string(k.reason) + " " + k.text);
        ASSERT_GE(declined, 0);
        EXPECT_LT(declined, ann.IndexOf(left));
        // The call survives with Ann alone; her pane then hangs up as the client does.
        EXPECT_TRUE(ann.ListIs(ann.Row()));
        EXPECT_TRUE(ann.M().CancelInvitations(bob.account.id + "\n", 0, ""));
        EXPECT_TRUE(ann.M().LeaveConference(c, 0, ""));
        EXPECT_TRUE(ann.Sees("JoinedConference " + std::to_string(c) + " 0 1"));
        EXPECT_TRUE(bob.user->Events("InvitationCancel").empty());
    }
}

TEST_F(NetCallsTest, HangingUpBeforeTheAnswerCancelsTheInvitation) {
    const std::int32_t c = AnnCallsBob();
    const std::string id = std::to_string(c);
    EXPECT_TRUE(ann.M().CancelInvitations(bob.account.id + "\n", 0, ""));
    EXPECT_TRUE(ann.M().LeaveConference(c, 0, ""));
    EXPECT_TRUE(bob.Sees("InvitationCancel " + id + " Ann " + ann.account.id + " 0 "));
    EXPECT_TRUE(ann.Sees("JoinedConference " + id + " 0 1"));
    EXPECT_FALSE(bob.M().AcceptConference(c));  // the ringing slot is gone
    bob.user->DriveFor(200);
    EXPECT_TRUE(bob.user->Events("JoinedConference").empty());
}

TEST_F(NetCallsTest, HoldAndSwitchShowHToTheOthersAndResumeWithAJoin) {
    Party cat = LogIn("Cat");
    const std::int32_t c1 = Connected();
    // Cat calls Bob while he talks to Ann: call waiting.
    ASSERT_TRUE(cat.M().InviteUser(bob.account.id, 0, ""));
    const std::int32_t c2 = cat.IdOf("JoinedConference ");
    ASSERT_NE(c2, 0);
    ASSERT_NE(c2, c1);
    EXPECT_TRUE(bob.Sees("Invitation " + std::to_string(c2) + " Cat " + cat.account.id));
    // Bob picks up: Ann is held, Cat's call is joined.
    EXPECT_TRUE(bob.M().HoldConference(c1, 0, ""));
    EXPECT_TRUE(bob.M().AcceptConference(c2));
    EXPECT_TRUE(bob.Sees("JoinedConference " + std::to_string(c2) + " 1 0"));
    EXPECT_TRUE(bob.ListIs(cat.Row() + bob.Row()));
    EXPECT_EQ(bob.M().ConferenceId(), c2);
    EXPECT_TRUE(ann.ListIs(ann.Row() + bob.Row("H")));
    EXPECT_TRUE(cat.ListIs(cat.Row() + bob.Row()));
    // Bob switches back: Ann's call resumes with a join, Cat now sees him on hold.
    bob.user->h.events.log.clear();
    EXPECT_TRUE(bob.M().HoldConference(c2, 0, ""));
    EXPECT_TRUE(bob.M().AcceptConference(c1));
    EXPECT_TRUE(bob.Sees("JoinedConference " + std::to_string(c1) + " 1 0"));
    EXPECT_TRUE(bob.ListIs(ann.Row() + bob.Row()));
    EXPECT_EQ(bob.M().ConferenceId(), c1);
    EXPECT_TRUE(ann.ListIs(ann.Row() + bob.Row()));
    EXPECT_TRUE(cat.ListIs(cat.Row() + bob.Row("H")));
    // Bob ends the held call; Ann's goes on.
    EXPECT_TRUE(bob.M().LeaveConference(c2, 0, ""));
    EXPECT_TRUE(cat.Sees("UserChange Bob " + bob.account.id + " 0 0"));
    EXPECT_TRUE(cat.ListIs(cat.Row()));
    bob.user->DriveFor(200);
    EXPECT_EQ(bob.M().ConferenceId(), c1);
    EXPECT_EQ(bob.M().UserListText(), ann.Row() + bob.Row());
}

TEST_F(NetCallsTest, AThirdPartyInvitedDuringACallJoinsTheSameConference) {
    Party cat = LogIn("Cat");
    const std::int32_t c = Connected();
    EXPECT_TRUE(ann.M().InviteUser(cat.account.id, 0, ""));
    EXPECT_EQ(cat.IdOf("Invitation "), c);
    EXPECT_TRUE(ann.ListIs(ann.Row() + bob.Row() + cat.Row("I")));
    EXPECT_TRUE(bob.ListIs(ann.Row() + bob.Row() + cat.Row("I")));
    EXPECT_TRUE(cat.M().AcceptConference(c));
    const std::string all = ann.Row() + bob.Row() + cat.Row();
    EXPECT_TRUE(ann.ListIs(all));
    EXPECT_TRUE(bob.ListIs(all));
    EXPECT_TRUE(cat.ListIs(all));
    EXPECT_TRUE(bob.Sees("UserChange Cat " + cat.account.id + " 1 0"));
    // One conference, joined once.
    EXPECT_EQ(ann.user->Events("JoinedConference "),
              Lines{"JoinedConference " + std::to_string(c) + " 1 0"});
}

TEST_F(NetCallsTest, AnOfflineInviteeIsReportedAndTheCallerStaysAlone) {
    const std::string nobody = "4000000000";
    ASSERT_TRUE(ann.M().InviteUser(nobody, 0, ""));
    EXPECT_TRUE(ann.Sees("serverMessage 1 5 User is offline - " + nobody));
    const std::int32_t c = ann.IdOf("JoinedConference ");
    EXPECT_NE(c, 0);
    EXPECT_TRUE(ann.ListIs(ann.Row()));
    // An account that exists but is not logged in is offline too.
    ASSERT_TRUE(ann.M().InviteUser(rig.Register("Dan").id, 0, ""));
    EXPECT_TRUE(
        ann.user->DriveUntil([&] { return ann.user->Events("serverMessage 1 5 ").size() == 2; }));
    EXPECT_EQ(ann.user->Events("JoinedConference ").size(), 1u);
}

TEST_F(NetCallsTest, ACallHungUpBeforeItsJoinArrivedLeavesNoConferenceBehind) {
    // The host hangs up with no conference id yet, as a pane does when Hang Up comes first.
    ASSERT_TRUE(ann.M().InviteUser(bob.account.id, 0, ""));
    ASSERT_TRUE(ann.M().LeaveConference(0, 0, ""));
    const std::int32_t first = bob.IdOf("Invitation ");
    ASSERT_NE(first, 0);
    EXPECT_TRUE(bob.Sees("InvitationCancel " + std::to_string(first) + " Ann "));
    // The next call is a call of its own, not an invitation into the old conference.
    ann.user->DriveFor(200);
    ann.user->h.events.log.clear();
    bob.user->h.events.log.clear();
    ASSERT_TRUE(ann.M().InviteUser(bob.account.id, 0, ""));
    const std::int32_t second = bob.IdOf("Invitation ");
    EXPECT_NE(second, 0);
    EXPECT_NE(second, first);
    EXPECT_EQ(ann.IdOf("JoinedConference "), second);
    EXPECT_TRUE(ann.ListIs(ann.Row() + bob.Row("I")));
}

TEST_F(NetCallsTest, ACallerWhoDisconnectsWithdrawsItsInvitation) {
    const std::int32_t c = AnnCallsBob();
    ann.M().Disconnect(true);
    EXPECT_TRUE(bob.Sees("InvitationCancel " + std::to_string(c) + " Ann " + ann.account.id));
    EXPECT_FALSE(bob.M().AcceptConference(c));
}

}  // namespace
}  // namespace qv
