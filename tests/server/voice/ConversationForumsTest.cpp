// Forums without sockets: joins and their refusals, and the permission table of moderation as
// the server enforces it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConversationRegistry.h"
#include "FrameText.h"
#include "PresenceRegistry.h"

namespace qv::voicesvc {
namespace {

using Lines = std::vector<std::string>;

Lines Describe(const Deliveries& deliveries) {
    Lines lines;
    for (const Delivery& d : deliveries) {
        lines.push_back(std::to_string(d.to) + " " + test::FrameText(d.frame));
    }
    return lines;
}

// Sessions 1-4 are Ann (100), Bob (200), Cid (300) and Dan (400). "General" is a category, with
// the permanent forum "General/Lobby".
class ConversationForumsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Deliveries ignored;
        presence.Admit(1, "100", "Ann", "10.0.0.1", ignored);
        presence.Admit(2, "200", "Bob", "10.0.0.2", ignored);
        presence.Admit(3, "300", "Cid", "10.0.0.3", ignored);
        presence.Admit(4, "400", "Dan", "10.0.0.4", ignored);
        for (SessionId s : {1, 2, 3, 4}) {
            forums.AddSession(s);
        }
        ConversationRegistry::ForumPlan plan;
        plan.categories = {"General"};
        plan.forums = {{"General/Lobby", 0, ""}};
        forums.SetForumPlan(plan);
    }

    Lines Join(SessionId s, const std::string& path, const std::string& password = "",
               std::int32_t flags = 0) {
        Deliveries out;
        forums.JoinGroup(s, {0, path, password, flags}, out);
        return Describe(out);
    }
    Lines Ban(SessionId s, const std::string& ids, std::int16_t op = 1) {
        Deliveries out;
        forums.BanMember(s, {ids, op}, out);
        return Describe(out);
    }
    Lines Microphone(SessionId s, const std::string& ids, std::int16_t op) {
        Deliveries out;
        forums.SetMemberMicrophone(s, {ids, op}, out);
        return Describe(out);
    }
    Lines Role(SessionId s, const std::string& ids, std::int16_t owner, std::int16_t op) {
        Deliveries out;
        forums.SetMemberRole(s, {ids, owner, op}, out);
        return Describe(out);
    }
    Lines Disband(SessionId s) {
        Deliveries out;
        forums.DisbandGroup(s, out);
        return Describe(out);
    }
    Lines Rename(SessionId s, const std::string& path) {
        Deliveries out;
        forums.RenameGroup(s, {path}, out);
        return Describe(out);
    }

    PresenceRegistry presence;
    ConversationRegistry forums{presence};
};

TEST_F(ConversationForumsTest, TheCreatorOwnsItsForumAndAPasswordKeepsOthersOut) {
    // Conversation 1 is the permanent lobby; the new forum is 2.
    EXPECT_EQ(
        Join(1, "General/Test", "pw", ConversationRegistry::kModerated),
        (Lines{"1 JoinedGroup [General/Test]", "1 MemberJoined 2 Ann 100 [OM] 0", "1 CanTalk 1"}));
    EXPECT_EQ(Join(2, "General/Test"),
              (Lines{"2 ServerMessage 1 1 Wrong password - General/Test"}));
    EXPECT_EQ(Join(2, "General/Test", "PW"),
              (Lines{"2 ServerMessage 1 1 Wrong password - General/Test"}));
    EXPECT_EQ(
        Join(2, "General/Test", "pw", ConversationRegistry::kJoinOnly),
        (Lines{"2 JoinedGroup [General/Test]", "2 MemberJoined 2 Ann 100 [OM] 1",
               "2 MemberJoined 2 Bob 200 [] 0", "1 MemberJoined 2 Bob 200 [] 0", "2 CanTalk 1"}));
    EXPECT_EQ(forums.ForumOf(2), 2);
    // Leaving: the others see the member go; the last one takes a user forum with it.
    EXPECT_EQ(Join(2, ""), (Lines{"2 JoinedGroup []", "1 MemberLeft 2 Bob 200 0"}));
    EXPECT_EQ(Join(1, ""), (Lines{"1 JoinedGroup []"}));
    EXPECT_EQ(forums.ForumCount(), 1u);
    EXPECT_EQ(Join(2, "General/Test", "pw", ConversationRegistry::kJoinOnly),
              (Lines{"2 ServerMessage 1 1 The forum does not exist - General/Test"}));
}

