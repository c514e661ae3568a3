// Forums through the networked engine against a scripted server: the frames JoinGroup and the
// moderation methods send, the events the server's forum frames become, the user list built from
// the forum's roster, the forum list assembled from its pieces, local echo of text chat lines, and
// events raised on the engine's thread, never inside the method that caused them.

#include <atomic>
#include <thread>

#include "NetEngineFixture.h"

namespace qv::test {
namespace {

using Lines = std::vector<std::string>;
using Millis = std::chrono::milliseconds;
using voice::MessageType;

constexpr std::int32_t kForum = 77;

class NetForumTest : public NetEngineFixture {
  protected:
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
    bool Silent() { return sink.StaysAt(seen, Millis(200)); }
    void LoggedIn() {
        LogIn();
        seen = sink.Count();
    }

    static std::string Joined(const std::string& path) {
        return voice::Encode(voice::JoinedGroup{path});
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
    static std::string Left(std::int32_t c, const std::string& nick, const std::string& id) {
        return voice::Encode(voice::MemberLeft{c, nick, id, 0});
    }
    static std::string Talk(int on) {
        return voice::Encode(voice::CanTalk{static_cast<std::uint8_t>(on)});
    }
    static std::string Pieces(int last, const std::string& piece) {
        return voice::Encode(voice::GroupList{static_cast<std::uint8_t>(last), piece});
    }

    // We (Nick, 42) join General/Lobby, where Bob (7) owns the forum.
    void InLobby() {
        LoggedIn();
        ASSERT_NE(Engine().JoinGroup("General/Lobby", "pw", 4), 0);
        const auto join = As<voice::JoinGroup>(server.Next(), MessageType::kJoinGroup);
        ASSERT_TRUE(join);
        EXPECT_EQ(join->path, "General/Lobby");
        EXPECT_EQ(join->password, "pw");
        EXPECT_EQ(join->flags, 4);
        EXPECT_EQ(After({Joined("General/Lobby"), Member(kForum, "Bob", "7", "OM", 1),
                         Member(kForum, "Nick", "42", "", 0), Talk(1)},
                        5),
                  (Lines{"JoinedGroup General/Lobby", "UserChange Bob 7 1 1", "userListUpdate",
                         "userListUpdate", "canTalkEvent 1"}));
        EXPECT_EQ(Engine().GetUserList(), "Bob\t7\tOM\nNick\t42\t\n");
    }

    std::size_t seen = 0;
};

TEST_F(NetForumTest, AJoinBuildsTheForumsRosterAndALeaveEmptiesIt) {
    InLobby();
    // Someone comes, we get a microphone, Bob goes.
    EXPECT_EQ(After({Member(kForum, "Cat", "9", "", 0)}, 2),
              (Lines{"UserChange Cat 9 1 0", "userListUpdate"}));
    EXPECT_EQ(After({Changed(kForum, "Nick", "42", "T")}, 1), Lines{"userListUpdate"});
    EXPECT_EQ(After({Left(kForum, "Bob", "7")}, 2),
              (Lines{"UserChange Bob 7 0 0", "userListUpdate"}));
    EXPECT_EQ(Engine().GetUserList(), "Nick\t42\tT\nCat\t9\t\n");
    // Leaving: an empty path, answered by JoinedGroup("").
    ASSERT_NE(Engine().JoinGroup("", "", 0), 0);
    const auto leave = As<voice::JoinGroup>(server.Next(), MessageType::kJoinGroup);
    ASSERT_TRUE(leave);
    EXPECT_EQ(leave->path, "");
    EXPECT_EQ(After({Joined("")}, 2), (Lines{"JoinedGroup ", "userListUpdate"}));
    EXPECT_EQ(Engine().GetUserList(), "");
    // A late roster frame of the forum left belongs to nothing.
    ASSERT_TRUE(server.Send(Member(kForum, "Dan", "11", "", 0)));
    EXPECT_TRUE(Silent());
    EXPECT_EQ(Engine().GetUserList(), "");
}

TEST_F(NetForumTest, JoiningAnotherForumReplacesTheRowsAndARenameKeepsThem) {
    InLobby();
    // Joined elsewhere: the next roster is that forum's.
    ASSERT_NE(Engine().JoinGroup("General/Quiet", "", 2), 0);
    ASSERT_TRUE(As<voice::JoinGroup>(server.Next(), MessageType::kJoinGroup));
    EXPECT_EQ(After({Joined("General/Quiet"), Member(80, "Nick", "42", "", 0), Talk(1)}, 3),
              (Lines{"JoinedGroup General/Quiet", "userListUpdate", "canTalkEvent 1"}));
    EXPECT_EQ(Engine().GetUserList(), "Nick\t42\t\n");
    // Renamed by its owner: the same members under the new path.
    EXPECT_EQ(After({Joined("General/Hushed")}, 1), Lines{"JoinedGroup General/Hushed"});
    EXPECT_EQ(After({Member(80, "Cat", "9", "", 0)}, 2),
              (Lines{"UserChange Cat 9 1 0", "userListUpdate"}));
    EXPECT_EQ(Engine().GetUserList(), "Nick\t42\t\nCat\t9\t\n");
}

TEST_F(NetForumTest, AForumAndACallKeepTheirRostersApart) {
    InLobby();
    // A conference the user is in: its roster frames are the call's, not the forum's.
    EXPECT_EQ(
        After({voice::Encode(voice::JoinedConference{5, 1, 0}), Member(5, "Eve", "12", "", 1)}, 4),
        (Lines{"JoinedConference 5 1 0", "userListUpdate", "UserChange Eve 12 1 1",
               "userListUpdate"}));
    EXPECT_EQ(Engine().GetUserList(), "Bob\t7\tOM\nNick\t42\t\n");
}

TEST_F(NetForumTest, ModerationSendsItsFramesWithLineFeedEndedIds) {
    InLobby();
    SonaroControl& e = Engine();
    EXPECT_NE(e.BanMember("7", 1), 0);
    EXPECT_NE(e.BanMember("7\n", 2), 0);
    EXPECT_NE(e.SetMemberMicrophone("9\n10", 1), 0);
    EXPECT_NE(e.SetMemberRole("9", 0, 1), 0);
    EXPECT_NE(e.SetMemberRole("9\n", 1, 2), 0);
    // What the server would take for a broken frame is never sent.
    EXPECT_EQ(e.BanMember("7", 3), 0);
    EXPECT_EQ(e.SetMemberMicrophone("7", 0), 0);
    EXPECT_EQ(e.SetMemberRole("7", 2, 1), 0);
    EXPECT_EQ(e.BanMember("", 1), 0);
    EXPECT_EQ(e.RenameGroup(""), 0);
    EXPECT_EQ(e.RenameGroup(std::string(256, 'a')), 0);
    EXPECT_EQ(e.JoinGroup(std::string(256, 'a'), "", 0), 0);
    EXPECT_EQ(e.JoinGroup("General/Lobby", std::string(65, 'p'), 0), 0);
    EXPECT_EQ(e.JoinGroup(std::string("a\0b", 3), "", 0), 0);
    EXPECT_NE(e.RenameGroup("General/Hall"), 0);
    EXPECT_NE(e.DisbandGroup(), 0);

    const auto ban = As<voice::MemberOperation>(server.Next(), MessageType::kBanMember);
    ASSERT_TRUE(ban);
    EXPECT_EQ(ban->ids, "7\n");
    EXPECT_EQ(ban->op, 1);
    const auto lift = As<voice::MemberOperation>(server.Next(), MessageType::kBanMember);
    ASSERT_TRUE(lift);
    EXPECT_EQ(lift->ids, "7\n");
    EXPECT_EQ(lift->op, 2);
    const auto mic = As<voice::MemberOperation>(server.Next(), MessageType::kSetMemberMicrophone);
    ASSERT_TRUE(mic);
    EXPECT_EQ(mic->ids, "9\n10\n");
    EXPECT_EQ(mic->op, 1);
    const auto moderator = As<voice::SetMemberRole>(server.Next(), MessageType::kSetMemberRole);
    ASSERT_TRUE(moderator);
    EXPECT_EQ(moderator->ids, "9\n");
    EXPECT_EQ(moderator->owner, 0);
    EXPECT_EQ(moderator->op, 1);
    const auto owner = As<voice::SetMemberRole>(server.Next(), MessageType::kSetMemberRole);
    ASSERT_TRUE(owner);
    EXPECT_EQ(owner->owner, 1);
    EXPECT_EQ(owner->op, 2);
    const auto rename = As<voice::RenameGroup>(server.Next(), MessageType::kRenameGroup);
    ASSERT_TRUE(rename);
    EXPECT_EQ(rename->path, "General/Hall");
    EXPECT_TRUE(As<voice::DisbandGroup>(server.Next(), MessageType::kDisbandGroup));
    EXPECT_TRUE(server.Quiet());
    // Disbanded (or kicked, or banned): out of the forum.
    EXPECT_EQ(After({Joined("")}, 2), (Lines{"JoinedGroup ", "userListUpdate"}));
}

TEST_F(NetForumTest, ALongIdListGoesInPiecesOfWholeLines) {
    InLobby();
    std::string ids;
    for (int i = 1000000; ids.size() <= voice::kMaxIdList + 100; ++i) {
        ids += std::to_string(i) + "\n";
    }
    ASSERT_NE(Engine().BanMember(ids, 1), 0);
    std::string got;
    while (got.size() < ids.size()) {
        const auto ban = As<voice::MemberOperation>(server.Next(), MessageType::kBanMember);
        ASSERT_TRUE(ban);
        EXPECT_LE(ban->ids.size(), voice::kMaxIdList);
        EXPECT_EQ(ban->ids.back(), '\n');
        got += ban->ids;
    }
    EXPECT_EQ(got, ids);
}

TEST_F(NetForumTest, MutingIsLocalAndMarksTheRowWithX) {
    InLobby();
    EXPECT_NE(Engine().MuteMember("7", 1), 0);
    EXPECT_EQ(After({}, 1), Lines{"userListUpdate"});
    EXPECT_EQ(Engine().GetUserList(), "Bob\t7\tOMX\nNick\t42\t\n");
    EXPECT_NE(Engine().MuteMember("7\n", 0), 0);
    EXPECT_EQ(After({}, 1), Lines{"userListUpdate"});
    EXPECT_EQ(Engine().GetUserList(), "Bob\t7\tOM\nNick\t42\t\n");
    // Nothing of it goes to the server.
    EXPECT_TRUE(server.Quiet());
}

TEST_F(NetForumTest, CanTalkBecomesTheEventEachTime) {
    InLobby();
    EXPECT_EQ(After({Talk(0)}, 1), Lines{"canTalkEvent 0"});
    EXPECT_EQ(After({Talk(1)}, 1), Lines{"canTalkEvent 1"});
}

TEST_F(NetForumTest, TheForumListIsAskedForOnceRegisteredAndRaisedWhenWhole) {
    Credentials().SetVoiceTicket("conn-1");
    ASSERT_TRUE(ConnectToServer());
    ASSERT_TRUE(server.Greet());
    // Writes before Welcome and before Registered: one request once registered.
    Engine().SetModeFlags(0);
    ASSERT_TRUE(server.SendWelcome());
    ASSERT_TRUE(sink.WaitFor("connectionEvent 0 "));
    Engine().SetModeFlags(0);
    Engine().SetUserId("42");
    Engine().SetUserName("nick");
    ASSERT_TRUE(As<voice::RegisterTicket>(server.Next(), MessageType::kRegisterTicket));
    EXPECT_TRUE(server.Quiet());
    ASSERT_TRUE(server.Send(voice::Encode(voice::Registered{"42", "Nick"})));
    ASSERT_TRUE(sink.WaitFor("Registered Nick"));
    seen = sink.Count();
    EXPECT_TRUE(As<voice::GroupListRequest>(server.Next(), MessageType::kGroupListRequest));
    EXPECT_TRUE(server.Quiet());
    // The pieces make one list, raised once.
    EXPECT_EQ(After({Pieces(0, "General/Lobby\t3\t\n"), Pieces(1, "General/Friends\t12\tPM\n")}, 1),
              Lines{"groupListUpdate"});
    EXPECT_TRUE(Silent());
    EXPECT_EQ(Engine().GetGroupList(), "General/Lobby\t3\t\nGeneral/Friends\t12\tPM\n");
    // Every later write asks again; an empty list is a list too.
    Engine().SetModeFlags(0);
    EXPECT_TRUE(As<voice::GroupListRequest>(server.Next(), MessageType::kGroupListRequest));
    EXPECT_EQ(After({Pieces(1, "")}, 1), Lines{"groupListUpdate"});
    EXPECT_EQ(Engine().GetGroupList(), "");
}

TEST_F(NetForumTest, AForumListThatGrowsPastItsBoundIsDropped) {
    LoggedIn();
    EXPECT_EQ(After({Pieces(1, "General/Lobby\t1\t\n")}, 1), Lines{"groupListUpdate"});
    // Whole lines of about 60000 bytes each, until the list passes 4 MiB.
    const std::string line =
        "General/" + std::string(voice::kMaxGroupListPiece - 20, 'x') + "\t1\t\n";
    for (std::size_t total = 0; total <= 4u * 1024 * 1024; total += line.size()) {
        ASSERT_TRUE(server.Send(Pieces(0, line)));
    }
    ASSERT_TRUE(server.Send(Pieces(1, line)));
    // The list that fits afterwards is taken again.
    EXPECT_EQ(After({Pieces(1, "General/Hall\t2\tT\n")}, 1), Lines{"groupListUpdate"});
    EXPECT_EQ(Engine().GetGroupList(), "General/Hall\t2\tT\n");
}

TEST_F(NetForumTest, LocalEchoRaisesTheUsersOwnChatLinesOnly) {
    InLobby();
    Engine().SetParameter(0, 1);
    EXPECT_NE(Engine().SendUserMessage("", 4, 0, "hello all"), 0);
    EXPECT_NE(Engine().SendUserMessage("", 6, 0, "waves"), 0);
    // A whisper by nickname goes as it is, without an echo.
    EXPECT_NE(Engine().SendUserMessage("Bob", 5, 0, "psst"), 0);
    for (const auto& [alias, number, text] :
         {std::tuple<std::string, int, std::string>{"", 4, "hello all"},
          {"", 6, "waves"},
          {"Bob", 5, "psst"}}) {
        const auto sent = As<voice::SendUserMessage>(server.Next(), MessageType::kSendUserMessage);
        ASSERT_TRUE(sent);
        EXPECT_EQ(sent->alias, alias);
        EXPECT_EQ(sent->number, number);
        EXPECT_EQ(sent->text, text);
    }
    EXPECT_EQ(After({}, 2),
              (Lines{"UserMessage Nick 42 4 0 hello all", "UserMessage Nick 42 6 0 waves"}));
    EXPECT_TRUE(Silent());
    // Without the echo, the line only goes out.
    Engine().SetParameter(0, 0);
    EXPECT_NE(Engine().SendUserMessage("", 4, 0, "quiet"), 0);
    EXPECT_TRUE(As<voice::SendUserMessage>(server.Next(), MessageType::kSendUserMessage));
    EXPECT_TRUE(Silent());
    // Nor is a line echoed while the user is in no conversation: it reaches nobody.
    Engine().SetParameter(0, 1);
    EXPECT_EQ(After({Joined("")}, 2), (Lines{"JoinedGroup ", "userListUpdate"}));
    EXPECT_NE(Engine().SendUserMessage("", 4, 0, "anyone?"), 0);
    EXPECT_TRUE(As<voice::SendUserMessage>(server.Next(), MessageType::kSendUserMessage));
    EXPECT_TRUE(Silent());
}

TEST_F(NetForumTest, RequestsBeforeRegisteredWaitAndAnOlderServerHasNoForums) {
    struct Case {
        std::uint16_t protocol;
        bool forums;
    };
    for (const Case& k : {Case{voice::kForumVersion, true}, Case{voice::kMediaVersion, false}}) {
        SCOPED_TRACE(k.protocol);
        Engine().Disconnect();
        sink.Clear();
        server.protocol = k.protocol;
        Credentials().SetVoiceTicket("conn-1");
        ConnectWelcomed();
        EXPECT_EQ(Engine().JoinGroup("General/Lobby", "", 2) != 0, k.forums);
        EXPECT_EQ(Engine().BanMember("7", 1) != 0, k.forums);
        EXPECT_EQ(Engine().DisbandGroup() != 0, k.forums);
        Engine().SetModeFlags(0);
        Engine().SetUserId("42");
        Engine().SetUserName("nick");
        ASSERT_TRUE(As<voice::RegisterTicket>(server.Next(), MessageType::kRegisterTicket));
        if (k.forums) {
            EXPECT_TRUE(server.Quiet());
        } else {
            // Nothing to ask for: the empty list says so at once.
            EXPECT_TRUE(sink.WaitFor("groupListUpdate"));
        }
        ASSERT_TRUE(server.Send(voice::Encode(voice::Registered{"42", "Nick"})));
        if (k.forums) {
            EXPECT_TRUE(As<voice::JoinGroup>(server.Next(), MessageType::kJoinGroup));
            EXPECT_TRUE(As<voice::MemberOperation>(server.Next(), MessageType::kBanMember));
            EXPECT_TRUE(As<voice::DisbandGroup>(server.Next(), MessageType::kDisbandGroup));
            EXPECT_TRUE(As<voice::GroupListRequest>(server.Next(), MessageType::kGroupListRequest));
        }
        EXPECT_TRUE(server.Quiet());
        // A forum frame the version does not have is a broken server.
        if (!k.forums) {
            ASSERT_TRUE(server.Send(Joined("General/Lobby")));
            EXPECT_TRUE(sink.WaitFor("connectionEvent 5 Protocol error"));
        }
    }
}

TEST_F(NetForumTest, EventsComeOnTheEnginesThreadAndMayCallBackIn) {
    LoggedIn();
    const std::thread::id test = std::this_thread::get_id();
    std::atomic<int> onTestThread{0};
    sink.onEvent = [&](const std::string& line) {
        if (std::this_thread::get_id() == test) {
            ++onTestThread;
        }
        // What the host does inside these events.
        if (line.rfind("JoinedGroup General", 0) == 0) {
            Engine().SetStandby(0);
            Engine().Talk(1);
            Engine().GetUserList();
            Engine().SendUserMessage("", 4, 0, "hi");
        } else if (line == "userListUpdate") {
            Engine().GetUserList();
        } else if (line == "groupListUpdate") {
            Engine().GetGroupList();
        }
    };
    Engine().SetParameter(0, 1);
    ASSERT_TRUE(server.Send(Joined("General/Lobby")));
    ASSERT_TRUE(server.Send(Member(kForum, "Nick", "42", "", 0)));
    ASSERT_TRUE(sink.WaitFor("userListUpdate"));
    // The methods that raise something later: none of it inside the call.
    EXPECT_NE(Engine().MuteMember("7", 1), 0);
    EXPECT_NE(Engine().SendUserMessage("", 4, 0, "echoed"), 0);
    EXPECT_TRUE(sink.WaitFor("UserMessage Nick 42 4 0 echoed"));
    ASSERT_TRUE(server.Send(Pieces(1, "")));
    ASSERT_TRUE(sink.WaitFor("groupListUpdate"));
    EXPECT_TRUE(sink.WaitFor("UserMessage Nick 42 4 0 hi"));
    sink.onEvent = nullptr;
    EXPECT_EQ(onTestThread.load(), 0);
}

}  // namespace
}  // namespace qv::test
