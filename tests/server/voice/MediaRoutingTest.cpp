// Who hears whom, and who learns whose stream, from conference changes as tables.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "FrameText.h"
#include "MediaRouting.h"

namespace qv::voicesvc {
namespace {

using Group = MediaRouting::Group;
using Listeners = std::map<SessionId, std::vector<SessionId>>;
using Told = std::vector<std::pair<SessionId, std::string>>;

MediaRouting Sessions(std::vector<SessionId> sessions) {
    MediaRouting routing;
    for (SessionId s : sessions) {
        routing.AddSession(s, {static_cast<std::uint32_t>(s * 10), std::to_string(100 + s),
                               "N" + std::to_string(s)});
    }
    return routing;
}

struct Result {
    Listeners listeners;
    Told told;
};

Result Apply(MediaRouting& routing, std::int32_t conference, const std::optional<Group>& group) {
    Deliveries out;
    MediaRouting::Listeners changes;
    routing.Update(conference, group, out, changes);
    Result result;
    for (auto& [sender, listeners] : changes) {
        // The relay skips the sender on a shared list.
        std::vector<SessionId>& heard = result.listeners[sender];
        if (listeners) {
            std::copy_if(listeners->begin(), listeners->end(), std::back_inserter(heard),
                         [sender](SessionId s) { return s != sender; });
        }
    }
    for (const Delivery& d : out) {
        result.told.emplace_back(d.to, test::FrameText(d.frame));
    }
    std::sort(result.told.begin(), result.told.end());
    return result;
}

TEST(MediaRoutingTest, ActiveMembersHearEachOtherHeldAndOldSessionsNobody) {
    struct Case {
        const char* name;
        Group group;
        Listeners listeners;
        Told told;
    };
    const std::vector<Case> cases = {
        {"a call of two",
         {{1, 2}, {1, 2}, {}},
         {{1, {2}}, {2, {1}}},
         {{1, "MediaStream 102 N2"}, {2, "MediaStream 101 N1"}}},
        {"a held member is on the roster but hears and sends nothing",
         {{1, 2}, {1, 2, 3}, {}},
         {{1, {2}}, {2, {1}}, {3, {}}},
         {{1, "MediaStream 102 N2"},
          {1, "MediaStream 103 N3"},
          {2, "MediaStream 101 N1"},
          {2, "MediaStream 103 N3"},
          {3, "MediaStream 101 N1"},
          {3, "MediaStream 102 N2"}}},
        {"a session without media (version 3) is left out", {{1, 9}, {1, 9}, {}}, {{1, {}}}, {}},
        {"alone", {{1}, {1}, {}}, {{1, {}}}, {}},
        {"a forum with controlled microphones: the silent hear the speaker, nobody hears them",
         {{1, 2, 3}, {1, 2, 3}, {2, 3}},
         {{1, {2, 3}}, {2, {}}, {3, {}}},
         {{1, "MediaStream 102 N2"},
          {1, "MediaStream 103 N3"},
          {2, "MediaStream 101 N1"},
          {2, "MediaStream 103 N3"},
          {3, "MediaStream 101 N1"},
          {3, "MediaStream 102 N2"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MediaRouting routing = Sessions({1, 2, 3, 4});
        const Result result = Apply(routing, 7, c.group);
        EXPECT_EQ(result.listeners, c.listeners);
        EXPECT_EQ(result.told, c.told);
    }
}

TEST(MediaRoutingTest, StreamsAreToldOnceWhileTogetherAndAgainAfterParting) {
    MediaRouting routing = Sessions({1, 2, 3, 4});
    EXPECT_EQ(Apply(routing, 1, Group{{1, 2}, {1, 2}, {}}).told.size(), 2u);
    // Another call beside it changes nothing of the first.
    const Result other = Apply(routing, 2, Group{{3, 4}, {3, 4}, {}});
    EXPECT_EQ(other.listeners, (Listeners{{3, {4}}, {4, {3}}}));
    EXPECT_EQ(routing.ConferencesOf(1), (std::vector<std::int32_t>{1}));
    // 2 holds, 3 leaves its call and joins: only 3 and the others meet.
    Apply(routing, 2, Group{{4}, {4}, {}});
    Result joined = Apply(routing, 1, Group{{1, 3}, {1, 2, 3}, {}});
    EXPECT_EQ(joined.told, (Told{{1, "MediaStream 103 N3"},
                                 {2, "MediaStream 103 N3"},
                                 {3, "MediaStream 101 N1"},
                                 {3, "MediaStream 102 N2"}}));
    EXPECT_EQ(joined.listeners, (Listeners{{1, {3}}, {2, {}}, {3, {1}}}));
    EXPECT_TRUE(Apply(routing, 1, Group{{1, 3}, {1, 2, 3}, {}}).told.empty());
    // 2 leaves and comes back: told again.
    EXPECT_TRUE(Apply(routing, 1, Group{{1, 3}, {1, 3}, {}}).told.empty());
    EXPECT_EQ(Apply(routing, 1, Group{{1, 2, 3}, {1, 2, 3}, {}}).told,
              (Told{{1, "MediaStream 102 N2"},
                    {2, "MediaStream 101 N1"},
                    {2, "MediaStream 103 N3"},
                    {3, "MediaStream 102 N2"}}));
    // A session that ended is nobody's listener and nobody is told of it.
    routing.RemoveSession(3);
    const Result gone = Apply(routing, 1, Group{{1, 2}, {1, 2}, {}});
    EXPECT_EQ(gone.listeners, (Listeners{{1, {2}}, {2, {1}}}));
    EXPECT_TRUE(gone.told.empty());
    EXPECT_TRUE(routing.ConferencesOf(3).empty());
    // The call ends.
    // A microphone taken: the member's voice stops at once, what it hears stays (only the
    // list that changed goes to the relay).
    const Result muted = Apply(routing, 1, Group{{1, 2}, {1, 2}, {2}});
    EXPECT_EQ(muted.listeners, (Listeners{{2, {}}}));
    EXPECT_EQ(Apply(routing, 1, Group{{1, 2}, {1, 2}, {}}).listeners, (Listeners{{2, {1}}}));
    EXPECT_TRUE(muted.told.empty());
    const Result ended = Apply(routing, 1, std::nullopt);
    EXPECT_EQ(ended.listeners, (Listeners{{1, {}}, {2, {}}}));
    EXPECT_EQ(routing.ConferenceCount(), 1u);
}

TEST(MediaRoutingTest, AForumsMembersShareOneListAndOneActiveInACallToo) {
    MediaRouting routing = Sessions({1, 2, 3, 4});
    Deliveries out;
    MediaRouting::Listeners changes;
    routing.Update(5, Group{{1, 2, 3}, {1, 2, 3}, {}}, out, changes);
    ASSERT_EQ(changes.size(), 3u);
    // One list for all three: a join costs one list, not one per member.
    EXPECT_EQ(changes[0].second, changes[1].second);
    EXPECT_EQ(changes[1].second, changes[2].second);
    EXPECT_EQ(*changes[0].second, (std::vector<SessionId>{1, 2, 3}));
    // 3 is also in a call with 4: its list merges both, each once.
    changes.clear();
    const Result call = Apply(routing, 6, Group{{3, 4}, {3, 4}, {}});
    EXPECT_EQ(call.listeners, (Listeners{{3, {1, 2, 4}}, {4, {3}}}));
    EXPECT_EQ(routing.ConferenceCount(), 2u);
}

}  // namespace
}  // namespace qv::voicesvc