TEST_F(ConversationForumsTest, PathsAndCategoriesDecideWhatMayBeCreated) {
    struct Case {
        std::string path;
        std::int32_t flags;
        std::string reason;  // empty: created
    };
    const std::vector<Case> cases = {
        {"General/Chat", 0, ""},
        {"general/Chat", 0, "No such category: forums are created inside a listed category"},
        {"Elsewhere/Chat", 0, "No such category: forums are created inside a listed category"},
        {"TopLevel", 0, "No such category: forums are created inside a listed category"},
        {"TopLevel", ConversationRegistry::kHidden, ""},
        {"Tour/Deep/Room", ConversationRegistry::kHidden, ""},
        {"/General/Slashed", 0, ""},
        {"General/Tab\there", 0, "Invalid characters in the forum name"},
        {"General/Line\nfeed", ConversationRegistry::kHidden,
         "Invalid characters in the forum name"},
        {"General/Return\r", 0, "Invalid characters in the forum name"},
        {"///", ConversationRegistry::kHidden, "The forum name is empty"},
        {"General/" + std::string(247, 'x'), 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const Lines lines = Join(3, c.path, "", c.flags);
        if (c.reason.empty()) {
            ASSERT_FALSE(lines.empty());
            EXPECT_EQ(lines.front(), "3 JoinedGroup [" + c.path + "]");
        } else {
            EXPECT_EQ(lines, (Lines{"3 ServerMessage 1 1 " + c.reason + " - " + c.path}));
        }
    }
    // Names are case-sensitive: the lobby and the lobby in other case are not the same forum.
    EXPECT_EQ(Join(4, "General/lobby", "", ConversationRegistry::kJoinOnly),
              (Lines{"4 ServerMessage 1 1 The forum does not exist - General/lobby"}));
}

TEST_F(ConversationForumsTest, AJoinNeverChangesAnExistingForumsOptions) {
    Join(1, "General/Quiet", "", ConversationRegistry::kControlledMicrophones);
    // Bob asks for a hidden, moderated forum of that name: he joins the one there is, and may
    // not speak in it.
    const Lines joined = Join(2, "General/Quiet", "",
                              ConversationRegistry::kHidden | ConversationRegistry::kModerated);
    ASSERT_FALSE(joined.empty());
    EXPECT_EQ(joined.back(), "2 CanTalk 0");
}

// Roles: 0 member, 1 moderator, 2 owner. Ann owns General/Room; Bob is made the role the row
// names, Cid the target's role, Dan stays a plain member.
TEST_F(ConversationForumsTest, ThePermissionTable) {
    enum Op { kModerate, kUnmoderate, kOwn, kBan, kUnban, kMicOn, kMicOff, kDisband, kRename };
    struct Case {
        int caller;
        Op op;
        int target;
        bool allowed;
    };
    const std::vector<Case> cases = {
        {2, kModerate, 0, true},    {2, kModerate, 1, false},   {2, kModerate, 2, false},
        {1, kModerate, 0, false},   {0, kModerate, 0, false},   {2, kUnmoderate, 1, true},
        {2, kUnmoderate, 0, false}, {2, kUnmoderate, 2, false}, {1, kUnmoderate, 1, false},
        {2, kOwn, 0, true},         {2, kOwn, 1, true},         {2, kOwn, 2, false},
        {1, kOwn, 0, false},        {2, kBan, 0, true},         {1, kBan, 0, true},
        {0, kBan, 0, false},        {2, kBan, 1, false},        {1, kBan, 2, false},
        {1, kUnban, 0, true},       {0, kUnban, 0, false},      {1, kMicOn, 0, true},
        {2, kMicOn, 0, true},       {0, kMicOn, 0, false},      {1, kMicOn, 1, false},
        {2, kMicOff, 2, false},     {2, kDisband, 0, true},     {1, kDisband, 0, false},
        {0, kDisband, 0, false},    {2, kRename, 0, true},      {1, kRename, 0, false},
        {0, kRename, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.caller) + " op " + std::to_string(c.op) + " on " +
                     std::to_string(c.target));
        PresenceRegistry people;
        ConversationRegistry room{people, ConversationRegistry::Limits{}};
        Deliveries ignored;
        people.Admit(1, "100", "Ann", "10.0.0.1", ignored);
        people.Admit(2, "200", "Bob", "10.0.0.2", ignored);
        people.Admit(3, "300", "Cid", "10.0.0.3", ignored);
        for (SessionId s : {1, 2, 3}) {
            room.AddSession(s);
        }
        room.SetForumPlan({{"General"}, {}});
        room.JoinGroup(1, {0, "General/Room", "", ConversationRegistry::kControlledMicrophones},
                       ignored);
        room.JoinGroup(2, {0, "General/Room", "", 0}, ignored);
        room.JoinGroup(3, {0, "General/Room", "", 0}, ignored);
        const auto make = [&](const char* id, int role) {
            if (role >= 1) {
                room.SetMemberRole(
                    1, {std::string(id) + "\n", role == 2 ? std::int16_t{1} : std::int16_t{0}, 1},
                    ignored);
            }
        };
        make("200", c.caller);
        make("300", c.target);
        if (c.op == kUnban) {
            room.BanMember(1, {"300\n", 1}, ignored);
        }
        if (c.op == kMicOff) {
            room.SetMemberMicrophone(1, {"300\n", 1}, ignored);
        }
        Deliveries out;
        switch (c.op) {
            case kModerate:
                room.SetMemberRole(2, {"300\n", 0, 1}, out);
                break;
            case kUnmoderate:
                room.SetMemberRole(2, {"300\n", 0, 2}, out);
                break;
            case kOwn:
                room.SetMemberRole(2, {"300\n", 1, 1}, out);
                break;
            case kBan:
                room.BanMember(2, {"300\n", 1}, out);
                break;
            case kUnban:
                room.BanMember(2, {"300\n", 2}, out);
                break;
            case kMicOn:
                room.SetMemberMicrophone(2, {"300\n", 1}, out);
                break;
            case kMicOff:
                room.SetMemberMicrophone(2, {"300\n", 2}, out);
                break;
            case kDisband:
                room.DisbandGroup(2, out);
                break;
            case kRename:
                room.RenameGroup(2, {"General/Other"}, out);
                break;
        }
        const Lines lines = Describe(out);
        const bool refused = std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
            return l.rfind("2 ServerMessage 1 6 ", 0) == 0;
        });
        EXPECT_EQ(!refused, c.allowed) << ::testing::PrintToString(lines);
        if (!c.allowed) {
            EXPECT_EQ(lines.size(), 1u) << ::testing::PrintToString(lines);
        } else if (c.op != kUnban) {
            // Lifting a ban of somebody absent is the one allowed change nobody has to hear of.
            EXPECT_FALSE(lines.empty());
        }
        // The effects, where the table names them.
        if (c.allowed && c.op == kBan) {
            EXPECT_EQ(room.ForumOf(3), 0);
            Deliveries again;
            room.JoinGroup(3, {0, "General/Room", "", 0}, again);
            EXPECT_EQ(Describe(again),
                      (Lines{"3 ServerMessage 1 1 You were banned from the forum - General/Room"}));
        }
        if (c.allowed && c.op == kUnban) {
            Deliveries again;
            room.JoinGroup(3, {0, "General/Room", "", 0}, again);
            ASSERT_FALSE(again.empty());
            EXPECT_EQ(Describe(again).front(), "3 JoinedGroup [General/Room]");
        }
        if (c.allowed && c.op == kDisband) {
            EXPECT_EQ(lines, (Lines{"1 JoinedGroup []", "2 JoinedGroup []", "3 JoinedGroup []"}));
            EXPECT_EQ(room.ForumCount(), 0u);
        }
        if (c.allowed && c.op == kRename) {
            EXPECT_EQ(lines,
                      (Lines{"1 JoinedGroup [General/Other]", "2 JoinedGroup [General/Other]",
                             "3 JoinedGroup [General/Other]"}));
        }
    }
}

