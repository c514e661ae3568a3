// Who hears whom, and who learns whose stream, from the conferences as tables.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "FrameText.h"
#include "MediaRouting.h"

namespace qv::voicesvc {
namespace {

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

Listeners Of(const MediaRoutes& routes) {
    return Listeners(routes.listeners.begin(), routes.listeners.end());
}

Told TextOf(const Deliveries& out) {
    Told told;
    for (const Delivery& d : out) {
        told.emplace_back(d.to, test::FrameText(d.frame));
    }
    std::sort(told.begin(), told.end());
    return told;
}

TEST(MediaRoutingTest, ActiveMembersHearEachOtherHeldAndOldSessionsNobody) {
    struct Case {
        const char* name;
        std::vector<MediaRouting::Group> groups;
        Listeners listeners;
        Told told;
    };
    const std::vector<Case> cases = {
        {"a call of two",
         {{{1, 2}, {1, 2}}},
         {{1, {2}}, {2, {1}}},
         {{1, "MediaStream 102 N2"}, {2, "MediaStream 101 N1"}}},
        {"a held member is on the roster but hears and sends nothing",
         {{{1, 2}, {1, 2, 3}}},
         {{1, {2}}, {2, {1}}},
         {{1, "MediaStream 102 N2"},
          {1, "MediaStream 103 N3"},
          {2, "MediaStream 101 N1"},
          {2, "MediaStream 103 N3"},
          {3, "MediaStream 101 N1"},
          {3, "MediaStream 102 N2"}}},
        {"a session without media (version 3) is left out", {{{1, 9}, {1, 9}}}, {}, {}},
        {"two calls apart",
         {{{1, 2}, {1, 2}}, {{3, 4}, {3, 4}}},
         {{1, {2}}, {2, {1}}, {3, {4}}, {4, {3}}},
         {{1, "MediaStream 102 N2"},
          {2, "MediaStream 101 N1"},
          {3, "MediaStream 104 N4"},
          {4, "MediaStream 103 N3"}}},
        {"alone", {{{1}, {1}}}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MediaRouting routing = Sessions({1, 2, 3, 4});
        Deliveries out;
        const auto routes = routing.Update(c.groups, out);
        EXPECT_EQ(Of(*routes), c.listeners);
        EXPECT_EQ(TextOf(out), c.told);
    }
}

TEST(MediaRoutingTest, StreamsAreToldOnceWhileTogetherAndAgainAfterParting) {
    MediaRouting routing = Sessions({1, 2, 3});
    Deliveries out;
    routing.Update({{{1, 2}, {1, 2}}}, out);
    EXPECT_EQ(out.size(), 2u);
    out.clear();
    // 2 holds, 3 joins: only 3 and the others meet.
    routing.Update({{{1, 3}, {1, 2, 3}}}, out);
    EXPECT_EQ(TextOf(out), (Told{{1, "MediaStream 103 N3"},
                                 {2, "MediaStream 103 N3"},
                                 {3, "MediaStream 101 N1"},
                                 {3, "MediaStream 102 N2"}}));
    out.clear();
    routing.Update({{{1, 3}, {1, 2, 3}}}, out);
    EXPECT_TRUE(out.empty());
    // 2 leaves and comes back.
    routing.Update({{{1, 3}, {1, 3}}}, out);
    EXPECT_TRUE(out.empty());
    routing.Update({{{1, 2, 3}, {1, 2, 3}}}, out);
    EXPECT_EQ(TextOf(out), (Told{{1, "MediaStream 102 N2"},
                                 {2, "MediaStream 101 N1"},
                                 {2, "MediaStream 103 N3"},
                                 {3, "MediaStream 102 N2"}}));
    out.clear();
    // A session that ended is nobody's listener and nobody is told of it.
    routing.RemoveSession(3);
    const auto routes = routing.Update({{{1, 2, 3}, {1, 2, 3}}}, out);
    EXPECT_EQ(Of(*routes), (Listeners{{1, {2}}, {2, {1}}}));
    EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace qv::voicesvc
