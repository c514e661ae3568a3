// The engine's conference book alone: server frames in, events and user lists out.

#include "ConferenceBook.h"

#include <gtest/gtest.h>

#include <functional>
#include <variant>

#include "RecordingSink.h"

namespace qv::net {
namespace {

using Lines = std::vector<std::string>;
using Frame =
    std::variant<voice::JoinedConference, voice::InvitationNotice, voice::AcceptedConference,
                 voice::MemberJoined, voice::MemberChanged, voice::MemberLeft>;

struct Step {
    Frame frame;
    Lines events;      // what the frame raises
    std::string list;  // GetUserList afterwards
};

voice::JoinedConference J(std::int32_t c, std::uint8_t joined, std::uint8_t deleted) {
    return {c, joined, deleted};
}
voice::MemberJoined Add(std::int32_t c, const std::string& nick, const std::string& id,
                        const std::string& letters, std::uint8_t existing = 0) {
    return {c, nick, id, letters, existing};
}
voice::MemberChanged Change(std::int32_t c, const std::string& nick, const std::string& id,
                            const std::string& letters) {
    return {c, nick, id, letters};
}
voice::MemberLeft Gone(std::int32_t c, const std::string& nick, const std::string& id) {
    return {c, nick, id, 0};
}

ConferenceBook::Reaction Feed(ConferenceBook& book, const Frame& frame) {
    return std::visit(
        [&book](const auto& m) -> ConferenceBook::Reaction {
            using M = std::decay_t<decltype(m)>;
            if constexpr (std::is_same_v<M, voice::JoinedConference>) {
                return book.OnJoined(m);
            } else if constexpr (std::is_same_v<M, voice::InvitationNotice>) {
                return book.OnInvitation(m);
            } else if constexpr (std::is_same_v<M, voice::AcceptedConference>) {
                return book.OnAccepted(m);
            } else if constexpr (std::is_same_v<M, voice::MemberJoined>) {
                return book.OnMemberJoined(m);
            } else if constexpr (std::is_same_v<M, voice::MemberChanged>) {
                return book.OnMemberChanged(m);
            } else {
                return book.OnMemberLeft(m);
            }
        },
        frame);
}

void Play(const std::vector<Step>& steps) {
    ConferenceBook book;
    book.SetOwnId("42");
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        test::RecordingSink sink;
        for (const auto& raise : Feed(book, steps[i].frame).events) {
            raise(sink);
        }
        EXPECT_EQ(sink.Events(), steps[i].events);
        EXPECT_EQ(book.UserList(), steps[i].list);
    }
}

const std::string kMe = "Ann\t42\t\n";

TEST(ConferenceBookTest, AnOutgoingCallAnsweredThenEndedByTheCallee) {
    Play({
        {J(5, 1, 0), {"JoinedConference 5 1 0", "userListUpdate"}, ""},
        {Add(5, "Ann", "42", ""), {"userListUpdate"}, kMe},
        {Add(5, "Bob", "7", "I"), {"userListUpdate"}, kMe + "Bob\t7\tI\n"},
        {voice::AcceptedConference{5, 1, "Bob", "7", 0, ""},
         {"AcceptedConference 1 Bob 7 0 "},
         kMe + "Bob\t7\tI\n"},
        {Change(5, "Bob", "7", ""), {"UserChange Bob 7 1 0", "userListUpdate"}, kMe + "Bob\t7\t\n"},
        {Change(5, "Bob", "7", "H"), {"userListUpdate"}, kMe + "Bob\t7\tH\n"},
        {Gone(5, "Bob", "7"), {"UserChange Bob 7 0 0", "userListUpdate"}, kMe},
        {J(5, 0, 1), {"JoinedConference 5 0 1", "userListUpdate"}, ""},
        {Add(5, "Bob", "7", ""), {}, ""},  // a conference we left
    });
}

TEST(ConferenceBookTest, AnIncomingCallHeldAndResumed) {
    Play({
        {voice::InvitationNotice{9, "Bob", "7", 0, ""}, {"Invitation 9 Bob 7 0 "}, ""},
        {J(9, 1, 0), {"JoinedConference 9 1 0", "userListUpdate"}, ""},
        {Add(9, "Bob", "7", "", 1), {"UserChange Bob 7 1 1", "userListUpdate"}, "Bob\t7\t\n"},
        {Add(9, "Ann", "42", ""), {"userListUpdate"}, "Bob\t7\t\n" + kMe},
        // Held: no event for the hold itself, and the list of no conference is empty.
        {J(9, 0, 0), {"userListUpdate"}, ""},
        {Change(9, "Bob", "7", "H"), {}, ""},
        {Gone(9, "Cat", "8"), {}, ""},  // no such row
        {J(9, 1, 0), {"JoinedConference 9 1 0", "userListUpdate"}, "Bob\t7\tH\n" + kMe},
    });
}

TEST(ConferenceBookTest, RequestsArePassedOnlyForWhatExists) {
    ConferenceBook book;
    book.SetOwnId("42");
    EXPECT_FALSE(book.MayAccept(9));
    book.OnInvitation({9, "Bob", "7", 0, ""});
    EXPECT_TRUE(book.MayAccept(9));
    EXPECT_FALSE(book.MayHold(9));
    EXPECT_FALSE(book.MayLeave(9));
    EXPECT_TRUE(book.MayDecline(9));
    EXPECT_FALSE(book.MayDecline(9));
    EXPECT_FALSE(book.MayAccept(9));
    book.OnInvitation({10, "Cat", "8", 0, ""});
    book.OnJoined(J(10, 1, 0));
    EXPECT_FALSE(book.MayAccept(10));
    EXPECT_TRUE(book.MayHold(10));
    EXPECT_TRUE(book.MayLeave(10));
    book.OnJoined(J(10, 0, 0));
    EXPECT_TRUE(book.MayAccept(10));
    EXPECT_FALSE(book.MayHold(10));
    EXPECT_TRUE(book.MayLeave(10));
}

TEST(ConferenceBookTest, AHangUpBeforeTheJoinLeavesOnlyTheConferenceStillToCome) {
    struct Case {
        const char* name;
        std::function<void(ConferenceBook&)> before;  // up to LeaveConference(0)
        bool armed;
        std::int32_t leaveNow;
        std::function<void(ConferenceBook&)> after;  // frames after it
        std::optional<std::int32_t> leftWhenJoined;  // conference 6 made afterwards
    };
    const Case cases[] = {
        {"nothing placed", [](ConferenceBook&) {}, false, 0, [](ConferenceBook&) {}, std::nullopt},
        {"invite in flight", [](ConferenceBook& b) { b.Inviting(); }, true, 0,
         [](ConferenceBook&) {}, 6},
        {"invite refused, then answered fence", [](ConferenceBook& b) { b.Inviting(); }, true, 0,
         [](ConferenceBook& b) {
             b.SetFence(3);
             b.Fenced(2);  // an older ping
             b.Fenced(3);
         },
         std::nullopt},
        {"joined already",
         [](ConferenceBook& b) {
             b.Inviting();
             b.OnJoined(J(5, 1, 0));
         },
         false, 5, [](ConferenceBook&) {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConferenceBook book;
        book.SetOwnId("42");
        c.before(book);
        bool armed = false;
        EXPECT_EQ(book.HangUpUnjoined(armed), c.leaveNow);
        EXPECT_EQ(armed, c.armed);
        c.after(book);
        const ConferenceBook::Reaction joined = book.OnJoined(J(6, 1, 0));
        EXPECT_EQ(joined.leave, c.leftWhenJoined);
        EXPECT_EQ(joined.events.empty(), c.leftWhenJoined.has_value());
        if (c.leftWhenJoined) {
            // Its rows and its end stay out of the host's sight.
            EXPECT_TRUE(book.OnMemberJoined(Add(6, "Ann", "42", "")).events.empty());
            EXPECT_TRUE(book.OnJoined(J(6, 0, 1)).events.empty());
        }
    }
}

}  // namespace
}  // namespace qv::net