TEST_F(ConversationForumsTest, ControlledMicrophonesAndRolesTellTheMemberWhetherItMaySpeak) {
    Join(1, "General/Stage", "", ConversationRegistry::kControlledMicrophones);
    Join(2, "General/Stage");
    EXPECT_EQ(Microphone(1, "200\n", 1), (Lines{"1 MemberChanged 2 Bob 200 [T]",
                                                "2 MemberChanged 2 Bob 200 [T]", "2 CanTalk 1"}));
    EXPECT_EQ(Microphone(1, "200\n", 1), Lines{});
    EXPECT_EQ(Microphone(1, "200\n", 2), (Lines{"1 MemberChanged 2 Bob 200 []",
                                                "2 MemberChanged 2 Bob 200 []", "2 CanTalk 0"}));
    EXPECT_EQ(Role(1, "200\n", 0, 1), (Lines{"1 MemberChanged 2 Bob 200 [M]",
                                             "2 MemberChanged 2 Bob 200 [M]", "2 CanTalk 1"}));
}

TEST_F(ConversationForumsTest, AKickIsABanAndItsLiftingAndTheKickedComesBack) {
    Join(1, "General/Room");
    Join(2, "General/Room");
    Join(3, "General/Room");
    Role(1, "200\n", 0, 1);
    EXPECT_EQ(Ban(2, "300\n", 1),
              (Lines{"3 JoinedGroup []", "1 MemberLeft 2 Cid 300 0", "2 MemberLeft 2 Cid 300 0"}));
    EXPECT_EQ(Ban(2, "300\n", 2), Lines{});
    EXPECT_EQ(Join(3, "General/Room").front(), "3 JoinedGroup [General/Room]");
    // A ban by id needs no member there, and a permanent forum stays when it empties.
    EXPECT_EQ(Ban(1, "400\n"), Lines{});
    EXPECT_EQ(Join(4, "General/Room"),
              (Lines{"4 ServerMessage 1 1 You were banned from the forum - General/Room"}));
    Join(4, "General/Lobby");
    Join(4, "");
    EXPECT_EQ(Join(4, "General/Lobby", "", ConversationRegistry::kJoinOnly).front(),
              "4 JoinedGroup [General/Lobby]");
}

