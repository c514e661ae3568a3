// The engine's forum book alone: forum frames in, events, user lists and the forum list out.

#include "ForumBook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <variant>

#include "RecordingSink.h"

namespace qv::net {
namespace {

using Lines = std::vector<std::string>;

Lines Raised(const ForumBook::Events& events) {
    test::RecordingSink sink;
    for (const SessionHost::Raise& raise : events) {
        raise(sink);
    }
    return sink.Events();
}

using Frame = std::variant<voice::JoinedGroup, voice::MemberJoined, voice::MemberChanged,
                           voice::MemberLeft, voice::CanTalk>;

struct Step {
    Frame frame;
    bool conference;  // the conference book knows the conversation
    bool forums;      // the forum book takes a roster frame
    Lines events;
    std::string list;  // UserList afterwards
};

ForumBook::Events Feed(ForumBook& book, const Step& step, bool& taken) {
    taken = true;
    ForumBook::Events out;
    std::visit(
        [&](const auto& m) {
            using M = std::decay_t<decltype(m)>;
            if constexpr (std::is_same_v<M, voice::JoinedGroup>) {
                out = book.OnJoinedGroup(m);
            } else if constexpr (std::is_same_v<M, voice::CanTalk>) {
                out = book.OnCanTalk(m);
            } else if constexpr (std::is_same_v<M, voice::MemberJoined>) {
                taken = book.OnMemberJoined(m, step.conference, out);
            } else if constexpr (std::is_same_v<M, voice::MemberChanged>) {
                taken = book.OnMemberChanged(m, step.conference, out);
            } else {
                taken = book.OnMemberLeft(m, step.conference, out);
            }
        },
        step.frame);
    return out;
}

TEST(ForumBookTest, RostersFollowTheForumJoinedLast) {
    const std::vector<Step> steps = {
        // Roster frames before any forum are a conference's.
        {voice::MemberJoined{5, "Eve", "12", "", 1}, false, false, {}, ""},
        {voice::JoinedGroup{"General/Lobby"}, false, true, {"JoinedGroup General/Lobby"}, ""},
        // A conference's frame while the roster is awaited is still the conference's.
        {voice::MemberJoined{5, "Eve", "12", "", 0}, true, false, {}, ""},
        {voice::MemberJoined{77, "Bob", "7", "OMZ", 1},
         false,
         true,
         {"UserChange Bob 7 1 1", "userListUpdate"},
         "Bob\t7\tOM\n"},
        {voice::MemberJoined{77, "Nick", "42", "", 0},
         false,
         true,
         {"userListUpdate"},
         "Bob\t7\tOM\nNick\t42\t\n"},
        // Another unknown conversation once the forum is known: not the forum's.
        {voice::MemberJoined{6, "Dan", "11", "", 0}, false, false, {}, "Bob\t7\tOM\nNick\t42\t\n"},
        {voice::MemberChanged{77, "Nick", "42", "T"},
         false,
         true,
         {"userListUpdate"},
         "Bob\t7\tOM\nNick\t42\tT\n"},
        {voice::CanTalk{0}, false, true, {"canTalkEvent 0"}, "Bob\t7\tOM\nNick\t42\tT\n"},
        // Renamed: the rows stay.
        {voice::JoinedGroup{"General/Hall"},
         false,
         true,
         {"JoinedGroup General/Hall"},
         "Bob\t7\tOM\nNick\t42\tT\n"},
        {voice::MemberLeft{77, "Bob", "7", 0},
         false,
         true,
         {"UserChange Bob 7 0 0", "userListUpdate"},
         "Nick\t42\tT\n"},
        // Joined elsewhere: the new forum's roster replaces the rows.
        {voice::JoinedGroup{"General/Quiet"},
         false,
         true,
         {"JoinedGroup General/Quiet"},
         "Nick\t42\tT\n"},
        {voice::MemberJoined{80, "Nick", "42", "", 0},
         false,
         true,
         {"userListUpdate"},
         "Nick\t42\t\n"},
        {voice::JoinedGroup{""}, false, true, {"JoinedGroup ", "userListUpdate"}, ""},
        {voice::MemberJoined{80, "Cat", "9", "", 0}, false, false, {}, ""},
        // Out of a forum already: no list to change.
        {voice::JoinedGroup{""}, false, true, {"JoinedGroup "}, ""},
    };
    ForumBook book;
    book.SetOwnId("42");
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        bool taken = false;
        const ForumBook::Events events = Feed(book, steps[i], taken);
        EXPECT_EQ(taken, steps[i].forums);
        EXPECT_EQ(Raised(events), steps[i].events);
        EXPECT_EQ(book.UserList(), steps[i].list);
    }
    EXPECT_FALSE(book.In());
    EXPECT_TRUE(book.CanTalk()) << "the right to speak goes with the forum";
}

TEST(ForumBookTest, TheRosterIsBounded) {
    ForumBook book;
    book.SetOwnId("42");
    book.OnJoinedGroup({"General/Lobby"});
    ForumBook::Events out;
    for (std::size_t i = 0; i < ForumBook::kMaxRows + 5; ++i) {
        out.clear();
        EXPECT_TRUE(book.OnMemberJoined({77, "M", std::to_string(1000 + i), "", 1}, false, out));
    }
    EXPECT_TRUE(out.empty()) << "a row not kept raises nothing";
    const std::string list = book.UserList();
    EXPECT_EQ(static_cast<std::size_t>(std::count(list.begin(), list.end(), '\n')),
              ForumBook::kMaxRows);
    // A member already there still changes.
    out.clear();
    EXPECT_TRUE(book.OnMemberJoined({77, "N", "1000", "M", 0}, false, out));
    EXPECT_EQ(Raised(out), (Lines{"UserChange N 1000 1 0", "userListUpdate"}));
}

TEST(ForumBookTest, MutedMembersCarryXOnce) {
    struct Case {
        std::string list;
        std::string marked;
    };
    ForumBook book;
    EXPECT_TRUE(book.SetMuted("7", true));
    EXPECT_FALSE(book.SetMuted("7", true));
    for (const Case& k : {
             Case{"", ""},
             Case{"Bob\t7\t\n", "Bob\t7\tX\n"},
             Case{"Bob\t7\tOM\nCat\t9\t\n", "Bob\t7\tOMX\nCat\t9\t\n"},
             Case{"Bob\t7\tX\n", "Bob\t7\tX\n"},
             Case{"Bob\t77\t\n", "Bob\t77\t\n"},
         }) {
        SCOPED_TRACE(k.list);
        EXPECT_EQ(book.MarkMuted(k.list), k.marked);
    }
    EXPECT_TRUE(book.Muted("7"));
    EXPECT_TRUE(book.SetMuted("7", false));
    EXPECT_EQ(book.MarkMuted("Bob\t7\t\n"), "Bob\t7\t\n");
}

TEST(ForumBookTest, TheForumListIsTakenWholeAndWithinItsBound) {
    ForumBook book;
    EXPECT_TRUE(Raised(book.OnGroupList({0, "A/B\t1\t\n"})).empty());
    EXPECT_EQ(book.GroupList(), "");
    EXPECT_EQ(Raised(book.OnGroupList({1, "A/C\t2\tP\n"})), Lines{"groupListUpdate"});
    EXPECT_EQ(book.GroupList(), "A/B\t1\t\nA/C\t2\tP\n");
    const std::string piece(voice::kMaxGroupListPiece, 'x');
    for (std::size_t total = 0; total <= ForumBook::kMaxGroupList; total += piece.size()) {
        EXPECT_TRUE(Raised(book.OnGroupList({0, piece})).empty());
    }
    EXPECT_TRUE(Raised(book.OnGroupList({1, "A/D\t1\t\n"})).empty());
    EXPECT_EQ(book.GroupList(), "A/B\t1\t\nA/C\t2\tP\n") << "the list before it stays";
    EXPECT_EQ(Raised(book.OnGroupList({1, ""})), Lines{"groupListUpdate"});
    EXPECT_EQ(book.GroupList(), "");
}

}  // namespace
}  // namespace qv::net