TEST_F(ConversationForumsTest, ASessionThatEndsLeavesItsForum) {
    Join(1, "General/Room");
    Join(2, "General/Room");
    Deliveries out;
    forums.Remove(2, out);
    EXPECT_EQ(Describe(out), (Lines{"1 MemberLeft 2 Bob 200 3"}));
    Deliveries last;
    forums.Remove(1, last);
    EXPECT_EQ(forums.ForumCount(), 1u);
}

TEST_F(ConversationForumsTest, CapacityAndAJoinElsewhereLeavesTheOldForum) {
    PresenceRegistry people;
    ConversationRegistry::Limits limits;
    limits.forumSize = 2;
    ConversationRegistry room{people, limits};
    Deliveries ignored;
    people.Admit(1, "100", "Ann", "10.0.0.1", ignored);
    people.Admit(2, "200", "Bob", "10.0.0.2", ignored);
    people.Admit(3, "300", "Cid", "10.0.0.3", ignored);
    for (SessionId s : {1, 2, 3}) {
        room.AddSession(s);
    }
    room.SetForumPlan({{"General"}, {}});
    room.JoinGroup(1, {0, "General/A", "", 0}, ignored);
    room.JoinGroup(2, {0, "General/A", "", 0}, ignored);
    Deliveries out;
    room.JoinGroup(3, {0, "General/A", "", 0}, out);
    EXPECT_EQ(Describe(out),
              (Lines{"3 ServerMessage 1 1 The forum has too many users - General/A"}));
    out.clear();
    room.JoinGroup(2, {0, "General/B", "", 0}, out);
    EXPECT_EQ(Describe(out), (Lines{"1 MemberLeft 1 Bob 200 0", "2 JoinedGroup [General/B]",
                                    "2 MemberJoined 2 Bob 200 [OM] 0", "2 CanTalk 1"}));
}

}  // namespace
}  // namespace qv::voicesvc

namespace qv::voicesvc {
namespace {

class ConversationChatTest : public ConversationForumsTest {
  protected:
    Lines Say(SessionId s, const std::string& alias, std::int16_t number, const std::string& text,
              std::int16_t parameter = 0) {
        Deliveries out;
        const voice::SendUserMessage message{alias, number, parameter, text};
        EXPECT_TRUE(ConversationRegistry::IsChatLine(message));
        forums.SendChatLine(s, message, out);
        return Describe(out);
    }
    // Conference 2 with Ann and Bob active (the lobby is conversation 1).
    void Call() {
        Deliveries out;
        const auto now = ConversationRegistry::Clock::now();
        forums.InviteUser(1, {"200", 0, ""}, now, out);
        forums.Accept(2, forums.ConferencesOf(2).at(0), out);
    }
};

TEST_F(ConversationChatTest, LinesGoToEveryOtherMemberOfTheSendersForum) {
    Join(1, "General/Lobby");
    Join(2, "General/Lobby");
    Join(3, "General/Lobby");
    Join(4, "General/Other");
    EXPECT_EQ(Say(1, "", 4, "hello \t all"), (Lines{"2 UserMessage Ann 100 4 0 hello \t all",
                                                    "3 UserMessage Ann 100 4 0 hello \t all"}));
    EXPECT_EQ(Say(2, "", 6, "waves", 3),
              (Lines{"1 UserMessage Bob 200 6 3 waves", "3 UserMessage Bob 200 6 3 waves"}));
    // Dan is alone in his forum: nobody to tell.
    EXPECT_EQ(Say(4, "", 4, "anyone?"), Lines{});
}

TEST_F(ConversationChatTest, WhispersReachTheNamedMemberOnly) {
    Join(1, "General/Lobby");
    Join(2, "General/Lobby");
    Join(3, "General/Lobby");
    Join(4, "General/Other");
    struct Case {
        SessionId from;
        std::string alias;
        Lines expected;
    };
    const std::vector<Case> cases = {
        {1, "Bob", {"2 UserMessage Ann 100 5 0 psst"}},
        {1, "300", {"3 UserMessage Ann 100 5 0 psst"}},
        // Nicknames are exact.
        {1, "bob", {"1 ServerMessage 1 2 User is offline - bob"}},
        // Dan is online but elsewhere.
        {1, "Dan", {"1 ServerMessage 1 2 User is offline - Dan"}},
        {1, "400", {"1 ServerMessage 1 2 User is offline - 400"}},
        // Never to the sender itself.
        {1, "Ann", {"1 ServerMessage 1 2 User is offline - Ann"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Say(c.from, c.alias, 5, "psst"), c.expected) << c.alias;
    }
}

TEST_F(ConversationChatTest, AWhisperToANicknameSeveralMembersShareReachesThemAll) {
    Deliveries ignored;
    presence.Admit(5, "500", "Bob", "10.0.0.5", ignored);
    forums.AddSession(5);
    Join(1, "General/Lobby");
    Join(2, "General/Lobby");
    Join(5, "General/Lobby");
    EXPECT_EQ(Say(1, "Bob", 5, "both"),
              (Lines{"2 UserMessage Ann 100 5 0 both", "5 UserMessage Ann 100 5 0 both"}));
}

TEST_F(ConversationChatTest, ABlockingMemberGetsNothingAndTheSenderIsNotTold) {
    Join(1, "General/Lobby");
    Join(2, "General/Lobby");
    Join(3, "General/Lobby");
    Deliveries ignored;
    presence.SetBlockList(3, {0, "100\n"}, ignored);
    EXPECT_EQ(Say(1, "", 4, "hi"), (Lines{"2 UserMessage Ann 100 4 0 hi"}));
    EXPECT_EQ(Say(1, "Cid", 5, "hi"), Lines{});
}

TEST_F(ConversationChatTest, InACallLinesGoToTheActiveMembersNotTheHeld) {
    Call();
    EXPECT_EQ(Say(1, "", 4, "hi Bob"), (Lines{"2 UserMessage Ann 100 4 0 hi Bob"}));
    EXPECT_EQ(Say(2, "Ann", 5, "hi Ann"), (Lines{"1 UserMessage Bob 200 5 0 hi Ann"}));
    // Bob holds the call: he is in no active conversation, and Ann's line reaches nobody.
    Deliveries out;
    forums.Hold(2, {forums.ConferencesOf(2).at(0), 0, ""}, out);
    EXPECT_EQ(Say(1, "", 4, "still there?"), Lines{});
    EXPECT_EQ(Say(2, "", 4, "on hold"), Lines{});
    EXPECT_EQ(Say(1, "Bob", 5, "x"), (Lines{"1 ServerMessage 1 2 User is offline - Bob"}));
}

TEST_F(ConversationChatTest, OnlyChatNumbersAreRoutedHere) {
    struct Case {
        std::string alias;
        std::int16_t number;
        bool chat;
    };
    const std::vector<Case> cases = {
        {"", 4, true},   {"", 6, true},      {"Bob", 5, true},  {"200", 5, true},
        {"", 5, false},  {"200", 4, false},  {"200", 6, false}, {"", 1, false},
        {"", 11, false}, {"200", 14, false}, {"", 0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ConversationRegistry::IsChatLine({c.alias, c.number, 0, "t"}), c.chat)
            << c.alias << " " << c.number;
    }
}

TEST_F(ConversationChatTest, ControlledMicrophonesDecideWhoIsForwarded) {
    Join(1, "General/Stage", "", ConversationRegistry::kControlledMicrophones);
    Join(2, "General/Stage");
    Join(3, "General/Stage");
    const std::int32_t stage = forums.ForumOf(1);
    const auto silent = [&] { return forums.MediaGroup(stage)->silent; };
    // Ann owns it; Bob and Cid only listen.
    EXPECT_EQ(silent(), (std::vector<SessionId>{2, 3}));
    EXPECT_EQ(forums.MediaGroup(stage)->active, (std::vector<SessionId>{1, 2, 3}));
    Microphone(1, "200\n", 1);
    EXPECT_EQ(silent(), (std::vector<SessionId>{3}));
    Role(1, "300\n", 0, 1);
    EXPECT_EQ(silent(), std::vector<SessionId>{});
    Microphone(1, "200\n", 2);
    Role(1, "300\n", 0, 2);
    EXPECT_EQ(silent(), (std::vector<SessionId>{2, 3}));
    // Without controlled microphones everybody is heard.
    Join(4, "General/Open");
    Join(2, "General/Open");
    EXPECT_EQ(forums.MediaGroup(forums.ForumOf(4))->silent, std::vector<SessionId>{});
}

TEST_F(ConversationChatTest, TheListVersionFollowsVisibleChangesOnly) {
    const std::uint64_t start = forums.ListVersion();
    Join(1, "Hidden/Room", "", ConversationRegistry::kHidden);
    Join(2, "Hidden/Room");
    Join(2, "");
    EXPECT_EQ(forums.ListVersion(), start);
    Join(3, "General/Lobby");
    EXPECT_GT(forums.ListVersion(), start);
    const std::uint64_t joined = forums.ListVersion();
    Join(3, "");
    EXPECT_GT(forums.ListVersion(), joined);
}

}  // namespace
}  // namespace qv::voicesvc
